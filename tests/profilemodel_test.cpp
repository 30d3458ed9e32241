// The save/delete window's logic against a view without a toolkit.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "settings/settings.h"
#include "testdata.h"
#include "window/profilemodel.h"
#include "window/profileview.h"

namespace kovant::test {
namespace {

struct FakeProfileView : window::ProfileView {
  window::ProfileModel* model = nullptr;
  std::optional<bool> save;
  std::vector<std::string> names;
  int index = -1;
  std::string typed;
  bool deleteEnabled = true;
  std::vector<std::string> warnings;
  std::optional<bool> closed;

  void ShowMode(bool s) override { save = s; }
  void ClearNames() override { names.clear(); }
  void AddName(const std::string& name) override { names.push_back(name); }
  int NameIndex() const override { return index; }
  void SetNameIndex(int i) override {
    if (i == index) return;
    index = i;
    if (model) model->List1_Click();
  }
  std::string NameText(int i) const override { return names.at(static_cast<size_t>(i)); }
  void RemoveName(int i) override { names.erase(names.begin() + i); }
  std::string TypedName() const override { return typed; }
  void SetTypedName(const std::string& text) override { typed = text; }
  void SetDeleteEnabled(bool enabled) override { deleteEnabled = enabled; }
  void Warn(const std::string& text) override { warnings.push_back(text); }
  void Close(bool accepted) override { closed = accepted; }
};

class ProfileModel : public ::testing::Test {
 protected:
  std::string folder;
  window::AppState app;
  FakeProfileView view;
  std::optional<window::ProfileModel> model;

  void SetUp() override {
    folder = TempFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    app.SettingsFolder = folder;
    for (const char* name : {"zz", "aa"}) {
      ASSERT_TRUE(settings::SaveSettings(settings::DefaultSettings(), folder, std::string(name) + ".prm"));
    }
  }
  void Open(int16_t mode) {
    app.ProfileDialogMode = mode;
    model.emplace(app, view);
    view.model = &*model;
    model->Form_Load();
  }
};

TEST_F(ProfileModel, SaveModeTakesAListedOrTypedNameAndRefusesAnUnusableOne) {
  app.Settings.Profile = "zz.prm";
  app.SettingsCancelled = true;
  Open(1);
  EXPECT_FALSE(app.SettingsCancelled);
  EXPECT_EQ(view.save, true);
  EXPECT_EQ(view.names, (std::vector<std::string>{"aa", "zz"}));
  EXPECT_EQ(view.typed, "zz");
  view.SetNameIndex(0);
  EXPECT_EQ(view.typed, "aa");
  view.typed = "   ";
  model->Command1_Click(0);
  ASSERT_EQ(view.warnings.size(), 1u);
  EXPECT_EQ(view.warnings[0], "保存名を指定してください。");
  EXPECT_FALSE(view.closed);
  view.typed = " 仕事 ";
  model->Command1_Click(0);
  EXPECT_EQ(view.closed, true);
  EXPECT_EQ(app.Settings.Profile, "仕事.prm");
  EXPECT_FALSE(app.SettingsCancelled);
}

TEST_F(ProfileModel, CancellingSaysSoToTheSettingsWindow) {
  Open(1);
  model->Command1_Click(1);
  EXPECT_EQ(view.closed, false);
  EXPECT_TRUE(app.SettingsCancelled);
}

TEST_F(ProfileModel, DeleteRemovesTheFileOrSaysWhyAndKeepsTheEntry) {
  Open(2);
  EXPECT_EQ(view.save, false);
  EXPECT_FALSE(view.deleteEnabled);
  // A listed name whose file became a folder with something in it: no one,
  // root included, removes that as a file.
  std::filesystem::remove(folder + "/zz.prm");
  std::filesystem::create_directories(folder + "/zz.prm/inside");
  view.SetNameIndex(1);
  EXPECT_TRUE(view.deleteEnabled);
  model->Command2_Click();
  ASSERT_EQ(view.warnings.size(), 1u);
  EXPECT_NE(view.warnings[0].find(platform::DisplayPath(folder + "/zz.prm")), std::string::npos) << view.warnings[0];
  EXPECT_TRUE(view.warnings[0].ends_with("。"));
  EXPECT_EQ(view.names.size(), 2u);
  view.SetNameIndex(0);
  model->Command2_Click();
  EXPECT_FALSE(std::filesystem::exists(folder + "/aa.prm"));
  EXPECT_EQ(view.names, std::vector<std::string>{"zz"});
  EXPECT_EQ(view.index, -1);
  EXPECT_FALSE(view.deleteEnabled);
  EXPECT_EQ(view.warnings.size(), 1u);
  EXPECT_FALSE(view.closed);  // deleting keeps the window open
}

}  // namespace
}  // namespace kovant::test
