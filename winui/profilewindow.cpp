#include "winui/profilewindow.h"

#include <commctrl.h>

#include "platform/windows.h"

namespace kovant::winui {

ProfileWindow::ProfileWindow(window::AppState& app, HWND owner)
    : ModalWindow(owner, window::layout::Profile()), model_(app, *this) {}

void ProfileWindow::Build() {
  MakeControls(
      [](std::string_view name) {
        if (name == "List1") return MadeAs{kList1};
        if (name == "Label1") return MadeAs{kLabel1};
        if (name == "Text1") return MadeAs{kText1};
        if (name == "Command1(0)") return MadeAs{kCommand1_0, BS_DEFPUSHBUTTON};
        if (name == "Command1(1)") return MadeAs{kCommand1_1};
        if (name == "Command2") return MadeAs{kCommand2};
        return MadeAs{};
      },
      kCommand1_1 + 1);
}

void ProfileWindow::Load() {
  model_.Form_Load();
  if (model_.SaveMode()) {
    SetFocus(Ctl(kText1));
    SendMessageW(Ctl(kText1), EM_SETSEL, 0, -1);
  }
}

void ProfileWindow::ShowMode(bool save) {
  const window::layout::Window& table = window::layout::Profile();
  SetTitle(std::string(save ? table.title : table.otherTitle));
  const window::layout::Control& ok = table["Command1(0)"];
  SetTextOf(kCommand1_0, std::string(save ? ok.caption : ok.otherCaption));
  for (int id : {kText1, kLabel1, kCommand1_1}) ShowWindow(Ctl(id), save ? SW_SHOW : SW_HIDE);
  ShowWindow(Ctl(kCommand2), save ? SW_HIDE : SW_SHOW);
  const window::layout::Control& list = table["List1"];
  Move(kList1, save ? list.place : list.other);
}

void ProfileWindow::OnCommand(int id, int code) {
  if (id == kList1 && code == LBN_SELCHANGE) model_.List1_Click();
  if (id == kList1 && code == LBN_DBLCLK) model_.List1_DblClick();
  if (code != BN_CLICKED) return;
  if (id == kCommand1_0) model_.Command1_Click(0);
  if (id == kCommand1_1) model_.Command1_Click(1);
  if (id == kCommand2) model_.Command2_Click();
}

void ProfileWindow::ClearNames() { SendMessageW(Ctl(kList1), LB_RESETCONTENT, 0, 0); }

void ProfileWindow::AddName(const std::string& name) {
  SendMessageW(Ctl(kList1), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(platform::Wide(name).c_str()));
}

int ProfileWindow::NameIndex() const {
  const auto index = static_cast<int>(SendMessageW(Ctl(kList1), LB_GETCURSEL, 0, 0));
  return index < 0 ? -1 : index;
}

void ProfileWindow::SetNameIndex(int index) {
  if (NameIndex() == index) return;
  SendMessageW(Ctl(kList1), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  model_.List1_Click();  // as a selection made by hand
}

std::string ProfileWindow::NameText(int index) const {
  HWND list = Ctl(kList1);
  const auto length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length < 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const auto n = SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
  text.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return platform::Narrow(text);
}

void ProfileWindow::RemoveName(int index) { SendMessageW(Ctl(kList1), LB_DELETESTRING, static_cast<WPARAM>(index), 0); }

}  // namespace kovant::winui
