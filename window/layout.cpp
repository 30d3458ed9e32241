#include "window/layout.h"

#include <algorithm>
#include <array>
#include <deque>

// The rows name only what differs from a control's defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace kovant::window::layout {
namespace {

constexpr int32_t kRed = 0xFF0000, kGreen = 0x008000, kWhite = 0xFFFFFF, kBlack = 0x000000;
constexpr int32_t kBlue = 0x0000FF, kDarkBlue = 0x0000C0, kNavy = 0x000080, kPurple = 0x800080;
constexpr int32_t kCaptionYellow = 0xFFFFC0, kHeadingGreen = 0xC0FFC0, kMessageGrey = 0xE0E0E0;
constexpr int32_t kSearchCyan = 0xC0FFFF;

constexpr Font kGothic{false, 975, false}, kBoldGothic{false, 975, true}, kPGothic{true, 975, false};
constexpr Font kCodeFont{false, 1125, true}, kSmall{false, 900, false}, kSmallBold{false, 900, true};
constexpr Font kSmallP{true, 900, false};

// KOVANT1. The walk lists and the search list share their place, and so
// do the search's code box and the head search: one group shows at a time.
constexpr Control kMain[] = {
    {.name = "Label4(1)",
     .caption = "旧〒",
     .place = {60, 60, 975, 300},
     .tab = 22,
     .background = kCaptionYellow,
     .text = kRed,
     .align = Align::Centre},
    {.name = "Label3(0)",
     .place = {1080, 60, 1275, 300},
     .tab = 16,
     .font = kCodeFont,
     .background = kWhite,
     .text = kGreen,
     .align = Align::Centre,
     .spokenName = "旧〒",
     .spokenDescription = "選んだ住所の旧郵便番号"},
    {.name = "Label4(2)",
     .caption = "新〒",
     .place = {2460, 60, 975, 300},
     .tab = 23,
     .background = kCaptionYellow,
     .text = kRed,
     .align = Align::Centre},
    {.name = "Label3(1)",
     .place = {3480, 60, 1275, 300},
     .tab = 15,
     .font = kCodeFont,
     .background = kWhite,
     .text = kGreen,
     .align = Align::Centre,
     .spokenName = "新〒",
     .spokenDescription = "選んだ住所の郵便番号"},
    {.name = "Option1(0)", .kind = Kind::OptionButton, .caption = "旧〒", .place = {4860, 60, 795, 255}, .tab = 0},
    {.name = "Option1(1)", .kind = Kind::OptionButton, .caption = "新〒", .place = {5700, 60, 795, 255}, .tab = 1},
    {.name = "Command4", .kind = Kind::Button, .caption = "コピー", .place = {6660, 60, 975, 615}, .tab = 2},
    {.name = "Label4(0)",
     .caption = "住所",
     .place = {60, 360, 975, 300},
     .tab = 21,
     .background = kCaptionYellow,
     .text = kRed,
     .align = Align::Centre},
    {.name = "Text3",
     .kind = Kind::TextBox,
     .place = {1080, 360, 3675, 300},
     .tab = 3,
     .font = kBoldGothic,
     .text = kGreen,
     .spokenName = "住所",
     .spokenDescription = "選んだ住所"},
    {.name = "Text2",
     .kind = Kind::TextBox,
     .place = {4740, 360, 1815, 300},
     .tab = 4,
     .font = kBoldGothic,
     .text = kGreen,
     .spokenName = "補足",
     .spokenDescription = "住所のあとに付けてコピーする補足"},
    {.name = "Label2(0)",
     .caption = "住所１",
     .place = {60, 720, 1335, 255},
     .tab = 18,
     .background = kHeadingGreen,
     .text = kDarkBlue,
     .other = {60, 720, 7575, 255}},
    {.name = "Label2(1)",
     .caption = "住所２",
     .place = {1440, 720, 2175, 255},
     .tab = 19,
     .background = kHeadingGreen,
     .text = kDarkBlue},
    {.name = "Label2(2)",
     .caption = "住所３",
     .place = {3660, 720, 3975, 255},
     .tab = 20,
     .background = kHeadingGreen,
     .text = kDarkBlue},
    {.name = "List2",
     .kind = Kind::ListBox,
     .place = {60, 960, 1335, 2205},
     .tab = 5,
     .font = kPGothic,
     .spokenName = "都道府県",
     .spokenDescription = "都道府県を選ぶと市区町村が並びます"},
    {.name = "List3",
     .kind = Kind::ListBox,
     .place = {1440, 960, 2175, 2205},
     .tab = 6,
     .font = kPGothic,
     .spokenName = "市区町村",
     .spokenDescription = "市区町村を選ぶと町域が並びます"},
    {.name = "List4",
     .kind = Kind::ListBox,
     .place = {3660, 960, 3975, 2205},
     .tab = 7,
     .font = kPGothic,
     .spokenName = "町域",
     .spokenDescription = "町域を選ぶと郵便番号が出ます"},
    {.name = "List1",
     .kind = Kind::ListBox,
     .place = {60, 960, 7575, 2205},
     .tab = 8,
     .font = kPGothic,
     .spokenName = "該当住所",
     .spokenDescription = "検索した郵便番号の住所"},
    // Named by what it says.
    {.name = "Label1(0)",
     .place = {60, 3240, 3555, 300},
     .tab = 14,
     .font = kPGothic,
     .background = kMessageGrey,
     .text = kRed,
     .spokenDescription = "メッセージ"},
    {.name = "Label1(1)",
     .caption = "設定切替",
     .place = {3660, 3240, 1155, 300},
     .tab = 17,
     .font = kBoldGothic,
     .background = kCaptionYellow,
     .text = kBlue,
     .align = Align::Centre},
    {.name = "Combo1",
     .kind = Kind::ComboBox,
     .place = {4800, 3240, 2835, 300},
     .tab = 26,
     .font = kSmall,
     .spokenName = "設定切替",
     .spokenDescription = "保存した設定を切り替えます"},
    {.name = "Label4(3)",
     .caption = "モード切替",
     .place = {60, 3600, 1095, 315},
     .tab = 24,
     .font = kSmallBold,
     .background = kGreen,
     .text = kWhite,
     .align = Align::Centre},
    {.name = "Command2", .kind = Kind::Button, .place = {1200, 3600, 1455, 315}, .tab = 9, .font = kSmallP},
    {.name = "Label4(4)",
     .caption = "検索〒",
     .place = {2820, 3600, 975, 315},
     .tab = 25,
     .font = kBoldGothic,
     .background = kSearchCyan,
     .text = kDarkBlue,
     .align = Align::Centre},
    {.name = "Text1",
     .kind = Kind::TextBox,
     .place = {3840, 3600, 1095, 315},
     .tab = 10,
     .spokenName = "検索〒",
     .spokenDescription = "郵便番号を入力して Enter で検索します"},
    {.name = "Command1", .kind = Kind::Button, .caption = "検索", .place = {4980, 3600, 855, 315}, .tab = 11},
    {.name = "Label4(5)",
     .caption = "住所頭出し",
     .place = {2820, 3600, 1215, 315},
     .tab = 28,
     .font = kBoldGothic,
     .background = kSearchCyan,
     .text = kDarkBlue,
     .align = Align::Centre},
    {.name = "Text4",
     .kind = Kind::TextBox,
     .place = {4080, 3600, 1575, 315},
     .tab = 27,
     .text = kNavy,
     .spokenName = "住所頭出し",
     .spokenDescription = "入力した文字で始まる項目を選びます"},
    {.name = "Command5", .kind = Kind::Button, .caption = "設定", .place = {6000, 3600, 735, 315}, .tab = 12},
    {.name = "Command3", .kind = Kind::Button, .caption = "終了", .place = {6900, 3600, 735, 315}, .tab = 13},
    // Exchange fields of the link: beside the client area, never seen.
    {.name = "Cmd", .kind = Kind::Link, .place = {7800, 0, 915, 315}, .tab = 29},
    {.name = "DistName", .kind = Kind::Link, .place = {7800, 360, 915, 315}, .tab = 30},
    {.name = "Addr(0)", .kind = Kind::Link, .place = {7800, 720, 915, 315}, .tab = 31},
    {.name = "Addr(1)", .kind = Kind::Link, .place = {7800, 1080, 915, 315}, .tab = 32},
    {.name = "Addr(2)", .kind = Kind::Link, .place = {7800, 1440, 915, 315}, .tab = 33},
    {.name = "Addr(3)", .kind = Kind::Link, .place = {7800, 1800, 915, 315}, .tab = 34},
    {.name = "Addr(4)", .kind = Kind::Link, .place = {7800, 2160, 915, 315}, .tab = 35},
    {.name = "Addr(5)", .kind = Kind::Link, .place = {7800, 2520, 915, 315}, .tab = 36},
};

// KOVANT3. The list is taller in the delete mode, where the name row is hidden.
constexpr Control kProfile[] = {
    {.name = "List1",
     .kind = Kind::ListBox,
     .place = {60, 60, 4095, 1815},
     .tab = 0,
     .spokenName = "保存した設定",
     .other = {60, 60, 4095, 2205}},
    {.name = "Label1",
     .caption = "保存名",
     .place = {60, 1920, 915, 285},
     .background = kCaptionYellow,
     .text = kRed,
     .align = Align::Centre},
    {.name = "Text1", .kind = Kind::TextBox, .place = {1020, 1920, 3135, 285}, .tab = 1, .spokenName = "保存名"},
    {.name = "Command1(0)",
     .kind = Kind::Button,
     .caption = "ＯＫ",
     .place = {3240, 2340, 915, 315},
     .tab = 2,
     .otherCaption = "閉じる"},
    {.name = "Command1(1)", .kind = Kind::Button, .caption = "取消し", .place = {2160, 2340, 915, 315}, .tab = 3},
    {.name = "Command2", .kind = Kind::Button, .caption = "削除", .place = {60, 2340, 915, 315}, .tab = 4},
};

// The dictionary update: where the data stands, the progress, the step
// under way and what changed, and its one command.
constexpr Control kUpdate[] = {
    {.name = "Before", .place = {180, 120, 5520, 285}},
    {.name = "Progress", .kind = Kind::Progress, .place = {180, 480, 5520, 255}, .spokenName = "更新の進み具合"},
    {.name = "StepLine", .place = {180, 840, 5520, 525}, .align = Align::TopLeft},
    // Selectable, so that the counts and an error can be copied.
    {.name = "Changes", .kind = Kind::TextBox, .place = {180, 1440, 5520, 765}, .tab = 0, .align = Align::TopLeft},
    {.name = "Command", .kind = Kind::Button, .place = {4440, 2340, 1260, 315}, .tab = 1},
};

// KOVANT2 holds arrays of like controls; they are made in a loop, their
// names kept here for the table's life.
class SettingsTable {
 public:
  SettingsTable() {
    Add({.name = "Label1",
         .caption = "コピー時の区切り文字の設定",
         .place = {60, 60, 5415, 4395},
         .text = kBlue,
         .align = Align::TopLeft,
         .behind = true});
    Separators();
    Pairs();
    PasteControls();
    CopyOrder();
    Commands();
  }
  std::vector<Control> controls;

 private:
  std::string_view Keep(std::string s) { return names_.emplace_back(std::move(s)); }
  void Add(Control c) { controls.push_back(c); }

  // Six frames, each with the five options of one separator and its text.
  void Separators() {
    static constexpr std::array<const char*, 6> kCaptions = {"郵便番号前項の後", "住所１の後",       "住所２の後",
                                                             "住所３の後",       "郵便番号後項の後", "補足住所の後"};
    static constexpr std::array<int, 6> kTops = {420, 1740, 2400, 3060, 1080, 3720};
    // Frame1(0), (4), (1), (2), (3), (5) hold Sep1..Sep6, top to bottom.
    static constexpr std::array<int, 6> kFrameOfSep = {0, 4, 1, 2, 3, 5};
    static constexpr std::array<const char*, 5> kOptions = {"なし", "Enter", "Tab", "ブランク", "文字"};
    static constexpr std::array<int, 5> kLefts = {120, 900, 1740, 2460, 3540};
    static constexpr std::array<int, 5> kWidths = {780, 840, 720, 1080, 780};
    for (size_t f = 0; f < 6; ++f) {
      Add({.name = Keep(Indexed("Frame1", static_cast<int>(f))),
           .kind = Kind::Frame,
           .caption = kCaptions[f],
           .place = {180, kTops[f], 5115, 615},
           .text = kGreen});
    }
    for (size_t s = 0; s < 6; ++s) {
      const std::string_view frame = controls[1 + static_cast<size_t>(kFrameOfSep[s])].name;
      const std::string sep = "Sep" + std::to_string(s + 1);
      for (size_t o = 0; o < 5; ++o) {
        Add({.name = Keep(Indexed(sep, static_cast<int>(o))),
             .kind = Kind::OptionButton,
             .caption = kOptions[o],
             .place = {kLefts[o], 240, kWidths[o], 285},
             .tab = 13 + static_cast<int>(s * 6 + o),
             .parent = frame});
      }
      Add({.name = Keep(Indexed("Text1", static_cast<int>(s))),
           .kind = Kind::TextBox,
           .place = {4320, 240, 675, 285},
           .tab = 13 + static_cast<int>(s * 6 + 5),
           .parent = frame,
           .spokenName = Keep(std::string(kCaptions[static_cast<size_t>(kFrameOfSep[s])]) + "の文字")});
    }
  }

  // Four frames of two options: the first for code 0, the second for 1.
  void Pairs() {
    struct Pair {
      const char *frame, *caption, *options, *first, *second;
      int left, top, tab;
    };
    static constexpr Pair kPairs[] = {{"Frame2(1)", "初期画面", "Opt1", "住所→", "郵便番号→", 5580, 60, 0},
                                      {"Frame2(0)", "初期コピー〒", "Opt2", "旧〒", "新〒", 7320, 60, 2},
                                      {"Frame2(2)", "〒マーク", "Opt3", "あり", "なし", 5580, 960, 4},
                                      {"Frame2(3)", "〒文字種", "Opt4", "半角", "全角", 7320, 960, 6}};
    for (const Pair& p : kPairs) {
      Add({.name = p.frame,
           .kind = Kind::Frame,
           .caption = p.caption,
           .place = {p.left, p.top, 1695, 795},
           .text = kPurple});
      Add({.name = Keep(Indexed(p.options, 0)),
           .kind = Kind::OptionButton,
           .caption = p.first,
           .place = {120, 240, 1500, 255},
           .tab = p.tab,
           .parent = p.frame});
      Add({.name = Keep(Indexed(p.options, 1)),
           .kind = Kind::OptionButton,
           .caption = p.second,
           .place = {120, 510, 1500, 255},
           .tab = p.tab + 1,
           .parent = p.frame});
    }
  }

  void PasteControls() {
    Add({.name = "Check3",
         .kind = Kind::CheckBox,
         .caption = "補足入力を毎回クリアしない",
         .place = {5640, 1800, 3375, 495},
         .tab = 55,
         .text = kBlue});
    Add({.name = "Check2",
         .kind = Kind::CheckBox,
         .caption = "コピーボタンを押した後、ぴこらんを最小化する",
         .place = {5640, 2340, 3375, 495},
         .tab = 52,
         .text = kBlue});
    Add({.name = "Check1",
         .kind = Kind::CheckBox,
         .caption = "コピー時に、指定アプリケーションへの貼り付けを行う",
         .place = {5640, 2880, 3375, 495},
         .tab = 51,
         .text = kBlue});
    // Up to the box it names: drawn 75 twips under it, its right end was hidden.
    Add({.name = "Label5",
         .caption = "キャプション",
         .place = {5640, 3360, 1140, 285},
         .font = kSmall,
         .background = kCaptionYellow,
         .text = kBlack,
         .align = Align::Centre});
    Add({.name = "Text3",
         .kind = Kind::TextBox,
         .place = {6780, 3360, 2235, 285},
         .tab = 53,
         .spokenName = "キャプション",
         .spokenDescription = "貼り付け先のウィンドウのタイトルの一部"});
    Add({.name = "Label6",
         .caption = "アプリケーションを識別できるキャプション（タイトルバーの文字）の一部、または全部を指定してくだ"
                    "さい。",
         .place = {5640, 3720, 3375, 675},
         .text = kRed,
         .align = Align::TopLeft});
  }

  // One row: each item's caption and the box of its place in the copy.
  void CopyOrder() {
    Add({.name = "Label2",
         .caption = "コピー順の設定（順番を１～４の数字で指定して下さい。）",
         .place = {60, 4560, 7035, 915},
         .text = kBlue,
         .align = Align::TopLeft,
         .behind = true});
    static constexpr std::array<const char*, 5> kCaptions = {"郵便番号", "住所１", "住所２", "住所３", "補足住所"};
    static constexpr std::array<int, 5> kLabelLefts = {180, 1560, 2880, 4200, 5520};
    static constexpr std::array<int, 5> kBoxLefts = {1080, 2400, 3720, 5040, 6480};
    for (size_t i = 0; i < 5; ++i) {
      Add({.name = Keep(Indexed("Label3", static_cast<int>(i))),
           .caption = kCaptions[i],
           .place = {kLabelLefts[i], 4860, kBoxLefts[i] - kLabelLefts[i] - 30, 285},
           .text = kBlack});
      Add({.name = Keep(Indexed("Text2", static_cast<int>(i))),
           .kind = Kind::TextBox,
           .place = {kBoxLefts[i], 4860, 315, 285},
           .tab = 8 + static_cast<int>(i),
           .align = Align::Centre,
           .spokenName = Keep(std::string("コピー順 ") + kCaptions[i])});
    }
    Add({.name = "Label4",
         .caption = "コピーしたくない項目は０（ゼロ）を指定してください。",
         .place = {300, 5220, 5175, 195},
         .font = kSmall,
         .text = kRed,
         .align = Align::TopLeft});
  }

  // The three commands; below them the dictionary's row: its data date
  // and the update.
  void Commands() {
    Add({.name = "Command1(2)",
         .kind = Kind::Button,
         .caption = "設定削除",
         .place = {7260, 4440, 1755, 315},
         .tab = 54});
    Add({.name = "Command1(1)",
         .kind = Kind::Button,
         .caption = "取り消し",
         .place = {7260, 4800, 1755, 315},
         .tab = 49});
    Add({.name = "Command1(0)",
         .kind = Kind::Button,
         .caption = "設定保存",
         .place = {7260, 5160, 1755, 315},
         .tab = 50});
    Add({.name = "Label7", .place = {180, 5610, 6900, 285}, .text = kBlue});
    Add({.name = "Command2",
         .kind = Kind::Button,
         .caption = "辞書を更新",
         .place = {7260, 5580, 1755, 315},
         .tab = 56,
         .spokenDescription = "日本郵便の最新のデータをダウンロードして辞書を作り直します"});
  }

  std::deque<std::string> names_;
};

}  // namespace

bool Control::TakesFocus() const {
  switch (kind) {
    case Kind::TextBox:
    case Kind::OptionButton:
    case Kind::CheckBox:
    case Kind::Button:
    case Kind::ListBox:
    case Kind::ComboBox: return tab != kNoTab;
    default: return false;
  }
}

std::string_view Control::Array() const {
  const size_t open = name.find('(');
  return open == std::string_view::npos ? name : name.substr(0, open);
}

const Control* Window::Find(std::string_view controlName) const {
  for (const Control& c : controls) {
    if (c.name == controlName) return &c;
  }
  return nullptr;
}

const Control& Window::operator[](std::string_view controlName) const {
  // A name the table lacks is a slip in a view: its control, made of this
  // nameless one, is missed by the tests that find every control by name.
  static const Control kMissing{};
  const Control* c = Find(controlName);
  return c ? *c : kMissing;
}

std::vector<const Control*> Window::TabOrder() const {
  std::vector<const Control*> order;
  for (const Control& c : controls) {
    if (c.TakesFocus()) order.push_back(&c);
  }
  std::stable_sort(order.begin(), order.end(), [](const Control* a, const Control* b) { return a->tab < b->tab; });
  return order;
}

Rect Window::InWindow(const Control& control) const {
  Rect r = control.place;
  if (!control.parent.empty()) {
    const Rect frame = (*this)[control.parent].place;
    r.left += frame.left;
    r.top += frame.top;
  }
  return r;
}

std::string Indexed(std::string_view array, int index) {
  return std::string(array) + "(" + std::to_string(index) + ")";
}

const Window& Main() {
  static const Window w{"KOVANT1", "ぴこらん Ver. 1.31", {}, 7725, 3975, kPGothic, kMain};
  return w;
}

const Window& Settings() {
  static const SettingsTable table;
  // A row below the settings for the dictionary.
  static const Window w{"KOVANT2", "ぴこらん環境設定", {}, 9120, 6000, kGothic, table.controls};
  return w;
}

const Window& Profile() {
  // Titled by its mode as it opens.
  static const Window w{"KOVANT3", "設定の保存", "設定の削除", 4230, 2700, kGothic, kProfile};
  return w;
}

const Window& Update() {
  static const Window w{"KOVANTUPDATE", "辞書の更新", {}, 5880, 2820, kGothic, kUpdate};
  return w;
}

}  // namespace kovant::window::layout
