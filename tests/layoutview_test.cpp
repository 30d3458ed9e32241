// The Qt windows as the layout table places them: every control where the
// table says at the screen's dpi, and Tab going through them in its order.
#include <gtest/gtest.h>

#include <QApplication>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "ui/controls.h"
#include "ui/profilewindow.h"
#include "ui/settingswindow.h"
#include "uifixture.h"
#include "window/layout.h"

namespace kovant::test {
namespace {

namespace layout = window::layout;
using LayoutView = UiFixture;

void ExpectPlacedAsTheTable(QWidget* window, const layout::Window& table) {
  SCOPED_TRACE(std::string(table.name));
  EXPECT_EQ(window->size(), QSize(ui::Px(table.width), ui::Px(table.height)));
  for (const layout::Control& c : table.controls) {
    if (!c.Shown()) continue;
    auto* w = window->findChild<QWidget*>(ui::Utf8(c.name));
    ASSERT_NE(w, nullptr) << c.name;
    // A frame's controls are placed within it.
    EXPECT_EQ(w->parentWidget()->objectName(), c.parent.empty() ? window->objectName() : ui::Utf8(c.parent)) << c.name;
    const QRect expected(ui::Px(c.place.left), ui::Px(c.place.top), ui::Px(c.place.width), ui::Px(c.place.height));
    EXPECT_EQ(w->geometry(), expected) << c.name;
  }
}

// The table's focus-taking controls in the order the focus chain has them,
// from the first of the table's Tab order round.
std::vector<std::string> TabChain(QWidget* window, const layout::Window& table) {
  std::set<QString> focusable;
  for (const layout::Control* c : table.TabOrder()) focusable.insert(ui::Utf8(c->name));
  auto* first = window->findChild<QWidget*>(ui::Utf8(table.TabOrder().front()->name));
  std::vector<std::string> chain;
  QWidget* w = first;
  do {
    if (focusable.count(w->objectName())) chain.push_back(w->objectName().toStdString());
    w = w->nextInFocusChain();
  } while (w != first && chain.size() <= focusable.size());
  return chain;
}

std::vector<std::string> TableOrder(const layout::Window& table) {
  std::vector<std::string> names;
  for (const layout::Control* c : table.TabOrder()) names.emplace_back(c->name);
  return names;
}

TEST_F(LayoutView, EveryWindowPlacesItsControlsAndTabOrderAsTheTable) {
  ASSERT_TRUE(Open());
  ExpectPlacedAsTheTable(window.get(), layout::Main());
  EXPECT_EQ(TabChain(window.get(), layout::Main()), TableOrder(layout::Main()));
  // Tab itself, from the first control: the checked option of the pair,
  // then on without the other one, as the table's order goes ("コピー" is
  // disabled while no result is on show).
  window->Option1[1]->setChecked(true);
  window->Option1[1]->setFocus();
  std::vector<std::string> visited;
  for (int i = 0; i < 4; ++i) {
    visited.push_back(QApplication::focusWidget()->objectName().toStdString());
    Key(Qt::Key_Tab);
  }
  EXPECT_EQ(visited, (std::vector<std::string>{"Option1(1)", "Text3", "Text2", "List2"}));

  app.Settings.Profile = "";
  ui::Kovant2 settingsWindow(app);
  ExpectPlacedAsTheTable(&settingsWindow, layout::Settings());
  EXPECT_EQ(TabChain(&settingsWindow, layout::Settings()), TableOrder(layout::Settings()));

  app.ProfileDialogMode = 1;
  ui::Kovant3 profileWindow(app);
  ExpectPlacedAsTheTable(&profileWindow, layout::Profile());
  EXPECT_EQ(TabChain(&profileWindow, layout::Profile()), TableOrder(layout::Profile()));
}

// A notice too long for the message line grows the window; one that stood
// at the bottom of the work area moves up so that it stays whole on the
// screen, commands and all.
TEST_F(LayoutView, AWindowGrownByALongNoticeStaysOnTheScreen) {
  ASSERT_TRUE(Open());
  const QRect work = window->screen()->availableGeometry();
  window->move(work.left(), work.bottom() - window->frameGeometry().height());
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->frameGeometry().bottom() >= work.bottom() - 1; }, 2000));
  const int normalHeight = window->height();
  std::string notice;
  for (int i = 0; i < 6; ++i) notice += "「東京都架空市本町１－２」は辞書にない市区町村名です。";
  window->SetText(window::Field::Label1_0, notice);
  EXPECT_GT(window->height(), normalHeight);
  EXPECT_LE(window->frameGeometry().bottom(), work.bottom());
  EXPECT_GE(window->frameGeometry().top(), work.top());
  EXPECT_LE(window->Command3->mapTo(window.get(), window->Command3->rect().bottomLeft()).y(), window->height());
}

}  // namespace
}  // namespace kovant::test
