#include "platform/win/windesktop.h"

#include <windows.h>

#include <string>
#include <vector>

#include "platform/windows.h"

namespace kovant::platform {
namespace {

HWND Hwnd(WindowId id) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(id)); }

// Runs this thread's messages (the clipboard's render requests among them)
// for up to ms, or until done().
template <typename Done>
bool PumpUntil(DWORD ms, Done done) {
  const ULONGLONG end = GetTickCount64() + ms;
  while (!done()) {
    const ULONGLONG now = GetTickCount64();
    if (now >= end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now < 10 ? end - now : 10), QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        return done();
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return true;
}

INPUT KeyInput(WORD vk, bool up) {
  INPUT in{};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
  in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  if (vk == VK_INSERT || vk == VK_DOWN) in.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
  return in;
}

}  // namespace

std::vector<TopWindow> WinDesktop::TopLevelWindows() {
  std::vector<TopWindow> windows;
  // In z-order, topmost first; hidden ones too, as the caption search
  // always saw them.
  EnumWindows(
      [](HWND hwnd, LPARAM lParam) -> BOOL {
        auto* list = reinterpret_cast<std::vector<TopWindow>*>(lParam);
        const int length = GetWindowTextLengthW(hwnd);
        std::wstring caption(static_cast<size_t>(length) + 1, L'\0');
        caption.resize(static_cast<size_t>(GetWindowTextW(hwnd, caption.data(), length + 1)));
        list->push_back({static_cast<WindowId>(reinterpret_cast<uintptr_t>(hwnd)), Narrow(caption)});
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&windows));
  return windows;
}

void WinDesktop::Restore(WindowId id) {
  HWND hwnd = Hwnd(id);
  if (IsIconic(hwnd) || IsZoomed(hwnd)) ShowWindow(hwnd, SW_RESTORE);
}

void AskForeground(HWND hwnd) {
  if (SetForegroundWindow(hwnd)) return;
  HWND foreground = GetForegroundWindow();
  const DWORD theirs = foreground ? GetWindowThreadProcessId(foreground, nullptr) : 0;
  const DWORD ours = GetCurrentThreadId();
  if (theirs && theirs != ours && AttachThreadInput(ours, theirs, TRUE)) {
    BringWindowToTop(hwnd);
    SetForegroundWindow(hwnd);
    AttachThreadInput(ours, theirs, FALSE);
  }
}

bool WinDesktop::Activate(WindowId id) {
  HWND hwnd = Hwnd(id);
  activated_ = hwnd;
  if (GetForegroundWindow() == hwnd) return true;
  AskForeground(hwnd);
  // The switch is the window manager's and takes a moment.
  return PumpUntil(500, [hwnd] { return GetForegroundWindow() == hwnd; });
}

bool WinDesktop::IsActive(WindowId id) { return GetForegroundWindow() == Hwnd(id); }

bool WinDesktop::SendKey(Key key) {
  std::vector<INPUT> inputs;
  auto press = [&inputs](std::initializer_list<WORD> keys) {
    for (WORD vk : keys) inputs.push_back(KeyInput(vk, false));
    for (auto it = std::rbegin(keys); it != std::rend(keys); ++it) inputs.push_back(KeyInput(*it, true));
  };
  switch (key) {
    case Key::Paste: press({VK_SHIFT, VK_INSERT}); break;
    case Key::Tab: press({VK_TAB}); break;
    case Key::Enter: press({VK_RETURN}); break;
    case Key::CtrlF1: press({VK_CONTROL, VK_F1}); break;
    case Key::Down: press({VK_DOWN}); break;
  }
  const UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  return sent == inputs.size();
}

void WinDesktop::WaitForPaste() {
  const auto target = static_cast<HWND>(activated_);
  pasteTaken_ = PumpUntil(kPasteBoundMs,
                          [this, target] { return clipboard_.TakenSinceSet() || (target && !IsWindow(target)); }) &&
                clipboard_.TakenSinceSet();
  // Asked for is not yet inserted: the target reads and inserts the text
  // before it takes the next key.
  if (pasteTaken_) PumpUntil(50, [] { return false; });
}

}  // namespace kovant::platform
