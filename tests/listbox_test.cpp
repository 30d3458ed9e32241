// The list box of the windows on its own: rows with their values and
// readings through every change, the selection and its signal, the keys,
// the mouse, the screen reader's names and copying.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>

#include <string>
#include <vector>

#include "ui/controls.h"

namespace kovant::test {
namespace {

std::vector<dict::ListEntry> Entries(int n, int32_t firstValue) {
  std::vector<dict::ListEntry> out;
  for (int i = 0; i < n; ++i) {
    out.push_back({"町域" + std::to_string(i), std::string(), firstValue + i, "ちょういき" + std::to_string(i)});
  }
  return out;
}

std::string Text(const ui::ListBox& list, int row) { return list.ItemText(row).toStdString(); }

TEST(ListBox, RowsKeepTheirValuesAndReadingsThroughAppendsRemovalsAndClearing) {
  ui::ListBox list(nullptr);
  list.AddItem(QStringLiteral("北海道"), 1, "ほっかいどう");
  list.SetEntries(Entries(3, 100));
  list.AddItem(QStringLiteral("［事業所 5 件を表示］"), -1);
  ASSERT_EQ(list.ListCount(), 5);
  EXPECT_EQ(Text(list, 0), "北海道");
  EXPECT_EQ(Text(list, 2), "町域1");
  EXPECT_EQ(list.model()->data(list.model()->index(3, 0)).toString().toStdString(), "町域2");
  EXPECT_EQ(list.ItemData(3), 102);
  EXPECT_EQ(list.ItemData(4), -1);
  EXPECT_EQ(list.ReadingKeys(),
            (std::vector<std::string>{"ほっかいどう", "ちょういき0", "ちょういき1", "ちょういき2", ""}));
  // Out of range: nothing, as for a list without that row.
  EXPECT_TRUE(list.ItemText(5).isNull());
  EXPECT_EQ(list.ItemData(-1), 0);

  list.SetReadingKeys({4, 7}, {"じぎょうしょ", "none"});
  EXPECT_EQ(list.ReadingKeys().back(), "じぎょうしょ");
  list.RemoveItem(1);
  EXPECT_EQ(list.ListCount(), 4);
  EXPECT_EQ(Text(list, 1), "町域1");
  EXPECT_EQ(list.ItemData(1), 101);
  EXPECT_EQ(list.ReadingKeys()[1], "ちょういき1");
  EXPECT_EQ(list.ItemData(3), -1);

  list.SetListIndex(2);
  QSignalSpy changed(&list, &ui::ListBox::itemSelectionChanged);
  list.clear();
  EXPECT_EQ(list.ListCount(), 0);
  EXPECT_EQ(list.ListIndex(), -1);
  EXPECT_EQ(changed.count(), 1);  // the selection went, and said so
  EXPECT_TRUE(list.ReadingKeys().empty());
  list.SetEntries(Entries(2, 7));
  EXPECT_EQ(list.ItemData(1), 8);
  EXPECT_EQ(list.ListIndex(), -1);
}

// A search's rows come with their texts in one buffer: the list takes it
// when empty and appends to its own otherwise, and every row keeps its own
// text through appends that grow the buffer, removals and clearing.
TEST(ListBox, SearchRowsKeepTheirTextsWhetherTakenAppendedOrRemoved) {
  auto rowsOf = [](std::vector<std::string> texts, int32_t firstValue) {
    dict::RowList rows;
    for (const auto& t : texts) rows.Append(t, firstValue++);
    return rows;
  };
  std::vector<std::string> rowTexts;  // "" too: a town without a name shows so
  for (int i = 0; i < 40; ++i) rowTexts.push_back(i == 3 ? "" : "東京都 千代田区 町域" + std::to_string(i));
  ui::ListBox list(nullptr);
  list.SetEntries(rowsOf(rowTexts, 10));
  EXPECT_EQ(Text(list, 2), rowTexts[2]);  // one converted before the buffer grows
  list.AddItem(QStringLiteral("北海道"), 1, "ほっかいどう");
  list.SetEntries(Entries(3, 100));
  list.SetEntries(rowsOf({"大阪府 大阪市北区 梅田", "京都府 京都市 "}, 500));
  ASSERT_EQ(list.ListCount(), 46);
  for (int i = 0; i < 40; ++i) {
    EXPECT_EQ(Text(list, i), rowTexts[static_cast<size_t>(i)]) << i;
    EXPECT_EQ(list.ItemData(i), 10 + i);
  }
  EXPECT_EQ(Text(list, 40), "北海道");
  EXPECT_EQ(Text(list, 43), "町域2");
  EXPECT_EQ(Text(list, 44), "大阪府 大阪市北区 梅田");
  EXPECT_EQ(Text(list, 45), "京都府 京都市 ");
  EXPECT_EQ(list.ItemData(45), 501);
  const auto readings = list.ReadingKeys();
  EXPECT_EQ(readings[0], "");
  EXPECT_EQ(readings[40], "ほっかいどう");
  EXPECT_EQ(readings[41], "ちょういき0");
  EXPECT_EQ(readings[45], "");

  list.RemoveItem(0);
  list.RemoveItem(42);  // "町域2"
  ASSERT_EQ(list.ListCount(), 44);
  EXPECT_EQ(Text(list, 0), rowTexts[1]);
  EXPECT_EQ(Text(list, 38), rowTexts[39]);
  EXPECT_EQ(Text(list, 42), "大阪府 大阪市北区 梅田");
  EXPECT_EQ(list.ItemData(42), 500);

  list.clear();
  list.SetEntries(dict::RowList());
  EXPECT_EQ(list.ListCount(), 0);
  list.SetEntries(rowsOf({"沖縄県 那覇市 泉崎"}, 7));
  ASSERT_EQ(list.ListCount(), 1);
  EXPECT_EQ(Text(list, 0), "沖縄県 那覇市 泉崎");
  EXPECT_EQ(list.ItemData(0), 7);
}

struct ShownList : ::testing::Test {
  ui::ListBox list{nullptr};
  void SetUp() override {
    list.resize(200, 120);  // a few rows, so that a page is less than the list
    list.SetEntries(Entries(200, 0));
    list.show();
    list.activateWindow();
    (void)QTest::qWaitForWindowActive(&list, 1000);
    list.setFocus();
  }
  void Key(Qt::Key key, Qt::KeyboardModifiers mods = {}) { QTest::keyClick(&list, key, mods); }
};

TEST_F(ShownList, KeysMoveTheSelectionFromNoneToTheEndsAndByPages) {
  ASSERT_EQ(list.ListIndex(), -1);
  QSignalSpy changed(&list, &ui::ListBox::itemSelectionChanged);
  Key(Qt::Key_Down);
  EXPECT_EQ(list.ListIndex(), 0);  // from no selection, the first entry
  Key(Qt::Key_Down);
  EXPECT_EQ(list.ListIndex(), 1);
  Key(Qt::Key_PageDown);
  const int page = list.ListIndex();
  EXPECT_GT(page, 2);
  EXPECT_LT(page, 199);
  Key(Qt::Key_End);
  EXPECT_EQ(list.ListIndex(), 199);
  EXPECT_TRUE(list.viewport()->rect().intersects(list.ItemRect(199)));  // brought into view
  Key(Qt::Key_PageUp);
  EXPECT_LT(list.ListIndex(), 199);
  Key(Qt::Key_Up);
  Key(Qt::Key_Home);
  EXPECT_EQ(list.ListIndex(), 0);
  EXPECT_GE(changed.count(), 6);
  // Typing a name goes to the first entry that begins with it.
  QKeyEvent typed(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("町域15"));
  QApplication::sendEvent(&list, &typed);
  EXPECT_EQ(Text(list, list.ListIndex()), "町域15");

  // The entry chosen is what copying gives.
  Key(Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), "町域15");
}

TEST_F(ShownList, TheMouseSelectsAndADoubleClickSaysSoAndAScreenReaderHearsTheNames) {
  list.SetTopIndex(40);
  QSignalSpy down(&list, &ui::ListBox::MouseDown);
  QSignalSpy dbl(&list, &ui::ListBox::DblClick);
  const QRect r = list.ItemRect(41);
  ASSERT_TRUE(list.viewport()->rect().contains(r.center()));
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, r.center());
  EXPECT_EQ(list.ListIndex(), 41);
  EXPECT_EQ(down.count(), 1);
  // Another button leaves the selection alone.
  QTest::mouseClick(list.viewport(), Qt::RightButton, {}, list.ItemRect(42).center());
  EXPECT_EQ(list.ListIndex(), 41);
  QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, list.ItemRect(43).center());
  EXPECT_EQ(list.ListIndex(), 43);
  EXPECT_EQ(dbl.count(), 1);

  list.setAccessibleName(QStringLiteral("町域"));
  QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&list);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->role(), QAccessible::List);
  EXPECT_EQ(a->text(QAccessible::Name).toStdString(), "町域");
  ASSERT_NE(a->tableInterface(), nullptr);
  EXPECT_EQ(a->tableInterface()->rowCount(), 200);
  QAccessibleInterface* cell = a->tableInterface()->cellAt(43, 0);
  ASSERT_NE(cell, nullptr);
  EXPECT_EQ(cell->role(), QAccessible::ListItem);
  EXPECT_EQ(cell->text(QAccessible::Name).toStdString(), "町域43");
  EXPECT_TRUE(cell->state().selected);
}

}  // namespace
}  // namespace kovant::test
