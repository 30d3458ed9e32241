// A window to paste into, for the tests of kovant.exe's paste: one
// multi-line box that keeps tabs and line breaks as typed.
//   kovant-pastetarget CAPTION [--close-on-tab] [--slow MS]
// --close-on-tab: the window closes, and the program ends, at the first Tab.
// --slow MS: each paste waits MS milliseconds before it reads the clipboard.
#include <windows.h>

#include <commctrl.h>

#include <cwchar>
#include <string>

namespace {

bool closeOnTab = false;
DWORD slowMs = 0;
HWND mainWindow = nullptr;

LRESULT CALLBACK BoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  if (message == WM_KEYDOWN && wParam == VK_TAB && closeOnTab) {
    DestroyWindow(mainWindow);
    return 0;
  }
  // Shift+Insert pastes without a WM_PASTE of its own.
  const bool paste = message == WM_PASTE || (message == WM_KEYDOWN && wParam == VK_INSERT);
  if (paste && slowMs > 0) Sleep(slowMs);
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK MainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETFOCUS: SetFocus(GetDlgItem(hwnd, 1)); return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  for (int i = 2; i < argc; ++i) {
    if (std::wcscmp(argv[i], L"--close-on-tab") == 0) closeOnTab = true;
    if (std::wcscmp(argv[i], L"--slow") == 0 && i + 1 < argc)
      slowMs = static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 10));
  }
  WNDCLASSW wc{};
  wc.lpfnWndProc = MainProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = L"KovantPasteTarget";
  RegisterClassW(&wc);
  mainWindow = CreateWindowExW(0, wc.lpszClassName, argv[1], WS_OVERLAPPEDWINDOW, 40, 40, 480, 240, nullptr, nullptr,
                               wc.hInstance, nullptr);
  HWND box = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL, 0,
                             0, 460, 200, mainWindow, reinterpret_cast<HMENU>(1), wc.hInstance, nullptr);
  SetWindowSubclass(box, BoxProc, 1, 0);
  ShowWindow(mainWindow, SW_SHOW);
  SetFocus(box);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
