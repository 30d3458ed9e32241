// The windows driven by the keyboard alone: Enter, the focus cursor of the
// lists and Tab into option groups.
#include <filesystem>

#include "ui/profilewindow.h"
#include "ui/settingswindow.h"
#include "uifixture.h"

namespace kovant::test {
namespace {

using Keyboard = UiFixture;

// Shows a dialog as the user gets it, without its own event loop.
template <class W>
void Show(W& w) {
  w.show();
  w.activateWindow();
  (void)QTest::qWaitForWindowActive(&w, 1000);
}

void Press(QWidget* target, int key) { QTest::keyClick(target, static_cast<Qt::Key>(key)); }

TEST_F(Keyboard, EnterPressesTheFocusedButtonAndTheDefaultOnlyWithoutOne) {
  WriteProfile("あ", settings::DefaultSettings());
  app.Settings.Profile = "あ.prm";
  app.Settings.SepText[1] = "x";
  const settings::Settings before = app.Settings;
  {
    // "取り消し" focused: Enter cancels; nothing is saved.
    ui::Kovant2 w(app);
    Show(w);
    w.Text1[1]->setText("changed");
    w.Command1[1]->setFocus();
    Press(w.Command1[1], Qt::Key_Return);
    EXPECT_EQ(w.result(), QDialog::Rejected);
    EXPECT_TRUE(app.SettingsCancelled);
    EXPECT_EQ(app.Settings, before);
  }
  {
    // The save window: "取消し" focused, Enter cancels and writes nothing.
    app.ProfileDialogMode = 1;
    ui::Kovant3 w(app);
    Show(w);
    w.Text1->setText("い");
    w.Command1[1]->setFocus();
    Press(w.Command1[1], Qt::Key_Enter);
    EXPECT_TRUE(app.SettingsCancelled);
    EXPECT_EQ(app.Settings.Profile, "あ.prm");
  }
  {
    // In the name box, Enter is the default button's: saved under the name.
    ui::Kovant3 w(app);
    Show(w);
    w.Text1->setText("い");
    w.Text1->setFocus();
    Press(w.Text1, Qt::Key_Return);
    EXPECT_FALSE(app.SettingsCancelled);
    EXPECT_EQ(app.Settings.Profile, "い.prm");
  }
}

TEST_F(Keyboard, TheProfileListFollowsTheSelectionMadeByKeys) {
  WriteProfile("あ", settings::DefaultSettings());
  WriteProfile("う", settings::DefaultSettings());
  app.Settings.Profile = "あ.prm";
  {
    app.ProfileDialogMode = 1;
    ui::Kovant3 w(app);
    Show(w);
    w.List1->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(w.List1->ListIndex(), -1);
    Press(w.List1, Qt::Key_Down);  // from no selection: the first entry
    EXPECT_EQ(Str(w.Text1->text()), "あ");
    Press(w.List1, Qt::Key_Down);
    EXPECT_EQ(Str(w.Text1->text()), "う");
    Press(w.List1, Qt::Key_Return);
    EXPECT_EQ(app.Settings.Profile, "う.prm");
  }
  {
    // Deleting from the keyboard.
    app.ProfileDialogMode = 2;
    ui::Kovant3 w(app);
    Show(w);
    w.List1->setFocus(Qt::TabFocusReason);
    EXPECT_FALSE(w.Command2->isEnabled());
    Press(w.List1, Qt::Key_Down);
    EXPECT_TRUE(w.Command2->isEnabled());
    w.Command2->setFocus();
    Press(w.Command2, Qt::Key_Space);
    EXPECT_FALSE(std::filesystem::exists(folder + "/あ.prm"));
    EXPECT_TRUE(std::filesystem::exists(folder + "/う.prm"));
  }
}

TEST_F(Keyboard, TheMainWindowActsOnTheSelectionNotOnTheFocusCursor) {
  ASSERT_TRUE(Open(0));
  auto& w = *window;
  // Tab into the prefectures: nothing chosen; Down chooses the first
  // entry, not the second.
  w.List2->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(w.List2->ListIndex(), -1);
  Key(Qt::Key_Down);
  EXPECT_EQ(w.List2->ListIndex(), 0);
  EXPECT_EQ(Str(w.List2->ItemText(w.List2->ListIndex())), "北海道");
  // Enter with nothing chosen loads no cities.
  w.List2->SetListIndex(-1);
  Key(Qt::Key_Return);
  EXPECT_EQ(w.List3->ListCount(), 0);

  // The search results: focus alone shows and enables nothing.
  w.Command2_Click();
  w.Text1->setText("100");
  w.Command1_Click();
  ASSERT_GT(w.List1->ListCount(), 1);
  w.List1->SetListIndex(-1);
  w.Text3->clear();
  w.Command4->setEnabled(false);
  w.List1->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(w.List1->ListIndex(), -1);
  EXPECT_TRUE(w.Text3->text().isEmpty());
  EXPECT_FALSE(w.Command4->isEnabled());
  Key(Qt::Key_Down);
  EXPECT_EQ(w.List1->ListIndex(), 0);
  EXPECT_FALSE(w.Text3->text().isEmpty());
}

// A code typed right after the window takes the focus: on a busy machine
// the keys queue up behind the focus and are handled in one go; none of
// them is selected away and replaced by the next. A click still selects
// the whole text, once the press is through.
TEST_F(Keyboard, KeysQueuedBehindTheFocusAreAllKept) {
  ASSERT_TRUE(Open(1));
  auto& w = *window;
  w.Text1->setText("530");
  w.Command2->setFocus(Qt::TabFocusReason);
  w.Text1->setFocus(Qt::ActiveWindowFocusReason);
  QTest::keyClicks(w.Text1, "1000");
  QApplication::processEvents();
  QTest::keyClicks(w.Text1, "001");
  QApplication::processEvents();
  EXPECT_EQ(w.Text1->text().toStdString(), "1000001");

  w.Command2->setFocus(Qt::TabFocusReason);
  QTest::mouseClick(w.Text1, Qt::LeftButton, Qt::NoModifier, QPoint(4, w.Text1->height() / 2));
  QApplication::processEvents();
  EXPECT_EQ(w.Text1->selectedText().toStdString(), "1000001");
  QTest::keyClicks(w.Text1, "5300001");
  EXPECT_EQ(w.Text1->text().toStdString(), "5300001");
}

TEST_F(Keyboard, TabEntersAnOptionGroupOnItsCheckedButton) {
  app.Settings.CopyMode = 1;
  ASSERT_TRUE(Open(0));
  auto& w = *window;
  ASSERT_TRUE(w.Option1[1]->isChecked());
  w.Text4->setFocus();
  Key(Qt::Key_Tab);  // Text4 is last in the order; the group comes first
  EXPECT_EQ(QApplication::focusWidget(), w.Option1[1]);
  Key(Qt::Key_Space);
  EXPECT_TRUE(w.Option1[1]->isChecked());
  // The arrows still move within the group, and Tab then enters on the new choice.
  Key(Qt::Key_Left);
  EXPECT_TRUE(w.Option1[0]->isChecked());
  EXPECT_EQ(QApplication::focusWidget(), w.Option1[0]);
  Key(Qt::Key_Tab);  // past the other option (and "コピー", disabled without a result)
  EXPECT_EQ(QApplication::focusWidget(), w.Text3);
  Key(Qt::Key_Backtab);
  EXPECT_EQ(QApplication::focusWidget(), w.Option1[0]);
}

}  // namespace
}  // namespace kovant::test
