// The settings window's logic against a view without a toolkit.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "settings/settings.h"
#include "testdata.h"
#include "window/settingsmodel.h"
#include "window/settingsview.h"

namespace kovant::test {
namespace {

struct FakeSettingsView : window::SettingsView {
  std::string title, dataDate;
  std::map<std::string, int16_t> numbers;
  std::map<std::string, std::string> texts;
  bool captionEnabled = false;
  std::vector<int16_t> profileModes;
  int updates = 0;
  std::vector<std::string> warnings;
  std::optional<bool> closed;
  std::function<void()> onProfile;  // what the save/delete window does

  void SetTitle(const std::string& t) override { title = t; }
  void ShowNumber(const settings::SettingKey& key, int16_t value) override { numbers[key.name] = value; }
  int16_t NumberShown(const settings::SettingKey& key) const override { return numbers.at(key.name); }
  void ShowText(const settings::SettingKey& key, const std::string& text) override { texts[key.name] = text; }
  std::string TextShown(const settings::SettingKey& key) const override { return texts.at(key.name); }
  void SetCaptionEnabled(bool enabled) override { captionEnabled = enabled; }
  void SetDataDate(const std::string& text) override { dataDate = text; }
  void OpenProfileWindow() override {
    profileModes.push_back(0);
    if (onProfile) onProfile();
  }
  void OpenUpdateWindow() override { ++updates; }
  void Warn(const std::string& text) override { warnings.push_back(text); }
  void Close(bool accepted) override { closed = accepted; }
};

class SettingsModel : public ::testing::Test {
 protected:
  std::string folder;
  window::AppState app;
  FakeSettingsView view;
  std::optional<window::SettingsModel> model;

  void SetUp() override {
    folder = TempFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    BuildInto(folder, TownsOf(SamplePath()));
    app.ProgramFolder = folder;
    app.SettingsFolder = folder;
    app.Settings.Profile = "仕事.prm";
    app.Settings.FindCaption = "メモ帳";
    app.Settings.CopyAppl = settings::kSwitchOn;
    view.onProfile = [this] {
      app.SettingsCancelled = false;
      if (app.ProfileDialogMode == 1) app.Settings.Profile = "自宅.prm";
    };
    model.emplace(app, view);
    model->Form_Load();
  }
};

TEST_F(SettingsModel, EveryKeyButTheProfileIsShownAndTheCaptionFollowsThePasteBox) {
  EXPECT_EQ(view.title, "ぴこらん環境設定　－　仕事");
  EXPECT_EQ(view.dataDate, "辞書データ：2026-01-01");
  size_t shown = view.numbers.size() + view.texts.size();
  EXPECT_EQ(shown, settings::SettingsTable().size() - 1);
  EXPECT_EQ(view.texts.count("Profile"), 0u);
  EXPECT_EQ(view.texts["FindCaption"], "メモ帳");
  EXPECT_TRUE(view.captionEnabled);
  view.numbers["CopyAppl"] = settings::kSwitchOff;
  model->Check1_Click();
  EXPECT_FALSE(view.captionEnabled);
  app.Settings.Profile.clear();
  model->Form_Load();
  EXPECT_EQ(view.title, "ぴこらん環境設定　－　新規設定");
}

TEST_F(SettingsModel, SaveChecksTheOrderAsksANameAndWritesTheProfile) {
  view.texts["Seq1"] = "1";
  view.texts["Seq2"] = "1";
  model->Command1_Click(0);
  ASSERT_EQ(view.warnings.size(), 1u);
  EXPECT_TRUE(view.profileModes.empty());  // no name asked for
  EXPECT_FALSE(view.closed);

  view.texts["Seq2"] = "2";
  view.texts["FindCaption"] = "  エディタ  ";
  model->Command1_Click(0);
  EXPECT_EQ(app.ProfileDialogMode, 1);
  EXPECT_EQ(view.closed, true);
  EXPECT_FALSE(app.SettingsCancelled);
  EXPECT_EQ(app.Settings.Profile, "自宅.prm");
  EXPECT_EQ(app.Settings.FindCaption, "エディタ");
  settings::Settings saved = settings::DefaultSettings();
  ASSERT_TRUE(settings::LoadSettings(saved, folder, "自宅.prm"));
  EXPECT_EQ(saved.FindCaption, "エディタ");
  EXPECT_EQ(view.warnings.size(), 1u);
}

TEST_F(SettingsModel, AProfileThatCannotBeWrittenIsSaidAndTheSettingsStillHold) {
  const std::string file = folder + "/file";
  std::ofstream(file) << "x";
  app.SettingsFolder = file + "/settings";  // under a regular file: root cannot write it either
  view.texts["FindCaption"] = "エディタ";
  model->Command1_Click(0);
  ASSERT_EQ(view.warnings.size(), 1u);
  EXPECT_NE(view.warnings[0].find("自宅.prm"), std::string::npos) << view.warnings[0];
  EXPECT_TRUE(view.warnings[0].ends_with("。"));
  EXPECT_EQ(view.closed, true);
  EXPECT_EQ(app.Settings.FindCaption, "エディタ");
}

TEST_F(SettingsModel, CancelDeleteAndUpdateLeaveTheRecordAlone) {
  const settings::Settings before = app.Settings;
  view.texts["FindCaption"] = "変えた";
  model->Command1_Click(2);
  EXPECT_EQ(app.ProfileDialogMode, 2);
  EXPECT_FALSE(view.closed);  // deleting keeps the settings window open
  model->Command2_Click();
  EXPECT_EQ(view.updates, 1);
  model->Form_Cancel();
  EXPECT_EQ(view.closed, false);
  EXPECT_TRUE(app.SettingsCancelled);
  EXPECT_EQ(app.Settings.FindCaption, before.FindCaption);

  using window::Handled;
  EXPECT_EQ(window::SettingsModel::Text2_KeyPress("0"), Handled::Passed);
  EXPECT_EQ(window::SettingsModel::Text2_KeyPress(std::to_string(settings::kLastCopyPosition)), Handled::Passed);
  EXPECT_EQ(window::SettingsModel::Text2_KeyPress(std::to_string(settings::kLastCopyPosition + 1)), Handled::Consumed);
  EXPECT_EQ(window::SettingsModel::Text2_KeyPress("１"), Handled::Consumed);
  EXPECT_EQ(window::SettingsModel::Text2_KeyPress("\t"), Handled::Passed);
}

}  // namespace
}  // namespace kovant::test
