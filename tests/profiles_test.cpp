#include <filesystem>

#include "ui/profilewindow.h"
#include "ui/settingswindow.h"
#include "uifixture.h"

namespace kovant::test {
namespace {

using Profiles = UiFixture;

std::vector<std::string> Entries(ui::ListBox* list) {
  std::vector<std::string> out;
  for (int i = 0; i < list->ListCount(); ++i) out.push_back(list->ItemText(i).toStdString());
  return out;
}

TEST_F(Profiles, SaveModeProposesTheActiveNameAndListsProfilesSorted) {
  WriteProfile("work", settings::DefaultSettings());
  WriteProfile("home", settings::DefaultSettings());
  app.Settings.Profile = "home.prm";
  app.ProfileDialogMode = 1;
  app.SettingsCancelled = true;
  ui::Kovant3 w(app);
  EXPECT_FALSE(app.SettingsCancelled);
  EXPECT_EQ(Str(w.windowTitle()), "設定の保存");
  EXPECT_EQ(Str(w.Command1[0]->text()), "ＯＫ");
  EXPECT_TRUE(w.Command2->isHidden());
  EXPECT_FALSE(w.Text1->isHidden());
  EXPECT_EQ(w.List1->height(), ui::Px(1815));
  EXPECT_EQ(Entries(w.List1), (std::vector<std::string>{"home", "work"}));
  EXPECT_EQ(Str(w.Text1->text()), "home");
  w.List1->SetListIndex(1);
  w.List1_Click();
  EXPECT_EQ(Str(w.Text1->text()), "work");
}

TEST_F(Profiles, ShortOrMissingProfileProposesNoName) {
  for (const char* profile : {"", ".prm", "ab"}) {
    app.Settings.Profile = profile;
    app.ProfileDialogMode = 1;
    ui::Kovant3 w(app);
    EXPECT_TRUE(w.Text1->text().isEmpty()) << profile;
  }
}

TEST_F(Profiles, DeleteModeLayoutAndDeletion) {
  WriteProfile("home", settings::DefaultSettings());
  WriteProfile("work", settings::DefaultSettings());
  app.Settings.Profile = "home.prm";
  app.ProfileDialogMode = 2;
  ui::Kovant3 w(app);
  EXPECT_EQ(Str(w.windowTitle()), "設定の削除");
  EXPECT_EQ(Str(w.Command1[0]->text()), "閉じる");
  EXPECT_TRUE(w.Command1[1]->isHidden());
  EXPECT_TRUE(w.Text1->isHidden());
  EXPECT_FALSE(w.Command2->isHidden());
  EXPECT_FALSE(w.Command2->isEnabled());
  EXPECT_EQ(w.List1->height(), ui::Px(2205));
  w.List1->SetListIndex(0);
  w.List1_DblClick();  // a double click only selects
  EXPECT_TRUE(std::filesystem::exists(folder + "/home.prm"));
  EXPECT_TRUE(w.Command2->isEnabled());
  w.Command2_Click();
  EXPECT_FALSE(std::filesystem::exists(folder + "/home.prm"));
  EXPECT_EQ(Entries(w.List1), (std::vector<std::string>{"work"}));
  EXPECT_FALSE(w.Command2->isEnabled());
  EXPECT_EQ(app.Settings.Profile, "home.prm");  // the active one stays in force
  w.Command1_Click(0);
  EXPECT_TRUE(app.SettingsCancelled);
}

TEST_F(Profiles, AFileThatCannotBeDeletedStillLeavesTheList) {
  std::filesystem::create_directory(folder + "/stuck.prm");
  std::filesystem::create_directory(folder + "/stuck.prm/inside");
  app.ProfileDialogMode = 2;
  ui::Kovant3 w(app);
  // A directory is not a profile file and is not listed; a vanished file is.
  EXPECT_TRUE(Entries(w.List1).empty());
  WriteProfile("gone", settings::DefaultSettings());
  ui::Kovant3 w2(app);
  ASSERT_EQ(w2.List1->ListCount(), 1);
  std::filesystem::remove(folder + "/gone.prm");
  w2.List1->SetListIndex(0);
  w2.List1_Click();
  w2.Command2_Click();
  EXPECT_EQ(w2.List1->ListCount(), 0);
}

TEST_F(Profiles, OkTrimsTheNameAndRefusesUnusableOnes) {
  app.ProfileDialogMode = 1;
  app.Settings.Profile = "old.prm";
  struct Case {
    const char* typed;
    const char* message;
  } refused[] = {
      {"", "保存名を指定してください。"},
      {"   ", "保存名を指定してください。"},
      {"a/b", "この保存名は使用できません。"},
      {"..", "この保存名は使用できません。"},
      {".", "この保存名は使用できません。"},
      {"a\\b", "この保存名は使用できません。"},
      {"x\ty", "この保存名は使用できません。"},
      {"😀", "この保存名は使用できません。"},
      {"あいうえおかきくけこさしすせそたちつてとなにぬねの", "この保存名は使用できません。"},
  };
  for (const auto& c : refused) {
    warnings.clear();
    ui::Kovant3 w(app);
    w.Text1->setText(QString::fromUtf8(c.typed));
    w.Command1_Click(0);
    ASSERT_EQ(warnings.size(), 1u) << c.typed;
    EXPECT_EQ(warnings[0], c.message) << c.typed;
    EXPECT_NE(w.result(), QDialog::Accepted);
    EXPECT_EQ(app.Settings.Profile, "old.prm");
  }
  ui::Kovant3 w(app);
  w.Text1->setText("  新しい 設定  ");
  w.Command1_Click(0);
  EXPECT_EQ(w.result(), QDialog::Accepted);
  EXPECT_EQ(app.Settings.Profile, "新しい 設定.prm");
  EXPECT_FALSE(app.SettingsCancelled);
}

TEST_F(Profiles, DoubleClickSavesUnderTheEntryAndCloseBoxCancels) {
  WriteProfile("home", settings::DefaultSettings());
  app.ProfileDialogMode = 1;
  {
    ui::Kovant3 w(app);
    w.List1->SetListIndex(0);
    w.List1_DblClick();
    EXPECT_EQ(w.result(), QDialog::Accepted);
    EXPECT_EQ(app.Settings.Profile, "home.prm");
  }
  app.Settings.Profile = "other.prm";
  ui::Kovant3 w(app);
  w.Text1->setText("changed");
  w.reject();  // the title-bar close box
  EXPECT_TRUE(app.SettingsCancelled);
  EXPECT_EQ(app.Settings.Profile, "other.prm");
}

TEST_F(Profiles, FirstSavedProfileAppearsInTheBoxOnlyWhenItGetsTheFocus) {
  ASSERT_TRUE(Open(0));
  auto& w = *window;
  EXPECT_EQ(w.Combo1->count(), 0);
  WhenModal<ui::Kovant2>([](ui::Kovant2* s) {
    WhenModal<ui::Kovant3>([](ui::Kovant3* k3) {
      k3->Text1->setText("home");
      k3->Command1_Click(0);
    });
    s->Command1_Click(0);
  });
  w.Command5_Click();
  EXPECT_TRUE(std::filesystem::exists(folder + "/home.prm"));
  EXPECT_EQ(app.Settings.Profile, "home.prm");
  EXPECT_EQ(w.Combo1->count(), 0);
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w, 1000));
  w.Combo1->setFocus(Qt::TabFocusReason);
  ASSERT_EQ(w.Combo1->count(), 1);
  EXPECT_EQ(w.Combo1->currentIndex(), 0);
  EXPECT_NE(Str(w.Label1[0]->text()), "設定が変更されました。");
  EXPECT_EQ(w.LoadedProfileIndex(), 0);
}

TEST_F(Profiles, SwitchingToAnotherPositionLoadsTheFileAndSaysSo) {
  settings::Settings work = settings::DefaultSettings();
  work.CopyMode = 1;
  work.MarkSet = 1;
  WriteProfile("work", work);
  WriteProfile("home", settings::DefaultSettings());
  app.Settings.Profile = "home.prm";
  ASSERT_TRUE(Open(0));
  auto& w = *window;
  ASSERT_EQ(w.Combo1->count(), 2);
  EXPECT_EQ(w.Combo1->currentIndex(), 0);  // home, position 0: nothing loaded
  EXPECT_TRUE(w.Option1[0]->isChecked());
  w.Combo1->setCurrentIndex(1);
  EXPECT_EQ(app.Settings.Profile, "work.prm");
  EXPECT_EQ(app.Settings.MarkSet, 1);
  EXPECT_TRUE(w.Option1[1]->isChecked());
  EXPECT_EQ(w.LoadedProfileIndex(), 1);
  EXPECT_EQ(Str(w.Label1[0]->text()), "設定が変更されました。");
  // Back to position 0 loads home again.
  w.Combo1->setCurrentIndex(0);
  EXPECT_EQ(app.Settings.Profile, "home.prm");
  EXPECT_EQ(app.Settings.MarkSet, 0);
}

TEST_F(Profiles, ActiveProfileAtAnotherPositionIsLoadedAtStartWithoutMessage) {
  settings::Settings work = settings::DefaultSettings();
  work.NumType = 1;
  WriteProfile("work", work);
  WriteProfile("home", settings::DefaultSettings());
  app.Settings.Profile = "work.prm";
  ASSERT_TRUE(Open(0));
  EXPECT_EQ(window->Combo1->currentIndex(), 1);
  EXPECT_EQ(app.Settings.NumType, 1);
  EXPECT_NE(Str(window->Label1[0]->text()), "設定が変更されました。");
}

TEST_F(Profiles, AVanishedProfileLoadsTheDefaults) {
  WriteProfile("a", settings::DefaultSettings());
  settings::Settings b = settings::DefaultSettings();
  b.MarkSet = 1;
  WriteProfile("b", b);
  app.Settings.Profile = "a.prm";
  ASSERT_TRUE(Open(0));
  app.Settings.MarkSet = 1;
  std::filesystem::remove(folder + "/b.prm");
  window->Combo1->setCurrentIndex(1);
  EXPECT_EQ(app.Settings.MarkSet, 0);
  EXPECT_EQ(app.Settings.Profile, "");
}

TEST_F(Profiles, PositionZeroWhileLoadedIndexIsZeroLoadsNothing) {
  WriteProfile("a", settings::DefaultSettings());
  WriteProfile("b", settings::DefaultSettings());
  app.Settings.Profile = "missing.prm";
  app.Settings.MarkSet = 1;
  ASSERT_TRUE(Open(0));
  auto& w = *window;
  ASSERT_EQ(w.Combo1->count(), 2);
  EXPECT_EQ(w.Combo1->currentIndex(), -1);
  w.Combo1->setCurrentIndex(0);
  EXPECT_EQ(app.Settings.MarkSet, 1);
  EXPECT_NE(Str(w.Label1[0]->text()), "設定が変更されました。");
}

TEST_F(Profiles, DeletingTheActiveProfileRefillsTheBoxWithoutSelection) {
  WriteProfile("a", settings::DefaultSettings());
  WriteProfile("b", settings::DefaultSettings());
  app.Settings.Profile = "b.prm";
  ASSERT_TRUE(Open(0));
  auto& w = *window;
  ASSERT_EQ(w.Combo1->currentIndex(), 1);
  WhenModal<ui::Kovant2>([](ui::Kovant2* s) {
    WhenModal<ui::Kovant3>([](ui::Kovant3* k3) {
      k3->List1->SetListIndex(1);
      k3->List1_Click();
      k3->Command2_Click();
      k3->Command1_Click(0);
    });
    s->Command1_Click(2);
    s->Command1_Click(1);
  });
  w.Command5_Click();
  EXPECT_FALSE(std::filesystem::exists(folder + "/b.prm"));
  EXPECT_EQ(app.Settings.Profile, "b.prm");
  ASSERT_EQ(w.Combo1->count(), 1);
  EXPECT_EQ(w.Combo1->currentIndex(), -1);
}

}  // namespace
}  // namespace kovant::test
