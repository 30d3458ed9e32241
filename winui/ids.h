// The main window's class, caption prefix and control identifiers: what
// the window is made of and what programs that drive it (the tests) find.
#pragma once

#include <string_view>

namespace kovant::winui {

inline constexpr const wchar_t* kMainClass = L"KOVANT1";
inline constexpr const wchar_t* kAppTitle = L"ぴこらん";

// Control identifiers: a control's WM_COMMAND names it by these.
enum ControlId : int {
  kOption0 = 100,
  kOption1,
  kCommand1,
  kCommand2,
  kCommand3,
  kCommand4,
  kCommand5,
  kText1,
  kText2,
  kText3,
  kText4,
  kList1,
  kList2,
  kList3,
  kList4,
  kCombo1,
  kLabel1_0,
  kLabel1_1,
  kLabel2_0,
  kLabel2_1,
  kLabel2_2,
  kLabel3_0,
  kLabel3_1,
  kLabel4_0,
  kLabel4_1,
  kLabel4_2,
  kLabel4_3,
  kLabel4_4,
  kLabel4_5,
};

// The identifier of a control of the main window's layout table by its
// name ("Label4(1)"); 0 for a name with no window of its own.
inline int MainControlId(std::string_view name) {
  struct Named {
    std::string_view name;
    int id;
  };
  static constexpr Named kNamed[] = {
      {"Option1(0)", kOption0}, {"Option1(1)", kOption1}, {"Command1", kCommand1},  {"Command2", kCommand2},
      {"Command3", kCommand3},  {"Command4", kCommand4},  {"Command5", kCommand5},  {"Text1", kText1},
      {"Text2", kText2},        {"Text3", kText3},        {"Text4", kText4},        {"List1", kList1},
      {"List2", kList2},        {"List3", kList3},        {"List4", kList4},        {"Combo1", kCombo1},
      {"Label1(0)", kLabel1_0}, {"Label1(1)", kLabel1_1}, {"Label2(0)", kLabel2_0}, {"Label2(1)", kLabel2_1},
      {"Label2(2)", kLabel2_2}, {"Label3(0)", kLabel3_0}, {"Label3(1)", kLabel3_1}, {"Label4(0)", kLabel4_0},
      {"Label4(1)", kLabel4_1}, {"Label4(2)", kLabel4_2}, {"Label4(3)", kLabel4_3}, {"Label4(4)", kLabel4_4},
      {"Label4(5)", kLabel4_5},
  };
  for (const Named& n : kNamed) {
    if (n.name == name) return n.id;
  }
  return 0;
}

}  // namespace kovant::winui
