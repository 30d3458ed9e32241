// The fixture of the tests that drive kovant.exe from outside: each test
// starts its own kovant.exe on the hand-written sample dictionary in a
// folder of its own (KOVANT_HOME), finds its window and its message boxes,
// and reads and works its controls through window messages.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "settings/settings.h"
#include "winui/ids.h"

namespace kovant::wintest {

namespace fs = std::filesystem;
using namespace kovant::winui;

inline constexpr DWORD kTimeoutMs = 20000;

inline std::wstring Wide(const std::string& utf8) {
  std::wstring out(utf8.size(), L'\0');
  out.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(),
                                                     static_cast<int>(out.size()))));
  return out;
}

inline std::string Narrow(const std::wstring& wide) {
  std::string out(wide.size() * 3, '\0');
  out.resize(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(),
                                                     static_cast<int>(out.size()), nullptr, nullptr)));
  return out;
}

inline fs::path ExeDir() {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  return fs::path(std::wstring(path, n)).parent_path();
}

inline std::string TextOf(HWND hwnd) {
  wchar_t text[512] = {};
  SendMessageTimeoutW(hwnd, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, nullptr);
  return Narrow(text);
}

inline std::string ClipboardText() {
  std::string text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = Narrow(chars);
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

inline void ClearClipboard() {
  if (!OpenClipboard(nullptr)) return;
  EmptyClipboard();
  CloseClipboard();
}

struct Kovant : ::testing::Test {
  // The settings the program starts with.
  virtual kovant::settings::Settings Configured() const { return kovant::settings::DefaultSettings(); }

  fs::path home;
  PROCESS_INFORMATION pi{};
  HWND window = nullptr;
  std::string shownBox;  // the text of a message box it showed

  void SetUp() override {
    const fs::path sample = KOVANT_TEST_SAMPLE_DIC;
    if (!fs::exists(sample)) GTEST_SKIP() << "no sample dictionary at " << sample.string();
    home = fs::temp_directory_path() / ("kovant-exe-" + std::to_string(GetCurrentProcessId()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(home);
    fs::create_directories(home);
    fs::copy_file(sample, home / "KOVANT.DIC");
    ASSERT_TRUE(kovant::settings::SaveSettings(Configured(), Narrow(home.wstring()), kovant::settings::kIniFileName));
    SetEnvironmentVariableW(L"KOVANT_HOME", home.wstring().c_str());
    ClearClipboard();
    ASSERT_TRUE(Start(&pi));
    ASSERT_TRUE(WaitFor([&] { return (window = OurWindow(pi.dwProcessId)) != nullptr && IsWindowVisible(window); }))
        << "kovant.exe showed no window";
  }

  void TearDown() override {
    if (pi.hProcess) {
      if (window && IsWindow(window)) PostMessageW(window, WM_CLOSE, 0, 0);
      if (WaitForSingleObject(pi.hProcess, 5000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
      CloseHandle(pi.hProcess);
      CloseHandle(pi.hThread);
    }
    std::error_code ignored;
    fs::remove_all(home, ignored);
  }

  static bool Start(PROCESS_INFORMATION* process) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    std::wstring commandLine = L"\"" + (ExeDir() / L"kovant.exe").wstring() + L"\"";
    return CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, process) !=
           FALSE;
  }

  // A top-level window of that class made by process pid (any process
  // for 0), shown ones only when asked.
  static HWND TopWindowOf(DWORD pid, const wchar_t* cls, bool shownOnly = false) {
    struct Search {
      DWORD pid;
      const wchar_t* cls;
      bool shownOnly;
      HWND found;
    } search{pid, cls, shownOnly, nullptr};
    EnumWindows(
        [](HWND hwnd, LPARAM lParam) -> BOOL {
          auto* s = reinterpret_cast<Search*>(lParam);
          DWORD owner = 0;
          GetWindowThreadProcessId(hwnd, &owner);
          wchar_t name[64] = {};
          GetClassNameW(hwnd, name, 64);
          if ((s->pid != 0 && owner != s->pid) || lstrcmpW(name, s->cls) != 0) return TRUE;
          if (s->shownOnly && !IsWindowVisible(hwnd)) return TRUE;
          s->found = hwnd;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
  }

  static HWND OurWindow(DWORD pid) { return TopWindowOf(pid, kMainClass); }

  // A message box of the program, its text kept and the box closed: the
  // test fails on it rather than waiting for the time to run out.
  bool MessageBoxShown() {
    const HWND box = TopWindowOf(pi.dwProcessId, L"#32770", true);
    if (!box) return false;
    shownBox = TextOf(GetDlgItem(box, 0xFFFF));  // the box's text
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    return true;
  }

  bool WaitFor(const std::function<bool()>& done, DWORD ms = kTimeoutMs) {
    for (const ULONGLONG end = GetTickCount64() + ms; !done();) {
      if (GetTickCount64() >= end) return false;
      if (pi.hProcess && window && MessageBoxShown()) {
        ADD_FAILURE() << "message box: " << shownBox;
        return false;
      }
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    return true;
  }

  HWND Ctl(int id) const { return GetDlgItem(window, id); }
  std::string Text(int id) const { return TextOf(Ctl(id)); }
  void Type(int id, const std::string& text) const {
    SendMessageTimeoutW(Ctl(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()), SMTO_ABORTIFHUNG, 5000,
                        nullptr);
  }
  // Posted, as a click is: a handler that shows a box does not hold us.
  void Click(int id) const { PostMessageW(Ctl(id), BM_CLICK, 0, 0); }
  void Key(int id, WPARAM vk) const {
    PostMessageW(Ctl(id), WM_KEYDOWN, vk, 1);
    PostMessageW(Ctl(id), WM_KEYUP, vk, 0xC0000001);
  }
  int Count(int id) const { return static_cast<int>(SendMessageW(Ctl(id), LB_GETCOUNT, 0, 0)); }
  std::string Item(int id, int index) const {
    wchar_t text[512] = {};
    if (SendMessageW(Ctl(id), LB_GETTEXTLEN, static_cast<WPARAM>(index), 0) >= 511) return {};
    SendMessageW(Ctl(id), LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
    return Narrow(text);
  }
  int Find(int id, const std::string& text) const {
    for (int i = 0; i < Count(id); ++i)
      if (Item(id, i) == text) return i;
    return -1;
  }
  // A click on an entry: scrolled into view, pressed there.
  void ClickItem(int id, int index) const {
    SendMessageW(Ctl(id), LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);
    const auto top = static_cast<int>(SendMessageW(Ctl(id), LB_GETTOPINDEX, 0, 0));
    const auto height = static_cast<int>(SendMessageW(Ctl(id), LB_GETITEMHEIGHT, 0, 0));
    const LPARAM at = MAKELPARAM(8, (index - top) * height + height / 2);
    PostMessageW(Ctl(id), WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(Ctl(id), WM_LBUTTONUP, 0, at);
  }
  // The code mode, 100-0001 searched and its one entry picked.
  void ShowTown() {
    if (!IsWindowVisible(Ctl(kText1))) Click(kCommand2);
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(Ctl(kText1)) != FALSE; }));
    Type(kText1, "1000001");
    Key(kText1, VK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return Count(kList1) > 0; })) << "no search result";
    ClickItem(kList1, 0);
    ASSERT_TRUE(WaitFor([&] { return Text(kText3) == "東京都千代田区千代田"; })) << Text(kText3);
    Click(kOption1);
    ASSERT_TRUE(WaitFor([&] { return SendMessageW(Ctl(kOption1), BM_GETCHECK, 0, 0) == BST_CHECKED; }));
  }
};

}  // namespace kovant::wintest
