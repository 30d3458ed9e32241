// What the main window shows a person, and a screen reader: the codes by
// their values, notices whole in the message line, long addresses from
// their start, and data too old to trust.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QFontMetrics>
#include <QScrollBar>

#include "dict/current.h"
#include "uifixture.h"

namespace kovant::test {
namespace {

using WhatShows = UiFixture;

std::string AccessibleName(QWidget* w) {
  QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
  return a ? a->text(QAccessible::Name).toStdString() : std::string();
}

TEST_F(WhatShows, TheCodesAreNamedWithTheirValuesAndTheAddressShowsItsStart) {
  ASSERT_TRUE(Open(1));
  window->Text1->setText("1000001");
  window->Command1_Click();
  window->List1->SetListIndex(0);
  EXPECT_EQ(AccessibleName(window->Label3[1]), "新〒 100-0001");
  EXPECT_EQ(AccessibleName(window->Label3[0]), "旧〒 " + Str(window->Label3[0]->text()));
  EXPECT_FALSE(window->Label3[0]->text().isEmpty());
  // A box too narrow for the address: it shows the prefecture, not the end.
  window->Text3->setText(QStringLiteral("北海道虻田郡洞爺湖町洞爺湖温泉町字洞爺湖温泉町百番地の一番から九番まで"));
  ASSERT_GT(QFontMetrics(window->Text3->font()).horizontalAdvance(window->Text3->text()), window->Text3->width());
  EXPECT_EQ(window->Text3->cursorPosition(), 0);
  // Away from the result, the names say so too.
  window->Command2_Click();
  EXPECT_EQ(AccessibleName(window->Label3[1]), "新〒");
  EXPECT_EQ(AccessibleName(window->Label3[0]), "旧〒");
}

TEST_F(WhatShows, ALongEntryInTheSearchListShowsItsStartWhenSelected) {
  ASSERT_TRUE(Open(1));
  window->Text1->setText("1000001");
  window->Command1_Click();
  ASSERT_GT(window->List1->ListCount(), 0);
  // An entry wider than the list from the start, as a long address is.
  const int32_t data = window->List1->ItemData(0);
  window->List1->clear();
  window->List1->AddItem(QStringLiteral("東京都千代田区千代田") + QString(60, QChar(u'長')), data);
  window->List1->show();
  QApplication::processEvents();
  window->List1->SetListIndex(0);
  window->List1->SetTopIndex(0);
  EXPECT_EQ(window->List1->horizontalScrollBar()->value(), 0);
  Shot(window.get(), "search-long");
}

TEST_F(WhatShows, TheMessageLineShowsALongNoticeWhole) {
  ASSERT_TRUE(Open(0));
  auto* line = dynamic_cast<ui::FittedLabel*>(window->Label1[0]);
  ASSERT_NE(line, nullptr);
  const QString notice = QStringLiteral("辞書データ：2026-04-27（辞書が更新されました）");
  line->setText(notice);
  const int room = line->contentsRect().width();
  ASSERT_GT(QFontMetrics(line->font()).horizontalAdvance(notice), room);  // cut at the label's own font
  EXPECT_LE(QFontMetrics(line->FittedFont()).horizontalAdvance(notice), room);
  line->setText(QStringLiteral("設定が変更されました。"));
  EXPECT_EQ(line->FittedFont(), line->font());  // short texts as before
}

TEST_F(WhatShows, DataMoreThanTwoMonthsOldSaysSoOnceWithTheWayToUpdate) {
  app.Today = "2026-03-01";
  ASSERT_TRUE(Open(0));
  EXPECT_EQ(Str(window->Label1[0]->text()), "辞書データ：2026-01-01");
  app.Today = "2026-03-02";
  ASSERT_TRUE(Open(0));
  EXPECT_EQ(Str(window->Label1[0]->text()), "辞書（2026-01-01）が古くなっています。設定→辞書を更新");
  Shot(window.get(), "stale");
  auto* line = dynamic_cast<ui::FittedLabel*>(window->Label1[0]);
  ASSERT_NE(line, nullptr);
  EXPECT_LE(QFontMetrics(line->FittedFont()).horizontalAdvance(line->text()), line->contentsRect().width());
  // Said once: the next step's message takes its place.
  window->List2->SetListIndex(0);
  window->LoadCities();
  EXPECT_EQ(Str(window->Label1[0]->text()), "");
}

}  // namespace
}  // namespace kovant::test
