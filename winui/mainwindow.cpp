#include "winui/mainwindow.h"

#include <commctrl.h>
#include <imm.h>
#include <initguid.h>
#include <oleacc.h>

#include <algorithm>
#include <cmath>

#include "platform/win/windesktop.h"
#include "platform/windows.h"
#include "winui/controls.h"
#include "winui/settingswindow.h"

namespace kovant::winui {
namespace {

using platform::Narrow;
using platform::Wide;
using window::Field;
using window::List;

constexpr UINT kMsgListDown = WM_APP + 1;    // wParam: the list's id, after a press chose its entry
constexpr UINT kMsgCandidates = WM_APP + 2;  // the address candidates' menu
constexpr UINT kMsgReselect = WM_APP + 3;    // wParam: the edit whose text is selected again

constexpr COLORREF kNone = CLR_INVALID;

window::Key KeyOf(WPARAM vk) {
  using window::Key;
  switch (vk) {
    case VK_RETURN: return Key::Enter;
    case VK_LEFT: return Key::Left;
    case VK_RIGHT: return Key::Right;
    case VK_UP: return Key::Up;
    case VK_DOWN: return Key::Down;
    case VK_PRIOR: return Key::PageUp;
    case VK_NEXT: return Key::PageDown;
    case VK_F1: return Key::F1;
    case VK_BACK: return Key::Backspace;
    default: return Key::Other;
  }
}

bool Down(int vk) { return (GetKeyState(vk) & 0x8000) != 0; }

window::Modifiers CurrentModifiers() { return {Down(VK_CONTROL), Down(VK_SHIFT), Down(VK_MENU)}; }

std::wstring WindowText(HWND hwnd) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

bool IsButton(HWND hwnd) {
  wchar_t cls[16] = {};
  GetClassNameW(hwnd, cls, 16);
  if (lstrcmpiW(cls, L"Button") != 0) return false;
  const LONG type = GetWindowLongW(hwnd, GWL_STYLE) & BS_TYPEMASK;
  return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
}

// The text on the clipboard as UTF-8, "" when it holds none.
std::string ClipboardText(HWND owner) {
  std::string text;
  if (!OpenClipboard(owner)) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = Narrow(chars);
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

}  // namespace

MainWindow::MainWindow(window::AppState& app) : app_(app), model_(app, *this) {}

MainWindow::~MainWindow() {
  if (hwnd_) DestroyWindow(hwnd_);
  for (auto& [key, font] : fontCache_) DeleteObject(font);
  for (auto& [colour, brush] : brushes_) DeleteObject(brush);
  if (accProps_) accProps_->Release();
}

bool MainWindow::Create(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = kMainClass;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  RegisterClassExW(&wc);
  // Fixed in size, as the window always was: its controls sit at fixed places.
  hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, kMainClass, Wide(std::string(window::layout::Main().title)).c_str(),
                          WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, CW_USEDEFAULT,
                          CW_USEDEFAULT, 100, 100, nullptr, nullptr, instance, static_cast<WindowObject*>(this));
  if (!hwnd_) return false;
  dpi_ = static_cast<int>(GetDpiForWindow(hwnd_));
  if (dpi_ <= 0) dpi_ = 96;
  // Spoken names go through the accessibility layer's property service;
  // without it the controls keep the names the system gives them.
  CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                   reinterpret_cast<void**>(&accProps_));
  BuildControls();
  NameForScreenReaders();
  Layout();
  FitMessageLine();
  return true;
}

void MainWindow::Show() {
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  UpdateWindow(hwnd_);
  SetForegroundWindow(hwnd_);
}

int MainWindow::Px(int twips) const { return winui::Px(twips, dpi_); }

HFONT MainWindow::FontFor(const window::layout::Font& wanted) {
  auto& font = fontCache_[{FontKey(wanted), dpi_}];
  if (!font) font = CreateTableFont(wanted, dpi_);
  return font;
}

namespace {

// The identifiers of the table's controls, and the styles of their own:
// the default button, the address for display only, the message line that
// ends a text too long in "...".
MadeAs IdOf(std::string_view name) {
  const int id = MainControlId(name);
  switch (id) {
    case kCommand4: return {id, BS_DEFPUSHBUTTON};
    case kText3: return {id, ES_READONLY};
    case kLabel1_0: return {id, SS_ENDELLIPSIS};
    default: return {id};
  }
}

}  // namespace

void MainWindow::BuildControls() {
  const window::layout::Window& table = window::layout::Main();
  MakeControls(hwnd_, table, dpi_, IdOf, kLabel4_5 + 1, [this, &table](HWND, int id, const window::layout::Control& c) {
    const window::layout::Rect r = table.InWindow(c);
    places_[id] = {r.left, r.top, r.width, r.height};
    fonts_[id] = c.font;
    colours_[id] = {ColourRefOf(c.background, kNone), ColourRefOf(c.text, 0)};
  });
  // Codes are digits: the input method stays off in the code box.
  ImmAssociateContextEx(Ctl(kText1), nullptr, 0);
  for (int id : {kText1, kList2, kList3, kList4}) SetWindowSubclass(Ctl(id), ControlProc, 1, 0);
}

void MainWindow::NameForScreenReaders() {
  if (!accProps_) return;
  IAccPropServices* props = accProps_;
  for (const window::layout::Control& c : window::layout::Main().controls) {
    const int id = MainControlId(c.name);
    if (id == 0) continue;
    if (!c.spokenName.empty()) {
      props->SetHwndPropStr(Ctl(id), static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, PROPID_ACC_NAME,
                            Wide(std::string(c.spokenName)).c_str());
    }
    if (!c.spokenDescription.empty()) {
      props->SetHwndPropStr(Ctl(id), static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, PROPID_ACC_DESCRIPTION,
                            Wide(std::string(c.spokenDescription)).c_str());
    }
  }
}

void MainWindow::SetSpoken(HWND control, const std::string& name) {
  if (!accProps_) return;
  IAccPropServices* props = accProps_;
  props->SetHwndPropStr(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, PROPID_ACC_NAME, Wide(name).c_str());
}

// Places and fonts at the window's dpi: at the start and whenever the
// window moves to a screen of another scale.
void MainWindow::Layout() {
  const window::layout::Window& table = window::layout::Main();
  RECT outer{0, 0, Px(table.width), Px(table.height) + messageExtra_};
  AdjustWindowRectExForDpi(&outer, static_cast<DWORD>(GetWindowLongW(hwnd_, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongW(hwnd_, GWL_EXSTYLE)), static_cast<UINT>(dpi_));
  SetWindowPos(hwnd_, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  // A message line grown for a long notice pushes the rows below it down.
  const Place& line = places_[kLabel1_0];
  for (const auto& [id, p] : places_) {
    const int below = p.top >= line.top + line.height ? messageExtra_ : 0;
    int height = Px(p.height) + (id == kLabel1_0 ? messageExtra_ : 0);
    // A drop-down list's height is that of its open list.
    if (id == kCombo1) height *= 10;
    SetWindowPos(Ctl(id), nullptr, Px(p.left), Px(p.top) + below, Px(p.width), height, SWP_NOZORDER | SWP_NOACTIVATE);
    if (id != kLabel1_0) SendMessageW(Ctl(id), WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(fonts_[id])), TRUE);
  }
  // The closed box as high as the table has it.
  SendMessageW(Ctl(kCombo1), CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), Px(places_[kCombo1].height) - 6);
}

// The message line shows a notice whole: drawn smaller while that is
// enough (down to about two thirds, where it is still read at a glance),
// else wrapped at its own font, the window growing by the lines it takes
// beyond one.
void MainWindow::FitMessageLine() {
  HWND line = Ctl(kLabel1_0);
  const std::wstring text = WindowText(line);
  const Place& p = places_[kLabel1_0];
  const int room = Px(p.width);
  const window::layout::Font own = fonts_[kLabel1_0];
  HDC dc = GetDC(line);
  HFONT chosen = nullptr;
  for (int percent = 100; percent >= 65 && !chosen; percent -= 5) {
    window::layout::Font smaller = own;
    smaller.centiPoints = own.centiPoints * percent / 100;
    HFONT font = FontFor(smaller);
    const HGDIOBJ before = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, before);
    if (size.cx <= room) chosen = font;
  }
  int extra = 0;
  if (!chosen) {
    chosen = FontFor(own);
    const HGDIOBJ before = SelectObject(dc, chosen);
    RECT needed{0, 0, room, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, before);
    extra = std::max(0, static_cast<int>(needed.bottom) - Px(p.height));
  }
  ReleaseDC(line, dc);
  // One line centred from top to bottom; wrapped lines from the top.
  const auto style = static_cast<DWORD>(GetWindowLongW(line, GWL_STYLE));
  const DWORD oneLine = SS_CENTERIMAGE | SS_ENDELLIPSIS;
  SetWindowLongW(line, GWL_STYLE, static_cast<LONG>(extra > 0 ? style & ~oneLine : style | oneLine));
  SendMessageW(line, WM_SETFONT, reinterpret_cast<WPARAM>(chosen), TRUE);
  if (extra == messageExtra_) return;
  messageExtra_ = extra;
  Layout();
  KeepOnScreen();
  InvalidateRect(hwnd_, nullptr, TRUE);
}

// A window grown past the bottom of its screen's work area (the task bar,
// the screen's edge) moves up, so that the commands stay in reach.
void MainWindow::KeepOnScreen() {
  RECT frame{};
  GetWindowRect(hwnd_, &frame);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (!GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST), &monitor)) return;
  const LONG overshoot = frame.bottom - monitor.rcWork.bottom;
  if (overshoot <= 0) return;
  SetWindowPos(hwnd_, nullptr, frame.left, std::max(monitor.rcWork.top, frame.top - overshoot), 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT MainWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (lParam != 0) OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT: return OnColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) model_.Form_Activate();
      break;
    case WM_SETCURSOR:
      if (busy_ > 0 || refusing_) {
        SetCursor(LoadCursorW(nullptr, busy_ > 0 ? IDC_WAIT : IDC_NO));
        return TRUE;
      }
      break;
    case WM_DPICHANGED: {
      dpi_ = HIWORD(wParam);
      const auto* r = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(hwnd_, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      messageExtra_ = 0;  // in pixels of the scale before
      Layout();
      FitMessageLine();
      return 0;
    }
    case kMsgListDown: {
      const int id = static_cast<int>(wParam);
      if (id == kList2) model_.List2_MouseDown();
      if (id == kList3) model_.List3_MouseDown();
      if (id == kList4) model_.List4_MouseDown();
      return 0;
    }
    case kMsgCandidates: ShowCandidatesMenu(); return 0;
    case kMsgReselect: {
      HWND box = Ctl(static_cast<int>(wParam));
      if (GetFocus() == box) SendMessageW(box, EM_SETSEL, 0, -1);
      return 0;
    }
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void MainWindow::OnCommand(int id, int code) {
  if (code == BN_CLICKED) {
    switch (id) {
      case kCommand1: model_.Command1_Click(); return;
      case kCommand2: model_.Command2_Click(); return;
      case kCommand3: model_.Command3_Click(); return;
      case kCommand4: model_.Command4_Click(); return;
      case kCommand5: model_.Command5_Click(); return;
      default: return;
    }
  }
  if (code == EN_CHANGE) {
    if (id == kText1) model_.Text1_Change();
    if (id == kText3) {
      // A long address shows its start, the prefecture, not its end.
      SendMessageW(Ctl(kText3), EM_SETSEL, 0, 0);
      SendMessageW(Ctl(kText3), EM_SCROLLCARET, 0, 0);
      model_.Text3_Change();
    }
    if (id == kText4) model_.Text4_Change();
  } else if (code == EN_SETFOCUS && (id == kText1 || id == kText2)) {
    // The whole text, chosen again after a click has placed the caret.
    SendMessageW(Ctl(id), EM_SETSEL, 0, -1);
    if (Down(VK_LBUTTON)) PostMessageW(hwnd_, kMsgReselect, static_cast<WPARAM>(id), 0);
  } else if (code == LBN_SELCHANGE && id == kList1) {
    if (ListIndex(List::List1) >= 0) model_.List1_Click();
  } else if (code == LBN_DBLCLK && id == kList4) {
    model_.List4_DblClick();
  } else if (code == CBN_SELCHANGE && id == kCombo1) {
    model_.Combo1_Click();
  } else if (code == CBN_SETFOCUS && id == kCombo1) {
    model_.Combo1_GotFocus();
  }
}

LRESULT MainWindow::OnColour(HDC dc, HWND control) {
  const int id = GetDlgCtrlID(control);
  const auto found = colours_.find(id);
  const bool box = id == kText1 || id == kText2 || id == kText3 || id == kText4;
  COLORREF background = GetSysColor(box ? COLOR_WINDOW : COLOR_BTNFACE);
  COLORREF text = GetSysColor(COLOR_WINDOWTEXT);
  if (found != colours_.end()) {
    if (found->second.background != kNone) background = found->second.background;
    text = found->second.text;
  }
  SetTextColor(dc, text);
  SetBkColor(dc, background);
  HBRUSH& brush = brushes_[background];
  if (!brush) brush = CreateSolidBrush(background);
  return reinterpret_cast<LRESULT>(brush);
}

LRESULT CALLBACK MainWindow::ControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  auto* self = static_cast<MainWindow*>(WindowObject::Of(GetParent(hwnd)));
  if (message == WM_NCDESTROY) RemoveWindowSubclass(hwnd, ControlProc, 1);
  if (!self) return DefSubclassProc(hwnd, message, wParam, lParam);
  return self->OnControlMessage(hwnd, message, wParam, lParam);
}

LRESULT MainWindow::OnControlMessage(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  const int id = GetDlgCtrlID(control);
  if (id == kText1 && message == WM_PASTE) {
    // The context menu's paste goes through the same normaliser as the keys.
    PasteIntoText1();
    return 0;
  }
  const LRESULT result = DefSubclassProc(control, message, wParam, lParam);
  if (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN) {
    // After the press has made the pressed entry the selection.
    PostMessageW(hwnd_, kMsgListDown, static_cast<WPARAM>(id), 0);
  }
  return result;
}

bool MainWindow::PreTranslate(MSG& msg) {
  if (!hwnd_ || (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd))) return false;
  const int id = GetDlgCtrlID(msg.hwnd);
  if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) return PreviewKey(msg.hwnd, msg.wParam);
  if (msg.message == WM_CHAR && id == kText1 && msg.wParam >= 0x20 && !Down(VK_CONTROL) && !Down(VK_MENU)) {
    // A character typed into the code box: digits only.
    const wchar_t typed[2] = {static_cast<wchar_t>(msg.wParam), 0};
    return model_.TypeIntoText1(Narrow(typed)) == window::Handled::Consumed;
  }
  return false;
}

// The window sees every key before the focused control.
bool MainWindow::PreviewKey(HWND target, WPARAM vk) {
  const int id = GetDlgCtrlID(target);
  const window::Modifiers mods = CurrentModifiers();
  if (id == kText1 && ((mods.ctrl && vk == 'V') || (mods.shift && vk == VK_INSERT))) {
    PasteIntoText1();
    return true;
  }
  // On the option buttons the arrows choose between them.
  if ((id == kOption0 || id == kOption1) && (vk == VK_LEFT || vk == VK_RIGHT || vk == VK_UP || vk == VK_DOWN)) {
    return false;
  }
  // A focused button takes Enter; otherwise the model decides.
  if (vk == VK_RETURN && target != hwnd_ && IsButton(target)) {
    SendMessageW(target, BM_CLICK, 0, 0);
    return true;
  }
  if (model_.KeyPreview(KeyOf(vk), mods) == window::Handled::Consumed) return true;
  // Enter the model left is no one's: the dialog manager would press a button.
  return vk == VK_RETURN;
}

void MainWindow::PasteIntoText1() { model_.PasteIntoText1(ClipboardText(hwnd_)); }

bool MainWindow::Dispatch(MSG& msg) {
  if (msg.message == WM_QUIT) return false;
  if (!PreTranslate(msg) && !(hwnd_ && IsDialogMessageW(hwnd_, &msg))) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return true;
}

int MainWindow::Run() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) Dispatch(msg);
  return static_cast<int>(msg.wParam);
}

void MainWindow::ProcessEvents() {
  const DWORD end = GetTickCount() + 5;
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (!Dispatch(msg)) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    if (static_cast<LONG>(GetTickCount() - end) >= 0) return;
  }
}

HWND MainWindow::ListOf(List list) const {
  switch (list) {
    case List::List1: return Ctl(kList1);
    case List::List3: return Ctl(kList3);
    case List::List4: return Ctl(kList4);
    default: return Ctl(kList2);
  }
}

int MainWindow::BoxOf(Field field) const {
  switch (field) {
    case Field::Text1: return kText1;
    case Field::Text2: return kText2;
    case Field::Text3: return kText3;
    case Field::Text4: return kText4;
    default: return 0;
  }
}

int MainWindow::LabelOf(Field field) const {
  switch (field) {
    case Field::Label1_0: return kLabel1_0;
    case Field::Label2_0: return kLabel2_0;
    case Field::Label2_1: return kLabel2_1;
    case Field::Label2_2: return kLabel2_2;
    case Field::Command2: return kCommand2;
    default: return 0;
  }
}

std::string* MainWindow::LinkOf(Field field) {
  if (field == Field::Cmd) return &cmd_;
  if (field == Field::DistName) return &distName_;
  const int addr = static_cast<int>(field) - static_cast<int>(Field::Addr0);
  return addr >= 0 && addr < 6 ? &addr_[static_cast<size_t>(addr)] : nullptr;
}

const std::string* MainWindow::LinkOf(Field field) const { return const_cast<MainWindow*>(this)->LinkOf(field); }

std::string MainWindow::Text(Field field) const {
  if (const int id = BoxOf(field) ? BoxOf(field) : LabelOf(field)) return Narrow(WindowText(Ctl(id)));
  const std::string* link = LinkOf(field);
  return link ? *link : std::string();
}

void MainWindow::SetText(Field field, const std::string& text) {
  if (const int id = BoxOf(field) ? BoxOf(field) : LabelOf(field)) {
    // As typing does: the change handler runs only for a new text.
    const std::wstring wide = Wide(text);
    if (WindowText(Ctl(id)) != wide) SetWindowTextW(Ctl(id), wide.c_str());
    if (field == Field::Label1_0) FitMessageLine();
    return;
  }
  std::string* link = LinkOf(field);
  if (!link || *link == text) return;
  *link = text;
  if (field == Field::Cmd) model_.Cmd_Change();
}

void MainWindow::InsertText(Field field, const std::string& text) {
  if (const int id = BoxOf(field))
    SendMessageW(Ctl(id), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(Wide(text).c_str()));
}

void MainWindow::SetFocus(Field field) {
  if (const int id = BoxOf(field)) ::SetFocus(Ctl(id));
}

void MainWindow::SelectAll(Field field) {
  if (const int id = BoxOf(field)) SendMessageW(Ctl(id), EM_SETSEL, 0, -1);
}

void MainWindow::ShowCode(int index, const std::string& code, const std::string& spoken) {
  HWND label = Ctl(index == 0 ? kLabel3_0 : kLabel3_1);
  SetWindowTextW(label, Wide(code).c_str());
  SetSpoken(label, spoken);
}

bool MainWindow::CopyEnabled() const { return IsWindowEnabled(Ctl(kCommand4)) != FALSE; }

void MainWindow::SetCopyEnabled(bool enabled) { EnableWindow(Ctl(kCommand4), enabled); }

bool MainWindow::OptionChecked(int index) const {
  return IsDlgButtonChecked(hwnd_, index == 0 ? kOption0 : kOption1) == BST_CHECKED;
}

void MainWindow::CheckOption(int index) {
  CheckRadioButton(hwnd_, kOption0, kOption1, index == 0 ? kOption0 : kOption1);
}

void MainWindow::ShowWalk(bool walk) {
  for (int id : {kList2, kList3, kList4, kLabel2_1, kLabel2_2, kText4, kLabel4_5})
    ShowWindow(Ctl(id), walk ? SW_SHOW : SW_HIDE);
  for (int id : {kList1, kText1, kCommand1, kLabel4_4}) ShowWindow(Ctl(id), walk ? SW_HIDE : SW_SHOW);
  // The first heading spans the list below it.
  Place& heading = places_[kLabel2_0];
  heading.width = places_[walk ? kList2 : kList1].width;
  SetWindowPos(Ctl(kLabel2_0), nullptr, 0, 0, Px(heading.width), Px(heading.height),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::MarkHeading(int index) {
  for (int i = 0; i < 3; ++i) {
    const int id = kLabel2_0 + i;
    const int32_t text =
        i == index ? window::layout::kMarkedHeading : window::layout::Main()[window::layout::Indexed("Label2", i)].text;
    colours_[id].text = ColourRefOf(text, 0);
    InvalidateRect(Ctl(id), nullptr, TRUE);
  }
}

int MainWindow::ListCount(List list) const { return static_cast<int>(SendMessageW(ListOf(list), LB_GETCOUNT, 0, 0)); }

int MainWindow::ListIndex(List list) const {
  const auto index = static_cast<int>(SendMessageW(ListOf(list), LB_GETCURSEL, 0, 0));
  return index < 0 ? -1 : index;
}

void MainWindow::SetListIndexRaw(HWND list, int index) {
  const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
  SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index >= 0 && index < count ? index : -1), 0);
}

void MainWindow::SetListIndex(List list, int index) {
  const int before = ListIndex(list);
  SetListIndexRaw(ListOf(list), index);
  // A new selection of the search's list is a pick, as a click is.
  if (list == List::List1 && ListIndex(list) != before && ListIndex(list) >= 0) model_.List1_Click();
}

void MainWindow::SetTopIndex(List list, int index) {
  if (index >= 0 && index < ListCount(list)) SendMessageW(ListOf(list), LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);
}

std::string MainWindow::ItemText(List list, int index) const {
  if (index < 0 || index >= ListCount(list)) return {};
  HWND box = ListOf(list);
  std::wstring text(static_cast<size_t>(SendMessageW(box, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0)) + 1, L'\0');
  const auto n = SendMessageW(box, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
  text.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return Narrow(text);
}

int32_t MainWindow::ItemData(List list, int index) const {
  if (index < 0 || index >= ListCount(list)) return 0;
  return static_cast<int32_t>(SendMessageW(ListOf(list), LB_GETITEMDATA, static_cast<WPARAM>(index), 0));
}

void MainWindow::Clear(List list) {
  SendMessageW(ListOf(list), LB_RESETCONTENT, 0, 0);
  rows_[static_cast<size_t>(list)] = {};
}

void MainWindow::AddItem(List list, const std::string& text, int32_t itemData, const std::string& readingKey) {
  HWND box = ListOf(list);
  const auto at = SendMessageW(box, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
  if (at < 0) return;
  SendMessageW(box, LB_SETITEMDATA, static_cast<WPARAM>(at), static_cast<LPARAM>(itemData));
  rows_[static_cast<size_t>(list)].readings.push_back(readingKey);
}

void MainWindow::AddEntries(List list, std::vector<dict::ListEntry> entries) {
  HWND box = ListOf(list);
  SendMessageW(box, WM_SETREDRAW, FALSE, 0);
  SendMessageW(box, LB_INITSTORAGE, entries.size(), static_cast<LPARAM>(entries.size() * 40));
  for (auto& e : entries) AddItem(list, e.text, e.itemData, e.readingKey);
  SendMessageW(box, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(box, nullptr, TRUE);
}

void MainWindow::AddRows(List list, dict::RowList rows) {
  HWND box = ListOf(list);
  SendMessageW(box, WM_SETREDRAW, FALSE, 0);
  SendMessageW(box, LB_INITSTORAGE, rows.size(), static_cast<LPARAM>(rows.size() * 60));
  uint32_t begin = 0;
  const std::string_view texts = rows.Texts();
  for (size_t i = 0; i < rows.size(); ++i) {
    const uint32_t end = rows.TextEnd(i);
    AddItem(list, std::string(texts.substr(begin, end - begin)), rows[i].itemData);
    begin = end;
  }
  SendMessageW(box, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(box, nullptr, TRUE);
}

std::vector<std::string> MainWindow::ReadingKeys(List list) const { return rows_[static_cast<size_t>(list)].readings; }

void MainWindow::SetReadingKeys(List list, const std::vector<int>& rows, const std::vector<std::string>& keys) {
  auto& readings = rows_[static_cast<size_t>(list)].readings;
  for (size_t i = 0; i < rows.size() && i < keys.size(); ++i) {
    if (rows[i] >= 0 && static_cast<size_t>(rows[i]) < readings.size())
      readings[static_cast<size_t>(rows[i])] = keys[i];
  }
}

void MainWindow::FillProfiles(const std::vector<std::string>& names) {
  HWND combo = Ctl(kCombo1);
  SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  for (const auto& name : names) SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(name).c_str()));
  SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
}

int MainWindow::ProfileCount() const { return static_cast<int>(SendMessageW(Ctl(kCombo1), CB_GETCOUNT, 0, 0)); }

int MainWindow::ProfileIndex() const {
  const auto index = static_cast<int>(SendMessageW(Ctl(kCombo1), CB_GETCURSEL, 0, 0));
  return index < 0 ? -1 : index;
}

std::string MainWindow::ProfileText(int index) const {
  HWND combo = Ctl(kCombo1);
  if (index < 0 || index >= ProfileCount()) return {};
  std::wstring text(static_cast<size_t>(SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0)) + 1,
                    L'\0');
  const auto n = SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
  text.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return Narrow(text);
}

void MainWindow::SelectProfile(int index) {
  if (ProfileIndex() == index) return;
  SendMessageW(Ctl(kCombo1), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  model_.Combo1_Click();
}

void MainWindow::OfferCandidates(const std::vector<std::string>& texts) {
  // Shown once the handler that found them has returned.
  candidates_ = texts;
  PostMessageW(hwnd_, kMsgCandidates, 0, 0);
}

void MainWindow::ShowCandidatesMenu() {
  if (candidates_.empty()) return;
  HMENU menu = CreatePopupMenu();
  for (size_t i = 0; i < candidates_.size(); ++i) AppendMenuW(menu, MF_STRING, i + 1, Wide(candidates_[i]).c_str());
  RECT box{};
  GetWindowRect(Ctl(kText4), &box);
  // The first candidate comes up chosen, so Enter takes it at once.
  PostMessageW(hwnd_, WM_KEYDOWN, VK_DOWN, 0);
  const auto chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_BOTTOMALIGN | TPM_LEFTALIGN | TPM_NONOTIFY, box.left,
                                     box.top, 0, hwnd_, nullptr);
  DestroyMenu(menu);
  if (chosen > 0) model_.SelectCandidate(static_cast<size_t>(chosen - 1));
}

void MainWindow::Warn(const std::string& text) {
  MessageBoxW(hwnd_, Wide(text).c_str(), kAppTitle, MB_OK | MB_ICONWARNING);
}

// An alert of the message line, which a screen reader reads out; the
// line's name is its text.
void MainWindow::Announce(const std::string& /*text*/) {
  NotifyWinEvent(EVENT_SYSTEM_ALERT, Ctl(kLabel1_0), OBJID_CLIENT, CHILDID_SELF);
}

void MainWindow::Beep() { MessageBeep(MB_OK); }

void MainWindow::SetBusy(bool busy) {
  busy_ = std::max(0, busy_ + (busy ? 1 : -1));
  SetCursor(LoadCursorW(nullptr, busy_ > 0 ? IDC_WAIT : IDC_ARROW));
}

void MainWindow::SetRefusing(bool refusing) {
  refusing_ = refusing;
  if (busy_ == 0) SetCursor(LoadCursorW(nullptr, refusing ? IDC_NO : IDC_ARROW));
}

int MainWindow::PageRows() const {
  RECT client{};
  GetClientRect(Ctl(kList1), &client);
  const auto rowHeight = static_cast<int>(SendMessageW(Ctl(kList1), LB_GETITEMHEIGHT, 0, 0));
  if (rowHeight <= 0) return 1;
  return std::max(1, static_cast<int>(std::lround(static_cast<double>(client.bottom) / rowHeight)));
}

void MainWindow::PlaceOnScreen() {
  SetWindowPos(hwnd_, nullptr, Px(window::layout::kMainWindowLeftTop), Px(window::layout::kMainWindowLeftTop), 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::Minimize() { ShowWindow(hwnd_, SW_MINIMIZE); }

void MainWindow::ShowNormal() { ShowWindow(hwnd_, SW_SHOWNORMAL); }

void MainWindow::Restore() {
  if (IsIconic(hwnd_)) ShowWindow(hwnd_, SW_RESTORE);
  ShowWindow(hwnd_, SW_SHOW);
  platform::AskForeground(hwnd_);
}

void MainWindow::Close() {
  if (hwnd_) DestroyWindow(hwnd_);
}

void MainWindow::OpenSettings() {
  SettingsWindow settingsWindow(app_, hwnd_);
  settingsWindow.RunModal();
}

void MainWindow::LinkAnswered() {
  if (onAnswered) onAnswered();
}

// Minimised so that the system gives the focus back to the window used
// before ours; true once ours has lost it.
bool MainWindow::StepAside() {
  auto waitUntil = [this](DWORD bound, auto done) {
    for (const DWORD start = GetTickCount(); !done() && GetTickCount() - start < bound;) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
      ProcessEvents();
    }
    return done();
  };
  waitUntil(1000, [this] { return GetForegroundWindow() == hwnd_; });
  ShowWindow(hwnd_, SW_MINIMIZE);
  return waitUntil(3000, [this] { return GetForegroundWindow() != hwnd_; });
}

}  // namespace kovant::winui
