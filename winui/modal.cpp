#include "winui/modal.h"

#include <commctrl.h>

#include "platform/windows.h"

namespace kovant::winui {

using platform::Narrow;
using platform::Wide;

ModalWindow::ModalWindow(HWND owner, const wchar_t* className, int widthTwips, int heightTwips)
    : owner_(owner), widthTwips_(widthTwips), heightTwips_(heightTwips) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = className;
  RegisterClassExW(&wc);
  hwnd_ = CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, className, L"",
                          WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT, 100, 100,
                          owner, nullptr, wc.hInstance, this);
  if (!hwnd_) return;
  dpi_ = static_cast<int>(GetDpiForWindow(hwnd_));
  if (dpi_ <= 0) dpi_ = 96;
  LOGFONTW lf{};
  lf.lfHeight = -MulDiv(98, dpi_, 720);
  lf.lfCharSet = SHIFTJIS_CHARSET;
  lf.lfQuality = CLEARTYPE_QUALITY;
  lf.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
  lstrcpynW(lf.lfFaceName, L"ＭＳ ゴシック", LF_FACESIZE);
  font_ = CreateFontIndirectW(&lf);
  // Fixed in size, in the middle of the screen the owner is on.
  RECT outer{0, 0, Px(widthTwips_), Px(heightTwips_)};
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
  if (font_) DeleteObject(font_);
  for (auto& [colour, brush] : brushes_) DeleteObject(brush);
}

HWND ModalWindow::Make(int id, const wchar_t* cls, const char* caption, DWORD style, Place twips, Colours colours) {
  const bool sunken = lstrcmpiW(cls, WC_EDITW) == 0 || lstrcmpiW(cls, WC_LISTBOXW) == 0;
  HWND control =
      CreateWindowExW(sunken ? WS_EX_CLIENTEDGE : 0, cls, Wide(caption).c_str(), WS_CHILD | WS_VISIBLE | style,
                      Px(twips.left), Px(twips.top), Px(twips.width), Px(twips.height), hwnd_,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  places_[id] = twips;
  colours_[id] = colours;
  return control;
}

void ModalWindow::Move(int id, Place twips) {
  places_[id] = twips;
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

LRESULT CALLBACK ModalWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<ModalWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->hwnd_ = hwnd;
  }
  auto* self = reinterpret_cast<ModalWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  return self->OnMessage(message, wParam, lParam);
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
