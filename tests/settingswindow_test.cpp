#include <filesystem>

#include "platform/files.h"
#include "platform/ini.h"
#include "ui/profilewindow.h"
#include "ui/settingswindow.h"
#include "uifixture.h"

namespace kovant::test {
namespace {

using SettingsWindow = UiFixture;

TEST_F(SettingsWindow, TitleNamesTheActiveProfile) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "ぴこらん環境設定　－　新規設定"},
      {".prm", "ぴこらん環境設定　－　新規設定"},
      {"home.prm", "ぴこらん環境設定　－　home"},
      {"自宅用.prm", "ぴこらん環境設定　－　自宅用"},
  };
  for (const auto& [profile, title] : cases) {
    app.Settings.Profile = profile;
    ui::Kovant2 w(app);
    EXPECT_EQ(Str(w.windowTitle()), title);
  }
}

TEST_F(SettingsWindow, FillsEveryControlFromTheSettings) {
  settings::Settings& s = app.Settings;
  s.StartMode = 1;
  s.CopyMode = 1;
  s.MarkSet = 1;
  s.NumType = 1;
  s.Sep = {3, 1, 7, 2, 0, 4};  // 7 only a hand-edited file holds
  s.SepText = {"-", "a", "b", "c", "d", "／"};
  s.Seq = {"5", "4", "3", "2", "1"};
  s.CopyAppl = 0;
  s.AfterCopy = 1;
  s.InputClear = 1;
  s.FindCaption = "メモ帳";
  ui::Kovant2 w(app);
  EXPECT_TRUE(w.Opt1[1]->isChecked());
  EXPECT_TRUE(w.Opt2[1]->isChecked());
  EXPECT_TRUE(w.Opt3[1]->isChecked());
  EXPECT_TRUE(w.Opt4[1]->isChecked());
  EXPECT_TRUE(w.Sep[0][3]->isChecked());
  EXPECT_TRUE(w.Sep[1][1]->isChecked());
  EXPECT_TRUE(w.Sep[2][0]->isChecked());
  EXPECT_TRUE(w.Sep[5][4]->isChecked());
  EXPECT_EQ(Str(w.Text1[5]->text()), "／");
  EXPECT_EQ(Str(w.Text2[0]->text()), "5");
  EXPECT_FALSE(w.Check1->isChecked());
  EXPECT_TRUE(w.Check2->isChecked());
  EXPECT_TRUE(w.Check3->isChecked());
  EXPECT_FALSE(w.Text3->isEnabled());
  EXPECT_EQ(Str(w.Text3->text()), "メモ帳");
  // The separator frames stand in the order of the list, Sep2's frame second.
  EXPECT_EQ(Str(w.Frame1[4]->title()), "郵便番号後項の後");
  EXPECT_LT(w.Sep[1][0]->mapTo(&w, QPoint()).y(), w.Sep[2][0]->mapTo(&w, QPoint()).y());
}

TEST_F(SettingsWindow, OrderBoxesTakeDigitsZeroToFiveAndBackspaceOnly) {
  ui::Kovant2 w(app);
  w.show();
  QLineEdit* box = w.Text2[2];
  box->setFocus();
  EXPECT_EQ(Str(box->text()), "3");
  for (char c : {'6', 'a', ' ', '9'}) QTest::keyClick(box, c);
  EXPECT_EQ(Str(box->text()), "3");
  QTest::keyClick(box, Qt::Key_End);
  QTest::keyClick(box, Qt::Key_Backspace);
  EXPECT_TRUE(box->text().isEmpty());
  QTest::keyClick(box, '5');
  EXPECT_EQ(Str(box->text()), "5");
  QTest::keyClick(box, '4');  // one character at most
  EXPECT_EQ(Str(box->text()), "5");
}

TEST_F(SettingsWindow, Check1EnablesTheCaptionFieldAndKeepsItsText) {
  app.Settings.FindCaption = "メモ";
  ui::Kovant2 w(app);
  w.show();
  EXPECT_FALSE(w.Text3->isEnabled());
  w.Check1->click();
  EXPECT_TRUE(w.Text3->isEnabled());
  w.Check1->click();
  EXPECT_FALSE(w.Text3->isEnabled());
  EXPECT_EQ(Str(w.Text3->text()), "メモ");
}

TEST_F(SettingsWindow, RefusedOrderShowsItsMessageAndStaysOpen) {
  ui::Kovant2 w(app);
  w.Text2[1]->setText("1");
  w.Command1_Click(0);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0], "コピー順の設定に誤りがあります。");
  EXPECT_NE(w.result(), QDialog::Accepted);
  EXPECT_TRUE(settings::ListProfiles(folder).empty());
}

TEST_F(SettingsWindow, CancelledSaveWindowChangesNothing) {
  const settings::Settings before = app.Settings;
  ui::Kovant2 w(app);
  w.Opt4[1]->setChecked(true);
  WhenModal<ui::Kovant3>([](ui::Kovant3* k3) { k3->Command1_Click(1); });
  w.Command1_Click(0);
  EXPECT_TRUE(app.SettingsCancelled);
  EXPECT_EQ(app.Settings, before);
  EXPECT_TRUE(w.Opt4[1]->isChecked());
  EXPECT_TRUE(settings::ListProfiles(folder).empty());
}

TEST_F(SettingsWindow, SaveStoresTrimmedTextsAndTheOrderAsTypedThenSwitchesTheCodeKind) {
  ASSERT_TRUE(Open(0));
  window->Option1[1]->setChecked(true);  // changed by hand before
  WhenModal<ui::Kovant2>([](ui::Kovant2* s) {
    s->Sep[1][4]->setChecked(true);
    s->Text1[1]->setText("  ／ ");
    s->Text1[2]->setText(" x ");   // stored although its option is not "文字"
    s->Text1[3]->setText(" 　 ");  // one ideographic space is a separator
    s->Text2[4]->setText("0");
    s->Check1->click();
    s->Text3->setText("  メモ帳　 ");
    s->Opt2[0]->setChecked(true);
    WhenModal<ui::Kovant3>([](ui::Kovant3* k3) {
      k3->Text1->setText(" 仕事 ");
      k3->Command1_Click(0);
    });
    s->Command1_Click(0);
  });
  window->Command5_Click();
  const settings::Settings& s = app.Settings;
  EXPECT_FALSE(app.SettingsCancelled);
  EXPECT_EQ(s.Profile, "仕事.prm");
  EXPECT_EQ(s.Sep[1], 4);
  EXPECT_EQ(s.SepText[1], "／");
  EXPECT_EQ(s.SepText[2], "x");
  EXPECT_EQ(s.SepText[3], "　");
  EXPECT_EQ(s.Seq[4], "0");
  EXPECT_EQ(s.CopyAppl, 1);
  EXPECT_EQ(s.FindCaption, "メモ帳　");
  EXPECT_TRUE(window->Option1[0]->isChecked());
  settings::Settings reread = settings::DefaultSettings();
  ASSERT_TRUE(settings::LoadSettings(reread, folder, "仕事.prm"));
  EXPECT_EQ(reread, s);
  // KOVANT.INI is written only by "終了".
  EXPECT_FALSE(std::filesystem::exists(folder + "/KOVANT.INI"));
}

TEST_F(SettingsWindow, SaveStoresEveryKeyTheWindowShows) {
  settings::Settings& s = app.Settings;
  s.StartMode = settings::kStartFromCode;
  s.CopyMode = settings::kCopyCurrentCode;
  s.MarkSet = settings::kMarkOmitted;
  s.NumType = settings::kFullWidthDigits;
  s.Sep = {3, 1, 2, 0, 4, 1};
  s.SepText = {"a", "b", "c", "d", "e", "f"};
  s.Seq = {"2", "1", "0", "3", "4"};
  s.CopyAppl = settings::kSwitchOn;
  s.AfterCopy = settings::kSwitchOff;
  s.InputClear = settings::kSwitchOn;
  s.FindCaption = "メモ帳";
  settings::Settings expected = s;
  expected.Profile = "全部.prm";
  ui::Kovant2 w(app);
  app.Settings = settings::DefaultSettings();  // only what the window stores is left
  app.Settings.AfterCopy = settings::kSwitchOn;
  WhenModal<ui::Kovant3>([](ui::Kovant3* k3) {
    k3->Text1->setText("全部");
    k3->Command1_Click(0);
  });
  w.Command1_Click(0);
  EXPECT_FALSE(app.SettingsCancelled);
  EXPECT_EQ(app.Settings, expected);
}

TEST_F(SettingsWindow, DeleteWindowKeepsUnsavedEdits) {
  WriteProfile("old", settings::DefaultSettings());
  ui::Kovant2 w(app);
  w.Text1[3]->setText("edit");
  w.Opt3[1]->setChecked(true);
  WhenModal<ui::Kovant3>([](ui::Kovant3* k3) {
    k3->List1->SetListIndex(0);
    k3->List1_Click();
    k3->Command2_Click();
    k3->Command1_Click(0);
  });
  w.Command1_Click(2);
  EXPECT_EQ(app.ProfileDialogMode, 2);
  EXPECT_FALSE(std::filesystem::exists(folder + "/old.prm"));
  EXPECT_EQ(Str(w.Text1[3]->text()), "edit");
  EXPECT_TRUE(w.Opt3[1]->isChecked());
  EXPECT_NE(w.result(), QDialog::Accepted);
}

TEST_F(SettingsWindow, CloseBoxCountsAsCancel) {
  ui::Kovant2 w(app);
  app.SettingsCancelled = false;
  w.reject();
  EXPECT_TRUE(app.SettingsCancelled);
}

}  // namespace
}  // namespace kovant::test
