// "辞書を更新" in the settings window, against an HTTP server of the test's
// own: the national files, an error page and a slow transfer cancelled.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "httpserver.h"
#include "platform/files.h"
#include "uifixture.h"
#include "ui/settingswindow.h"
#include "ui/updatewindow.h"

namespace kovant::test {
namespace {

std::string FileBytes(const std::string& path) { return platform::ReadWholeFile(path, size_t{64} << 20).value_or(""); }

class UpdateWindow : public UiFixture {
 protected:
  static void SetUpTestSuite() {
    const std::string zip = "HTTP/1.1 200 OK\r\nContent-Type: application/zip";
    server_ = new HttpServer({
        {"/good/ken_all.zip", {zip, FileBytes(NationalFile())}},
        {"/good/jigyosyo.zip", {zip, FileBytes(NationalOfficeFile())}},
        {"/html/ken_all.zip", {"HTTP/1.1 200 OK\r\nContent-Type: text/html", "<html>メンテナンス中</html>"}},
        // Ten seconds of transfer at this pace: time to cancel it midway.
        {"/slow/ken_all.zip", {zip, std::string(200000, 'x'), false, 20000}},
    });
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override {
    UiFixture::SetUp();
    // The update installs where the programs look first.
    setenv("KOVANT_HOME", folder.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("KOVANT_HOME");
    unsetenv("KOVANT_DATA_URL");
  }

  // Presses "辞書を更新" in the settings window opened from the main
  // window; during acts on the update window, then it and the settings
  // window close.
  void UpdateFromSettings(const std::string& route, const std::function<void(ui::KovantUpdate*)>& during) {
    setenv("KOVANT_DATA_URL", server_->Url(route).c_str(), 1);
    bool reached = false;
    WhenModal<ui::Kovant2>([&](ui::Kovant2* settingsWindow) {
      WhenModal<ui::KovantUpdate>([&](ui::KovantUpdate* u) {
        reached = true;
        during(u);
        EXPECT_TRUE(Finish(u));  // also after a failed expectation: "閉じる" then closes
        u->Command->click();
      });
      Shot(settingsWindow, "settings");
      settingsWindow->Command2->click();
      settingsWindow->Command1_Click(1);
    });
    window->Command5_Click();
    EXPECT_TRUE(reached);
  }
  static bool Finish(ui::KovantUpdate* u) {
    return QTest::qWaitFor([u] { return !u->Running(); }, 180000);
  }
  std::string Dictionary() { return FileBytes(folder + "/KOVANT.DIC"); }

  static HttpServer* server_;
};
HttpServer* UpdateWindow::server_ = nullptr;

TEST_F(UpdateWindow, InstallsSaysWhatChangedAndTheMainWindowTakesItAtItsNextStep) {
  ASSERT_TRUE(Open(0));
  UpdateFromSettings("good", [&](ui::KovantUpdate* u) {
    EXPECT_EQ(Str(u->Command->text()), "中止");
    EXPECT_EQ(Str(u->Before->text()), "使用中の辞書データ：2026-01-01");
    ASSERT_TRUE(Finish(u));
    EXPECT_EQ(Str(u->StepLine->text()), "辞書を更新しました。");
    const std::string changes = Str(u->Changes->text());
    EXPECT_NE(changes.find("データの日付: 2026-01-01 → 2026-04-27"), std::string::npos) << changes;
    EXPECT_NE(changes.find(" 件追加、"), std::string::npos) << changes;
    EXPECT_NE(changes.find(" 件削除（町域 "), std::string::npos) << changes;
    EXPECT_EQ(u->Progress->value(), u->Progress->maximum());
    EXPECT_EQ(Str(u->Command->text()), "閉じる");
    // The main window says so at once: its notice of old data is gone.
    EXPECT_EQ(Str(window->Label1[0]->text()), "辞書データ：2026-04-27（辞書が更新されました）");
    Shot(u, "update");
  });
  Shot(window.get(), "updated");
  // The next step of the walk runs on the new data.
  window->List2->SetListIndex(0);
  window->LoadCities();
  EXPECT_GT(window->List3->ListCount(), 0);
  EXPECT_TRUE(warnings.empty());
}

// A failure's reason and the line after it are read whole: the window
// takes the height its text needs.
TEST_F(UpdateWindow, ALongFailureIsShownWhole) {
  ui::KovantUpdate u(app);
  u.show();
  u.SetStep(
      "ダウンロードできませんでした（ホスト名を解決できません: "
      "www.example.invalid。ネットワークの設定を確かめてください）"
      "\n使用中の辞書はそのままです。");
  u.Fit();
  // A window manager gives a top-level its new size a moment later.
  EXPECT_TRUE(
      QTest::qWaitFor([&u] { return u.StepLine->heightForWidth(u.StepLine->width()) <= u.StepLine->height(); }, 5000))
      << u.StepLine->heightForWidth(u.StepLine->width()) << " > " << u.StepLine->height();
  EXPECT_TRUE(u.rect().contains(u.StepLine->geometry()));
  Shot(&u, "update-failed");
}

TEST_F(UpdateWindow, AFailedOrCancelledUpdateLeavesTheDictionaryInUse) {
  ASSERT_TRUE(Open(0));
  const std::string before = Dictionary();
  UpdateFromSettings("html", [&](ui::KovantUpdate* u) {
    ASSERT_TRUE(Finish(u));
    const std::string step = Str(u->StepLine->text());
    EXPECT_NE(step.find("zip ファイルではありません"), std::string::npos) << step;
    EXPECT_NE(step.find("使用中の辞書はそのままです。"), std::string::npos) << step;
    EXPECT_EQ(Str(u->Command->text()), "閉じる");
  });
  EXPECT_TRUE(Dictionary() == before);

  // The window answers while the download runs: its progress moves, and
  // "中止" ends the transfer long before it would have ended.
  UpdateFromSettings("slow", [&](ui::KovantUpdate* u) {
    ASSERT_TRUE(QTest::qWaitFor([u] { return u->Progress->value() > 0; }, 10000));
    EXPECT_TRUE(u->Running());
    u->Command->click();
    ASSERT_TRUE(Finish(u));
    EXPECT_EQ(Str(u->StepLine->text()), "更新を中止しました。\n使用中の辞書はそのままです。");
  });
  EXPECT_TRUE(Dictionary() == before);

  // Escape while it works: the update stops and the window closes once it
  // has, with one key.
  UpdateFromSettings("slow", [&](ui::KovantUpdate* u) {
    ASSERT_TRUE(QTest::qWaitFor([u] { return u->Progress->value() > 0; }, 10000));
    QTest::keyClick(u, Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([u] { return !u->isVisible(); }, 30000));
    EXPECT_FALSE(u->Running());
  });
  EXPECT_TRUE(Dictionary() == before);
  window->List2->SetListIndex(0);
  window->LoadCities();
  EXPECT_EQ(Str(window->Label1[0]->text()), "");
}

}  // namespace
}  // namespace kovant::test
