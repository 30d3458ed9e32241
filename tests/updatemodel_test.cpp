// The update window's logic against a view without a toolkit: the update's
// thread reaches the view only through Post, which the test drains as a
// window's event loop would.
#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include <chrono>
#include <cstdlib>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "testdata.h"
#include "window/updatemodel.h"
#include "window/updateview.h"

namespace kovant::test {
namespace {

struct FakeUpdateView : window::UpdateView {
  std::string before, step, changes, caption;
  int progress = -1;
  bool enabled = false, focused = false, closed = false;
  int fits = 0;  // the window sized to its texts
  std::mutex mutex;
  std::deque<std::function<void()>> posted;

  void SetBefore(const std::string& text) override { before = text; }
  void SetProgress(int permille) override { progress = permille; }
  void SetStep(const std::string& text) override { step = text; }
  std::string ChangesText() const override { return changes; }
  void SetChanges(const std::string& text) override { changes = text; }
  void SetCommand(const std::string& c, bool e) override {
    caption = c;
    enabled = e;
  }
  void FocusCommand() override { focused = true; }
  void Fit() override { ++fits; }
  void Close() override { closed = true; }
  void Post(std::function<void()> fn) override {
    const std::lock_guard<std::mutex> lock(mutex);
    posted.push_back(std::move(fn));
  }
  // Runs what was posted until done() holds or the bound passes.
  bool DrainUntil(const std::function<bool()>& done, std::chrono::seconds bound = std::chrono::seconds(60)) {
    const auto end = std::chrono::steady_clock::now() + bound;
    while (!done() && std::chrono::steady_clock::now() < end) {
      std::function<void()> fn;
      {
        const std::lock_guard<std::mutex> lock(mutex);
        if (!posted.empty()) {
          fn = std::move(posted.front());
          posted.pop_front();
        }
      }
      if (fn) {
        fn();
      } else {
        std::this_thread::yield();
      }
    }
    return done();
  }
};

class UpdateModel : public ::testing::Test {
 protected:
  std::string folder;
  window::AppState app;
  FakeUpdateView view;

  void SetUp() override {
    folder = TempFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    BuildInto(folder, TownsOf(SamplePath()));
    app.ProgramFolder = folder;
    SetHome(folder.c_str());  // nothing is installed elsewhere
  }
  void TearDown() override { SetHome(""); }
  static void SetHome(const char* value) {
#ifdef _WIN32
    SetEnvironmentVariableA("KOVANT_HOME", *value ? value : nullptr);
#else
    if (*value)
      setenv("KOVANT_HOME", value, 1);
    else
      unsetenv("KOVANT_HOME");
#endif
  }
};

// Port 9 of this machine: nothing answers there.
constexpr const char* kNowhere = "http://127.0.0.1:9/";

TEST_F(UpdateModel, AFailedDownloadSaysWhyKeepsTheDataAndOffersClose) {
  window::UpdateModel model(app, view, kNowhere);
  model.Form_Load();
  EXPECT_EQ(view.before, "使用中の辞書データ：2026-01-01");
  EXPECT_EQ(view.caption, "中止");
  EXPECT_EQ(view.progress, 0);
  EXPECT_TRUE(model.Form_QueryUnload());  // nothing runs yet
  model.Start();
  EXPECT_EQ(view.step, "ダウンロード中...");
  ASSERT_TRUE(view.DrainUntil([&] { return !model.Running(); }));
  EXPECT_TRUE(view.step.ends_with("\n使用中の辞書はそのままです。")) << view.step;
  EXPECT_GT(view.step.size(), std::string("\n使用中の辞書はそのままです。").size());
  EXPECT_GT(view.fits, 0);  // the reason may take lines more: shown whole
  EXPECT_EQ(view.caption, "閉じる");
  EXPECT_TRUE(view.enabled);
  EXPECT_TRUE(view.focused);
  EXPECT_EQ(view.progress, 0);
  EXPECT_EQ(app.ProgramFolder, folder);
  EXPECT_FALSE(view.closed);
  model.Command_Click();
  EXPECT_TRUE(view.closed);
}

// Escape or the close box while it runs: one request cancels, and the
// window closes by itself once the update has stopped.
TEST_F(UpdateModel, ClosingWhileItRunsCancelsAndClosesOnceItStopped) {
  window::UpdateModel model(app, view, "http://127.0.0.1:9/slow");
  model.Form_Load();
  model.Start();
  ASSERT_TRUE(model.Running());  // its result waits in the queue until drained
  EXPECT_FALSE(model.Form_QueryUnload());
  EXPECT_EQ(view.step, "中止しています...");
  EXPECT_FALSE(view.enabled);
  EXPECT_FALSE(view.closed);
  EXPECT_FALSE(model.Form_QueryUnload());  // a second Escape changes nothing
  ASSERT_TRUE(view.DrainUntil([&] { return view.closed; }));
  EXPECT_FALSE(model.Running());
  EXPECT_EQ(app.ProgramFolder, folder);
}

TEST_F(UpdateModel, AModelGoneBeforeItsUpdateEndedWaitsForItsThread) {
  {
    window::UpdateModel model(app, view, kNowhere);
    model.Start();
    EXPECT_EQ(view.step, "ダウンロード中...");
  }  // the destructor cancels and joins (a thread left running fails the sanitizer build)
  // What it posted is dropped with the view, never run on the gone model.
  view.posted.clear();
}

}  // namespace
}  // namespace kovant::test
