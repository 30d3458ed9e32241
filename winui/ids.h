// The main window's class, caption prefix and control identifiers: what
// the window is made of and what programs that drive it (the tests) find.
#pragma once

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

}  // namespace kovant::winui
