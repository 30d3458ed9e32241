#include "winui/modal.h"

#include <commctrl.h>

#include "platform/windows.h"

namespace kovant::winui {

using platform::Narrow;
using platform::Wide;

ModalWindow::ModalWindow(HWND owner, const window::layout::Window& table) : owner_(owner), table_(table) {
  const std::wstring className = Wide(std::string(table.name));
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = className.c_str();
  RegisterClassExW(&wc);
  // Not clipping its children: a frame draws only its lines, and the window
  // itself fills in between.
  hwnd_ = CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, className.c_str(), L"",
                          WS_POPUP | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT, CW_USEDEFAULT, 100, 100, owner, nullptr,
                          wc.hInstance, static_cast<WindowObject*>(this));
  if (!hwnd_) return;
  dpi_ = static_cast<int>(GetDpiForWindow(hwnd_));
  if (dpi_ <= 0) dpi_ = 96;
  // Fixed in size, in the middle of the screen the owner is on.
  RECT outer{0, 0, Px(table.width), Px(table.height)};
  AdjustWindowRectExForDpi(&outer, static_cast<DWORD>(GetWindowLongW(hwnd_, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongW(hwnd_, GWL_EXSTYLE)), static_cast<UINT>(dpi_));
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(owner ? owner : hwnd_, MONITOR_DEFAULTTONEAREST), &monitor);
  const int width = outer.right - outer.left, height = outer.bottom - outer.top;
  const RECT& work = monitor.rcWork;
  SetWindowPos(hwnd_, nullptr, work.left + (work.right - work.left - width) / 2,
               work.top + (work.bottom - work.top - height) / 2, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

ModalWindow::~ModalWindow() {
  if (hwnd_) DestroyWindow(hwnd_);
  for (auto& [key, font] : fonts_) DeleteObject(font);
  for (auto& [colour, brush] : brushes_) DeleteObject(brush);
}

void ModalWindow::MakeControls(const std::function<MadeAs(std::string_view)>& idOf, int firstFree) {
  SetTitle(std::string(table_.title));
  winui::MakeControls(hwnd_, table_, dpi_, idOf, firstFree,
                      [this](HWND control, int id, const window::layout::Control& c) {
                        HFONT& font = fonts_[FontKey(c.font)];
                        if (!font) font = CreateTableFont(c.font, dpi_);
                        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
                        // A frame keeps the system's look: coloured, its lines are drawn in the text's colour.
                        if (c.kind != window::layout::Kind::Frame) {
                          colours_[id] = {ColourRefOf(c.background, CLR_INVALID), ColourRefOf(c.text, 0)};
                        }
                      });
}

void ModalWindow::Move(int id, const window::layout::Rect& twips) {
  SetWindowPos(Ctl(id), nullptr, Px(twips.left), Px(twips.top), Px(twips.width), Px(twips.height),
               SWP_NOZORDER | SWP_NOACTIVATE);
}

std::string ModalWindow::TextOf(int id) const {
  HWND control = Ctl(id);
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return Narrow(text);
}

void ModalWindow::SetTextOf(int id, const std::string& text) { SetWindowTextW(Ctl(id), Wide(text).c_str()); }

void ModalWindow::SetTitle(const std::string& title) { SetWindowTextW(hwnd_, Wide(title).c_str()); }

void ModalWindow::ShowWarning(const std::string& text) {
  MessageBoxW(hwnd_, Wide(text).c_str(), kAppTitle, MB_OK | MB_ICONWARNING);
}

void ModalWindow::RunModal() {
  if (!hwnd_) {
    ShowWarning("ウィンドウを作れません。");
    return;
  }
  Build();
  Load();
  if (owner_) EnableWindow(owner_, FALSE);
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  SetForegroundWindow(hwnd_);
  MSG msg{};
  bool quit = false;
  while (!done_) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) {
      quit = got == 0;
      break;
    }
    if (PreTranslate(msg) || IsDialogMessageW(hwnd_, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  // The owner enabled before this one goes, so that it gets the activation.
  if (owner_) {
    EnableWindow(owner_, TRUE);
    SetActiveWindow(owner_);
  }
  ShowWindow(hwnd_, SW_HIDE);
  if (quit) PostQuitMessage(static_cast<int>(msg.wParam));
}

LRESULT ModalWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL) {
        OnCancel();
      } else if (lParam != 0) {
        OnCommand(LOWORD(wParam), HIWORD(wParam));
      }
      return 0;
    case WM_CLOSE: OnCancel(); return 0;
    case DM_GETDEFID: return MAKELONG(DefaultButton(), DC_HASDEFID);
    case WM_CTLCOLORSTATIC: {
      const auto dc = reinterpret_cast<HDC>(wParam);
      const auto found = colours_.find(GetDlgCtrlID(reinterpret_cast<HWND>(lParam)));
      if (found == colours_.end() || (found->second.background == CLR_INVALID && found->second.text == 0)) break;
      const COLORREF background =
          found->second.background == CLR_INVALID ? GetSysColor(COLOR_BTNFACE) : found->second.background;
      SetTextColor(dc, found->second.text);
      SetBkColor(dc, background);
      HBRUSH& brush = brushes_[background];
      if (!brush) brush = CreateSolidBrush(background);
      return reinterpret_cast<LRESULT>(brush);
    }
    default:
      if (message >= WM_APP && message <= 0xBFFF) {
        OnAppMessage(message, wParam, lParam);
        return 0;
      }
      break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

}  // namespace kovant::winui
