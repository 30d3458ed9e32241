#include <QClipboard>
#include <QGuiApplication>
#include <QWindow>

#include "platform/files.h"
#include "uifixture.h"

namespace kovant::test {
namespace {

using MainWindow = UiFixture;

TEST_F(MainWindow, OpensInWalkModeWithPrefecturesAndNoSelection) {
  ASSERT_TRUE(Open(0));
  // The program's icon, bundled at the usual sizes.
  EXPECT_FALSE(window->windowIcon().pixmap(16, 16).isNull());
  EXPECT_FALSE(window->windowIcon().pixmap(256, 256).isNull());
  auto& w = *window;
  EXPECT_TRUE(w.AddressMode());
  EXPECT_EQ(w.List2->ListCount(), 47);
  EXPECT_EQ(w.List2->ListIndex(), -1);
  EXPECT_EQ(Str(w.List2->ItemText(0)), "北海道");
  EXPECT_EQ(w.List2->ItemData(12), 13);
  EXPECT_TRUE(w.List1->isHidden());
  EXPECT_EQ(Str(w.Label2[0]->text()), "住所１");
  EXPECT_EQ(w.Label2[0]->palette().color(QPalette::WindowText), QColor(255, 0, 0));
  EXPECT_EQ(w.Label2[1]->palette().color(QPalette::WindowText), QColor(0, 0, 192));
  EXPECT_EQ(Str(w.Command2->text()), "郵便番号→住所");
  EXPECT_FALSE(w.Command4->isEnabled());
  EXPECT_TRUE(w.Option1[0]->isChecked());
  EXPECT_GT(w.VisibleRows(), 3);
  EXPECT_TRUE(warnings.empty());
  // The message line names the data until the first operation.
  EXPECT_EQ(Str(w.Label1[0]->text()), "辞書データ：2026-01-01");
  // The user can type at once: the walk's head search holds the focus
  // (asked of the window, which knows it whether or not it is active).
  EXPECT_EQ(w.focusWidget(), w.Text4);
}

TEST_F(MainWindow, StartModeOneOpensTheSearchWithItsHeadingInRed) {
  app.Settings.CopyMode = 1;
  ASSERT_TRUE(Open(1));
  auto& w = *window;
  EXPECT_FALSE(w.AddressMode());
  EXPECT_FALSE(w.List1->isHidden());
  EXPECT_TRUE(w.List2->isHidden());
  EXPECT_EQ(Str(w.Label2[0]->text()), "該　当　住　所");
  EXPECT_EQ(w.Label2[0]->palette().color(QPalette::WindowText), QColor(255, 0, 0));
  EXPECT_EQ(Str(w.Command2->text()), "住所→郵便番号");
  EXPECT_TRUE(w.Option1[1]->isChecked());
}

TEST_F(MainWindow, HandEditedCopyModeSelectsTheFormerCodeInsteadOfEnding) {
  app.Settings.CopyMode = 7;
  ASSERT_TRUE(Open(0));
  EXPECT_TRUE(window->Option1[0]->isChecked());
}

TEST_F(MainWindow, WalkByKeyboardShowsATownAndEnterCopiesIt) {
  ASSERT_TRUE(Open(0));
  auto& w = *window;
  w.Text4->setFocus();
  Type("東");
  EXPECT_EQ(Str(w.List2->ItemText(w.List2->ListIndex())), "東京都");
  EXPECT_FALSE(w.Command4->isEnabled());
  Key(Qt::Key_Return);  // cities of 東京都
  EXPECT_EQ(w.CurrentList(), w.List3);
  EXPECT_TRUE(w.Text4->text().isEmpty());
  EXPECT_EQ(Str(w.Label2[1]->text()), "住所２（ " + std::to_string(w.List3->ListCount()) + " 件）");
  EXPECT_EQ(w.Label2[1]->palette().color(QPalette::WindowText), QColor(255, 0, 0));
  EXPECT_EQ(Str(w.Text3->text()), "東京都");
  Type("千代田");
  ASSERT_GE(w.List3->ListIndex(), 0);
  Key(Qt::Key_Return);  // towns of 千代田区
  EXPECT_EQ(w.CurrentList(), w.List4);
  EXPECT_EQ(Str(w.Text3->text()), "東京都千代田区");
  EXPECT_FALSE(w.Command4->isEnabled());
  // The nameless town stands first.
  EXPECT_EQ(Str(w.List4->ItemText(0)), " 以下に該当する住所がない場合");
  Key(Qt::Key_Down);
  EXPECT_EQ(w.List4->ListIndex(), 0);
  EXPECT_EQ(Str(w.Label3[1]->text()), "100-0000");
  EXPECT_EQ(Str(w.Text3->text()), "東京都千代田区");
  EXPECT_TRUE(w.Command4->isEnabled());
  w.Text4->setFocus();
  Type("千代田");
  ASSERT_EQ(Str(w.List4->ItemText(w.List4->ListIndex())), "千代田");
  EXPECT_FALSE(w.Command4->isEnabled());
  w.Text4->clear();
  Key(Qt::Key_Right);
  EXPECT_EQ(Str(w.Label3[1]->text()), "100-0001");
  EXPECT_EQ(Str(w.Label3[0]->text()), "100");
  EXPECT_TRUE(w.Command4->isEnabled());
  EXPECT_EQ(QApplication::focusWidget(), w.Text2);
  w.Option1[1]->setChecked(true);
  Key(Qt::Key_Return);  // presses "コピー"
  EXPECT_EQ(clipboard.Text(), "〒100-0001東京都千代田区千代田");
  Key(Qt::Key_Left);
  EXPECT_EQ(w.CurrentList(), w.List3);
  EXPECT_FALSE(w.Command4->isEnabled());
  Key(Qt::Key_Left);
  Key(Qt::Key_Left);
  EXPECT_EQ(w.CurrentList(), w.List2);
}

TEST_F(MainWindow, UpAndDownStopAtTheEndsAndShowTheTownAgain) {
  ASSERT_TRUE(Open(0));
  auto& w = *window;
  w.List2->SetListIndex(12);
  Key(Qt::Key_Return);
  w.List3->SetListIndex(0);
  Key(Qt::Key_Return);
  ASSERT_GT(w.List4->ListCount(), 1);
  Key(Qt::Key_Up);  // no selection: nothing to move to
  EXPECT_EQ(w.List4->ListIndex(), -1);
  Key(Qt::Key_Down);
  Key(Qt::Key_Up);
  EXPECT_EQ(w.List4->ListIndex(), 0);
  EXPECT_TRUE(w.Command4->isEnabled());
  w.Text2->setText("x");
  Key(Qt::Key_Up);  // shows the first town again, clearing the supplement
  EXPECT_EQ(w.List4->ListIndex(), 0);
  EXPECT_TRUE(w.Text2->text().isEmpty());
  for (int i = 0; i < 50; ++i) Key(Qt::Key_Down);
  EXPECT_EQ(w.List4->ListIndex(), w.List4->ListCount() - 1);
}

TEST_F(MainWindow, UpAndDownOnThePrefecturesDisableCopyAndLoadNothing) {
  ASSERT_TRUE(Open(0));
  auto& w = *window;
  w.Text4->setFocus();
  Key(Qt::Key_Down);
  EXPECT_EQ(w.List2->ListIndex(), 0);
  EXPECT_EQ(w.List3->ListCount(), 0);
  EXPECT_FALSE(w.Command4->isEnabled());
}

TEST_F(MainWindow, PagingMovesByVisibleRowsWithinTheList) {
  ASSERT_TRUE(Open(0));
  auto& w = *window;
  const int rows = w.VisibleRows();
  w.Text4->setFocus();
  Key(Qt::Key_PageDown);
  EXPECT_EQ(w.List2->ListIndex(), rows - 1);
  Key(Qt::Key_PageDown);
  EXPECT_EQ(w.List2->ListIndex(), 2 * rows - 1);
  for (int i = 0; i < 10; ++i) Key(Qt::Key_PageDown);
  EXPECT_EQ(w.List2->ListIndex(), 46);
  Key(Qt::Key_PageUp);
  EXPECT_EQ(w.List2->ListIndex(), 46 - rows);
  for (int i = 0; i < 10; ++i) Key(Qt::Key_PageUp);
  EXPECT_EQ(w.List2->ListIndex(), 0);
  // On an empty list paging changes nothing.
  Key(Qt::Key_Right);
  Key(Qt::Key_Return);
  w.Text4->setFocus();
  ASSERT_EQ(w.CurrentList(), w.List4);
  ASSERT_EQ(w.List4->ListCount(), 0);
  Key(Qt::Key_PageDown);
  EXPECT_EQ(w.List4->ListIndex(), -1);
}

TEST_F(MainWindow, RightWithoutSelectionOnlyEmptiesTheHeadSearch) {
  ASSERT_TRUE(Open(0));
  auto& w = *window;
  w.Text4->setFocus();
  Type("ん");  // no prefecture begins with it
  EXPECT_EQ(w.List2->ListIndex(), -1);
  Key(Qt::Key_Right);
  EXPECT_TRUE(w.Text4->text().isEmpty());
  EXPECT_EQ(w.CurrentList(), w.List2);
  EXPECT_EQ(w.List3->ListCount(), 0);
}

TEST_F(MainWindow, HeadSearchIgnoresLetterCaseAndBlankText) {
  ASSERT_TRUE(Open(0));
  auto& w = *window;
  w.List2->SetListIndex(12);
  Key(Qt::Key_Return);
  w.Text4->setText("   ");
  EXPECT_EQ(w.List3->ListIndex(), -1);
  // Full-width Latin in a name is matched without regard to case as well.
  w.Text4->setText("新");
  EXPECT_EQ(Str(w.List3->ItemText(w.List3->ListIndex())), "新宿区");
}

// A head search that no name begins with is tried as a reading: romaji
// (Hepburn or Kunrei), hiragana, katakana of either width; kanji stay
// names only.
TEST_F(MainWindow, HeadSearchFindsReadingsTypedAnyWay) {
  ASSERT_TRUE(Open(0));
  auto& w = *window;
  w.Text4->setFocus();
  auto selected = [&](ui::ListBox* list) {
    return list->ListIndex() < 0 ? std::string() : Str(list->ItemText(list->ListIndex()));
  };
  Type("osa");
  EXPECT_EQ(selected(w.List2), "大阪府");
  w.Text4->setText("とうき");
  EXPECT_EQ(selected(w.List2), "東京都");
  Key(Qt::Key_Right);
  w.Text4->setText("ti");  // Kunrei for チ
  EXPECT_EQ(selected(w.List3), "千代田区");
  w.Text4->setText("shinju");
  EXPECT_EQ(selected(w.List3), "新宿区");
  Key(Qt::Key_Right);
  w.Text4->setText("takadanobabaminami");
  EXPECT_EQ(selected(w.List4), "高田馬場南");
  w.Text4->setText("ﾆｼｼﾝ");
  EXPECT_EQ(selected(w.List4), "西新宿");
  w.Text4->setText("高田馬場北");
  EXPECT_EQ(selected(w.List4), "高田馬場北");
  w.Text4->setText("馬場");  // kanji are never a reading: the selection stays
  EXPECT_EQ(selected(w.List4), "高田馬場北");
}

TEST_F(MainWindow, SearchByKeyboardPicksAndCopies) {
  ASSERT_TRUE(Open(1));
  auto& w = *window;
  w.Text1->setFocus();
  Type("1a0b0-0001");
  EXPECT_EQ(Str(w.Text1->text()), "1000001");
  Key(Qt::Key_Backspace);
  Type("1");
  Key(Qt::Key_Left);  // consumed: the caret stays at the end
  EXPECT_EQ(w.Text1->cursorPosition(), 7);
  Key(Qt::Key_Return);
  ASSERT_EQ(w.List1->ListCount(), 1);
  EXPECT_EQ(Str(w.Label2[0]->text()), "該　当　住　所 （1 件）");
  EXPECT_EQ(Str(w.List1->ItemText(0)), "東京都 千代田区 千代田");
  EXPECT_EQ(QApplication::focusWidget(), w.Text2);
  EXPECT_FALSE(w.Command4->isEnabled());
  Key(Qt::Key_Down);
  EXPECT_EQ(Str(w.Label3[1]->text()), "100-0001");
  EXPECT_EQ(Str(w.Text3->text()), "東京都千代田区千代田");
  EXPECT_EQ(Str(w.Label1[0]->text()), "必要に応じて補足を入力してください。");
  EXPECT_TRUE(w.Command4->isEnabled());
  Type("１－２");
  w.Option1[1]->setChecked(true);
  w.Text2->setFocus();
  ASSERT_TRUE(w.Command4->isEnabled());
  ASSERT_EQ(QApplication::focusWidget(), w.Text2);
  Key(Qt::Key_Return);
  EXPECT_EQ(clipboard.Text(), "〒100-0001東京都千代田区千代田１－２");
}

TEST_F(MainWindow, SamePickAfterANewSearchEnablesCopyAgain) {
  ASSERT_TRUE(Open(1));
  auto& w = *window;
  w.Text1->setText("1000001");
  w.Command1_Click();
  w.List1->SetListIndex(0);
  ASSERT_TRUE(w.Command4->isEnabled());
  w.Command1_Click();
  EXPECT_FALSE(w.Command4->isEnabled());
  w.List1->SetListIndex(0);
  EXPECT_TRUE(w.Command4->isEnabled());
}

TEST_F(MainWindow, SearchWarnsOnBadInputAfterClearingTheList) {
  ASSERT_TRUE(Open(1));
  auto& w = *window;
  w.Text1->setText("1690075");
  w.Command1_Click();
  EXPECT_EQ(w.List1->ListCount(), 3);
  w.Text1->setText("1234");
  w.Command1_Click();
  EXPECT_EQ(w.List1->ListCount(), 0);
  w.Text1->setText("12a");  // as pasted
  w.Command1_Click();
  ASSERT_EQ(warnings.size(), 2u);
  EXPECT_EQ(warnings[0], "入力された桁数が正しくありません。");
  EXPECT_EQ(warnings[1], "数字を入力してください。");
  w.Text1->setText("9999999");
  w.Command1_Click();
  EXPECT_EQ(Str(w.Label2[0]->text()), "該　当　住　所 （0 件）");
}

TEST_F(MainWindow, PickMovesTheParenthesisedTextIntoTheSupplement) {
  ASSERT_TRUE(Open(1));
  auto& w = *window;
  w.Text1->setText("0600042");
  w.Command1_Click();
  w.List1->SetListIndex(0);
  EXPECT_EQ(Str(w.Text2->text()), "１～１９丁目");
  EXPECT_EQ(w.Current().Address3, "大通西");
}

TEST_F(MainWindow, DirectionSwitchClearsTheResultAndKeepsTheSupplementOnlyWithInputClear) {
  ASSERT_TRUE(Open(1));
  auto& w = *window;
  w.Text1->setText("1000001");
  w.Command1_Click();
  w.List1->SetListIndex(0);
  w.Text2->setText("補足");
  w.Command2_Click();
  EXPECT_TRUE(w.AddressMode());
  EXPECT_TRUE(w.Label3[0]->text().isEmpty());
  EXPECT_TRUE(w.Text3->text().isEmpty());
  EXPECT_TRUE(w.Text2->text().isEmpty());
  EXPECT_EQ(QApplication::focusWidget(), w.Text4);
  app.Settings.InputClear = 1;
  w.Text2->setText("補足");
  w.Command2_Click();
  EXPECT_EQ(Str(w.Text2->text()), "補足");
  EXPECT_EQ(w.List1->ListCount(), 0);
  EXPECT_EQ(QApplication::focusWidget(), w.Text1);
}

TEST_F(MainWindow, EnterOnAFocusedButtonPressesThatButton) {
  ASSERT_TRUE(Open(1));
  auto& w = *window;
  w.Command2->setFocus();
  Key(Qt::Key_Return);
  EXPECT_TRUE(w.AddressMode());
}

TEST_F(MainWindow, CtrlF1RestoresAMinimisedWindowAndF1AloneDoesNothing) {
  ASSERT_TRUE(Open(0));
  auto& w = *window;
  w.showMinimized();
  EXPECT_TRUE(w.windowState() & Qt::WindowMinimized);
  w.Form_KeyDown(Qt::Key_F1, Qt::NoModifier);
  EXPECT_TRUE(w.windowState() & Qt::WindowMinimized);
  w.Form_KeyDown(Qt::Key_F1, Qt::ControlModifier);
  EXPECT_FALSE(w.windowState() & Qt::WindowMinimized);
}

TEST_F(MainWindow, MouseOnTheListsRunsTheWalkSteps) {
  ASSERT_TRUE(Open(0));
  auto& w = *window;
  auto press = [](ui::ListBox* list, int row) {
    QRect r = list->ItemRect(row);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
  };
  press(w.List2, 12);
  EXPECT_EQ(w.CurrentList(), w.List3);
  ASSERT_GT(w.List3->ListCount(), 0);
  press(w.List3, 0);
  EXPECT_EQ(w.CurrentList(), w.List4);
  ASSERT_GT(w.List4->ListCount(), 0);
  press(w.List4, 0);
  EXPECT_TRUE(w.Command4->isEnabled());
  QRect r = w.List4->ItemRect(0);
  QTest::mouseDClick(w.List4->viewport(), Qt::LeftButton, {}, r.center());
  EXPECT_EQ(clipboard.Text(), w.CopyText());
  EXPECT_FALSE(clipboard.Text().empty());
}

TEST_F(MainWindow, OtherVersionWarnsAndOpensEmpty) {
  RawDic raw(101);
  raw.Write(folder + "/KOVANT.DIC");
  ASSERT_TRUE(Open(0));
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0], "辞書のバージョンが違います。");
  EXPECT_EQ(window->List2->ListCount(), 0);
  Key(Qt::Key_Down);
  Key(Qt::Key_Return);
  EXPECT_EQ(window->List3->ListCount(), 0);
}

TEST_F(MainWindow, MissingDictionaryEndsWithTheReadError) {
  std::filesystem::remove(folder + "/KOVANT.DIC");
  EXPECT_FALSE(Open(0));
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0].rfind("辞書の読み込みでエラーが発生しました。", 0), 0u);
  EXPECT_FALSE(std::filesystem::exists(folder + "/KOVANT.DIC"));
}

TEST_F(MainWindow, DictionaryRemovedWhileRunningGivesTheReadErrorAndKeepsRunning) {
  ASSERT_TRUE(Open(0));
  auto& w = *window;
  std::filesystem::remove(folder + "/KOVANT.DIC");
  w.List2->SetListIndex(0);
  Key(Qt::Key_Return);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0].rfind("辞書の読み込みでエラーが発生しました。", 0), 0u);
  EXPECT_EQ(w.List3->ListCount(), 0);
  w.Command2_Click();
  w.Text1->setText("1000001");
  w.Command1_Click();
  EXPECT_EQ(warnings.size(), 2u);
}

TEST_F(MainWindow, DictionaryTruncatedOrReplacedWhileRunningNeverBreaksTheWindow) {
  ASSERT_TRUE(Open(0));
  auto& w = *window;
  const std::string path = folder + "/KOVANT.DIC";
  const auto size = std::filesystem::file_size(path);
  auto everyStep = [&] {
    for (int p = 0; p < w.List2->ListCount(); p += 5) {
      w.List2->SetListIndex(p);
      w.LoadCities();
      for (int c = 0; c < w.List3->ListCount(); ++c) {
        w.List3->SetListIndex(c);
        w.LoadTowns();
        if (w.List4->ListCount() > 0) {
          w.List4->SetListIndex(0);
          w.ShowTownResult();
        }
      }
    }
  };
  for (auto cut : {size - 1, size / 2, size / 7, std::uintmax_t{150}, std::uintmax_t{0}}) {
    std::filesystem::resize_file(path, cut);
    everyStep();
  }
  // Another version written over it: the records read as garbage.
  RawDic other(101);
  for (int i = 0; i < 500; ++i) other.bytes += static_cast<char>((i * 37) % 256);
  other.Write(path);
  everyStep();
  w.Command2_Click();
  for (const char* code : {"100", "10000", "1000001", "0600042"}) {
    w.Text1->setText(code);
    w.Command1_Click();
    if (w.List1->ListCount() > 0) w.List1->SetListIndex(0);
  }
  // Every failure was a message, never a crash; the window still works.
  for (const auto& m : warnings) EXPECT_EQ(m.rfind("辞書の読み込みでエラーが発生しました。", 0), 0u) << m;
  BuildInto(folder, TownsOf(SamplePath()));
  w.Text1->setText("1000001");
  w.Command1_Click();
  EXPECT_EQ(w.List1->ListCount(), 1);
}

TEST_F(MainWindow, ACodePastedAsPeopleWriteItLandsAsDigits) {
  ASSERT_TRUE(Open(1));
  auto& w = *window;
  w.Text1->setFocus();
  QGuiApplication::clipboard()->setText(QStringLiteral("〒１００－０００１"));
  Key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Str(w.Text1->text()), "1000001");
  // A text that is no code is refused whole; typing stays digits-only.
  w.Text1->clear();
  QGuiApplication::clipboard()->setText(QStringLiteral("東京都"));
  Key(Qt::Key_Insert, Qt::ShiftModifier);
  EXPECT_EQ(Str(w.Text1->text()), "");
  Type("10a0-0");
  EXPECT_EQ(Str(w.Text1->text()), "1000");
  // A paste key that arrives as the window is being activated, before the
  // application has a focus widget, is normalised all the same.
  w.Text1->clear();
  QGuiApplication::clipboard()->setText(QStringLiteral("100-0001"));
  QApplication::setActiveWindow(nullptr);
  ASSERT_EQ(QApplication::focusWidget(), nullptr);
  QKeyEvent paste(QEvent::KeyPress, Qt::Key_Insert, Qt::ShiftModifier);
  QApplication::sendEvent(w.Text1, &paste);
  EXPECT_EQ(Str(w.Text1->text()), "1000001");
}

// The walk and the search on the sample with its offices, at 北海道 → 札幌市中央区.
struct OfficesWindow : UiFixture {
  void SetUp() override {
    UiFixture::SetUp();
    auto towns = TownsOf(SamplePath());
    auto offices = OfficesOf(SampleOfficesPath());
    towns.insert(towns.end(), offices.begin(), offices.end());
    BuildInto(folder, towns);
  }
  void SelectByText(ui::ListBox* list, const char* text) {
    for (int i = 0; i < list->ListCount(); ++i) {
      if (Str(list->ItemText(i)) == text) list->SetListIndex(i);
    }
  }
};

TEST_F(OfficesWindow, OfficesWaitBehindOneEntryThatListsThemWhenChosen) {
  ASSERT_TRUE(Open(0));
  auto& w = *window;
  w.List2->SetListIndex(0);
  Key(Qt::Key_Return);
  SelectByText(w.List3, "札幌市中央区");
  Key(Qt::Key_Return);
  ASSERT_EQ(w.CurrentList(), w.List4);
  const int towns = w.List4->ListCount() - 1;
  ASSERT_GT(towns, 0);
  EXPECT_EQ(Str(w.List4->ItemText(towns)), "［事業所 2 件を表示］");
  EXPECT_EQ(Str(w.Label2[2]->text()), "住所３（ " + std::to_string(towns) + " 件）");
  for (int i = 0; i < towns; ++i) EXPECT_EQ(Str(w.List4->ItemText(i)).find("株式会社"), std::string::npos);
  // Down onto the last entry lists the offices and shows the first of them.
  w.List4->SetListIndex(towns - 1);
  Key(Qt::Key_Down);
  EXPECT_EQ(w.List4->ListCount(), towns + 2);
  EXPECT_EQ(w.List4->ListIndex(), towns);
  EXPECT_EQ(w.Current().NewCode, "060-8798");
  EXPECT_EQ(w.Current().Address3, "大通西１０丁目");
  EXPECT_EQ(Str(w.Text2->text()), "（郵便番号試験センター）");
  EXPECT_TRUE(w.Command4->isEnabled());
  // The search finds an office by its code as any town.
  w.Command2_Click();
  w.Text1->setText("0608799");
  w.Command1_Click();
  ASSERT_EQ(w.List1->ListCount(), 1);
  EXPECT_TRUE(warnings.empty());
}

TEST_F(MainWindow, ADictionaryReplacedWhileRunningIsLoadedAgainBeforeTheNextStep) {
  ASSERT_TRUE(Open(0));
  auto& w = *window;
  auto select = [&](ui::ListBox* list, const std::string& text) {
    for (int i = 0; i < list->ListCount(); ++i) {
      if (Str(list->ItemText(i)) == text) list->SetListIndex(i);
    }
    ASSERT_GE(list->ListIndex(), 0) << text;
  };
  w.List2->SetListIndex(12);
  Key(Qt::Key_Return);
  select(w.List3, "千代田区");
  Key(Qt::Key_Return);
  const int before = w.List4->ListCount();
  select(w.List4, "本町");

  // The update writes a new file beside the old one and renames it into
  // place: a new town in 千代田区 and one in 北海道 that moves every
  // position after it.
  auto towns = TownsOf(SamplePath());
  tools::KenRow added = towns.front(), chiyoda;
  for (const auto& t : towns) {
    if (t.city == "千代田区") chiyoda = t;
  }
  added.town = "新しい町";
  added.newCode = "0609999";
  chiyoda.town = "一番町";
  chiyoda.newCode = "1009999";
  towns.insert(towns.begin(), added);
  towns.push_back(chiyoda);
  tools::BuildReport report;
  auto bytes = tools::BuildDictionary(towns, {"2026-05-31", "test"}, report);
  ASSERT_TRUE(bytes.ok());
  ASSERT_EQ(platform::WriteFileAtomically(folder + "/KOVANT.DIC", *bytes), "");

  // The town step runs on the new file: the list is made again, the town
  // picked by its name, its codes read from the new positions.
  w.ShowTownResult();
  EXPECT_EQ(w.List4->ListCount(), before + 1);
  EXPECT_EQ(Str(w.List4->ItemText(w.List4->ListIndex())), "本町");
  EXPECT_EQ(w.Current().NewCode, "101-0011");
  EXPECT_NE(Str(w.Label1[0]->text()).find("2026-05-31"), std::string::npos) << Str(w.Label1[0]->text());
  EXPECT_TRUE(warnings.empty());
  // A search finds what only the new file has.
  w.Command2_Click();
  w.Text1->setText("1009999");
  w.Command1_Click();
  ASSERT_EQ(w.List1->ListCount(), 1);
  EXPECT_EQ(Str(w.List1->ItemText(0)), "東京都 千代田区 一番町");
  w.List1->SetListIndex(0);
  EXPECT_EQ(w.Current().NewCode, "100-9999");
}

}  // namespace
}  // namespace kovant::test
