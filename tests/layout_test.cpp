// The layout table the two views build from, judged against the main
// window's table as the program's documentation gives it (typed here by
// hand) and against the rules every window keeps: a Tab sequence without
// gaps, every control inside its window, no control over another but the
// two groups of the main window that take turns.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "window/layout.h"

namespace kovant::test {
namespace {

namespace layout = window::layout;
using layout::Kind;

struct Documented {
  const char* name;
  Kind kind;
  const char* caption;
  layout::Rect place;
  int tab;
};

// KOVANT1's controls: name, kind, caption, left, top, width, height, tab.
const Documented kMainDocumented[] = {
    {"Label4(1)", Kind::Label, "旧〒", {60, 60, 975, 300}, 22},
    {"Label3(0)", Kind::Label, "", {1080, 60, 1275, 300}, 16},
    {"Label4(2)", Kind::Label, "新〒", {2460, 60, 975, 300}, 23},
    {"Label3(1)", Kind::Label, "", {3480, 60, 1275, 300}, 15},
    {"Option1(0)", Kind::OptionButton, "旧〒", {4860, 60, 795, 255}, 0},
    {"Option1(1)", Kind::OptionButton, "新〒", {5700, 60, 795, 255}, 1},
    {"Command4", Kind::Button, "コピー", {6660, 60, 975, 615}, 2},
    {"Label4(0)", Kind::Label, "住所", {60, 360, 975, 300}, 21},
    {"Text3", Kind::TextBox, "", {1080, 360, 3675, 300}, 3},
    {"Text2", Kind::TextBox, "", {4740, 360, 1815, 300}, 4},
    {"Label2(0)", Kind::Label, "住所１", {60, 720, 1335, 255}, 18},
    {"Label2(1)", Kind::Label, "住所２", {1440, 720, 2175, 255}, 19},
    {"Label2(2)", Kind::Label, "住所３", {3660, 720, 3975, 255}, 20},
    {"List2", Kind::ListBox, "", {60, 960, 1335, 2205}, 5},
    {"List3", Kind::ListBox, "", {1440, 960, 2175, 2205}, 6},
    {"List4", Kind::ListBox, "", {3660, 960, 3975, 2205}, 7},
    {"List1", Kind::ListBox, "", {60, 960, 7575, 2205}, 8},
    {"Label1(0)", Kind::Label, "", {60, 3240, 3555, 300}, 14},
    {"Label1(1)", Kind::Label, "設定切替", {3660, 3240, 1155, 300}, 17},
    {"Combo1", Kind::ComboBox, "", {4800, 3240, 2835, 300}, 26},
    {"Label4(3)", Kind::Label, "モード切替", {60, 3600, 1095, 315}, 24},
    {"Command2", Kind::Button, "", {1200, 3600, 1455, 315}, 9},
    {"Label4(4)", Kind::Label, "検索〒", {2820, 3600, 975, 315}, 25},
    {"Text1", Kind::TextBox, "", {3840, 3600, 1095, 315}, 10},
    {"Command1", Kind::Button, "検索", {4980, 3600, 855, 315}, 11},
    {"Label4(5)", Kind::Label, "住所頭出し", {2820, 3600, 1215, 315}, 28},
    {"Text4", Kind::TextBox, "", {4080, 3600, 1575, 315}, 27},
    {"Command5", Kind::Button, "設定", {6000, 3600, 735, 315}, 12},
    {"Command3", Kind::Button, "終了", {6900, 3600, 735, 315}, 13},
};

// KOVANT3's, in the save mode.
const Documented kProfileDocumented[] = {
    {"List1", Kind::ListBox, "", {60, 60, 4095, 1815}, 0},
    {"Label1", Kind::Label, "保存名", {60, 1920, 915, 285}, layout::kNoTab},
    {"Text1", Kind::TextBox, "", {1020, 1920, 3135, 285}, 1},
    {"Command2", Kind::Button, "削除", {60, 2340, 915, 315}, 4},
    {"Command1(1)", Kind::Button, "取消し", {2160, 2340, 915, 315}, 3},
    {"Command1(0)", Kind::Button, "ＯＫ", {3240, 2340, 915, 315}, 2},
};

void ExpectDocumented(const layout::Window& w, const Documented* begin, const Documented* end) {
  for (const Documented* d = begin; d != end; ++d) {
    const layout::Control* c = w.Find(d->name);
    ASSERT_NE(c, nullptr) << d->name;
    EXPECT_EQ(c->kind, d->kind) << d->name;
    EXPECT_EQ(c->caption, d->caption) << d->name;
    EXPECT_EQ(c->place, d->place) << d->name;
    EXPECT_EQ(c->tab, d->tab) << d->name;
  }
}

TEST(LayoutTable, MainAndSaveWindowsAreAsDocumented) {
  const layout::Window& main = layout::Main();
  EXPECT_EQ(main.title, "ぴこらん Ver. 1.31");
  EXPECT_EQ(std::make_pair(main.width, main.height), std::make_pair(7725, 3975));
  ExpectDocumented(main, std::begin(kMainDocumented), std::end(kMainDocumented));
  // Besides them only the link's exchange fields, outside the client area.
  for (const layout::Control& c : main.controls) {
    const bool documented = std::any_of(std::begin(kMainDocumented), std::end(kMainDocumented),
                                        [&c](const Documented& d) { return c.name == d.name; });
    if (documented) continue;
    EXPECT_EQ(c.kind, Kind::Link) << c.name;
    EXPECT_EQ(c.place.left, 7800) << c.name;
    EXPECT_EQ(std::make_pair(c.place.width, c.place.height), std::make_pair(915, 315)) << c.name;
  }
  // Colours and fonts it gives of a few.
  EXPECT_EQ(main["Label4(1)"].background, 0xFFFFC0);
  EXPECT_EQ(main["Label4(3)"].background, 0x008000);
  EXPECT_EQ(main["Label3(0)"].font, (layout::Font{false, 1125, true}));
  EXPECT_EQ(main["Combo1"].font.centiPoints, 900);
  EXPECT_TRUE(main["List1"].font.proportional);
  EXPECT_EQ(main["Label2(0)"].other.width, 7575);  // as wide as List1 in the search

  const layout::Window& profile = layout::Profile();
  EXPECT_EQ(std::make_pair(profile.width, profile.height), std::make_pair(4230, 2700));
  ExpectDocumented(profile, std::begin(kProfileDocumented), std::end(kProfileDocumented));
  EXPECT_EQ(profile["List1"].other.height, 2205);
  EXPECT_EQ(std::make_pair(profile.title, profile.otherTitle),
            std::make_pair(std::string_view("設定の保存"), std::string_view("設定の削除")));
  EXPECT_EQ(profile["Command1(0)"].otherCaption, "閉じる");

  const layout::Window& settings = layout::Settings();
  EXPECT_EQ(settings["Frame1(4)"].caption, "郵便番号後項の後");
  EXPECT_EQ(settings["Frame1(4)"].place.top, 1080);
  EXPECT_EQ(settings.InWindow(settings["Text1(1)"]), (layout::Rect{180 + 4320, 1080 + 240, 675, 285}));
  EXPECT_EQ(settings.InWindow(settings["Sep2(4)"]).left, 180 + 3540);
}

TEST(LayoutTable, EveryWindowHasAGaplessTabSequenceAndItsControlsInside) {
  for (const layout::Window* w : {&layout::Main(), &layout::Settings(), &layout::Profile(), &layout::Update()}) {
    SCOPED_TRACE(std::string(w->name));
    std::vector<int> tabs;
    std::set<std::string_view> names;
    for (const layout::Control& c : w->controls) {
      EXPECT_TRUE(names.insert(c.name).second) << "twice: " << c.name;
      if (c.tab != layout::kNoTab) tabs.push_back(c.tab);
      if (!c.Shown()) continue;
      const layout::Rect r = w->InWindow(c);
      EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.Right() <= w->width && r.Bottom() <= w->height) << c.name;
      if (!c.parent.empty()) {
        const layout::Rect frame = (*w)[c.parent].place;
        EXPECT_TRUE(c.place.Right() <= frame.width && c.place.Bottom() <= frame.height) << c.name;
      }
    }
    std::sort(tabs.begin(), tabs.end());
    for (size_t i = 0; i < tabs.size(); ++i) ASSERT_EQ(tabs[i], static_cast<int>(i)) << "gap or twice";
    EXPECT_FALSE(w->TabOrder().empty());
  }
  // The settings window's Tab order as documented: the option pairs, the
  // copy order, each separator frame top to bottom, then the commands.
  std::vector<std::string> order;
  for (const layout::Control* c : layout::Settings().TabOrder()) order.emplace_back(c->name);
  ASSERT_EQ(order.size(), 57u);
  EXPECT_EQ(std::vector<std::string>(order.begin(), order.begin() + 3),
            (std::vector<std::string>{"Opt1(0)", "Opt1(1)", "Opt2(0)"}));
  EXPECT_EQ(order[8], "Text2(0)");
  EXPECT_EQ(std::vector<std::string>(order.begin() + 13, order.begin() + 20),
            (std::vector<std::string>{"Sep1(0)", "Sep1(1)", "Sep1(2)", "Sep1(3)", "Sep1(4)", "Text1(0)", "Sep2(0)"}));
  EXPECT_EQ(
      std::vector<std::string>(order.begin() + 49, order.begin() + 56),
      (std::vector<std::string>{"Command1(1)", "Command1(0)", "Check1", "Check2", "Text3", "Command1(2)", "Check3"}));
}

// More than a pixel's sliver at 96 dpi: the window's neighbours share an
// edge of 15 twips in places (the address and its supplement, the headings
// and their lists), which draws as one line.
bool Overlap(const layout::Rect& a, const layout::Rect& b) {
  constexpr int kEdge = 15;
  return a.left + kEdge < b.Right() && b.left + kEdge < a.Right() && a.top + kEdge < b.Bottom() &&
         b.top + kEdge < a.Bottom();
}

bool Inside(const layout::Rect& inner, const layout::Rect& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.Right() <= outer.Right() &&
         inner.Bottom() <= outer.Bottom();
}

TEST(LayoutTable, OnlyTheModeGroupsShareTheirPlace) {
  const std::set<std::string_view> search = {"List1", "Label4(4)", "Text1", "Command1"};
  const std::set<std::string_view> walk = {"List2", "List3", "List4", "Label4(5)", "Text4"};
  for (const layout::Window* w : {&layout::Main(), &layout::Settings(), &layout::Profile(), &layout::Update()}) {
    SCOPED_TRACE(std::string(w->name));
    std::set<std::pair<std::string_view, std::string_view>> shared;
    for (const layout::Control& a : w->controls) {
      for (const layout::Control& b : w->controls) {
        if (&a == &b || !a.Shown() || !b.Shown()) continue;
        // A frame holds its controls; a heading band lies behind its own.
        if (a.name == b.parent || b.name == a.parent) continue;
        if (a.behind && Inside(w->InWindow(b), a.place)) continue;
        if (b.behind && Inside(w->InWindow(a), b.place)) continue;
        if (a.parent != b.parent || !Overlap(a.place, b.place)) continue;
        const bool turns = (search.count(a.name) && walk.count(b.name)) || (walk.count(a.name) && search.count(b.name));
        if (w == &layout::Main() && turns) {
          shared.insert(std::minmax(a.name, b.name));
          continue;
        }
        ADD_FAILURE() << a.name << " over " << b.name;
      }
    }
    if (w != &layout::Main()) continue;
    const std::set<std::pair<std::string_view, std::string_view>> expected = {
        {"List1", "List2"},     {"List1", "List3"}, {"List1", "List4"},   {"Label4(4)", "Label4(5)"},
        {"Label4(5)", "Text1"}, {"Text1", "Text4"}, {"Command1", "Text4"}};
    EXPECT_EQ(shared, expected);
  }
}

}  // namespace
}  // namespace kovant::test
