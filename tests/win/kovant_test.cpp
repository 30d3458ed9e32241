// kovant.exe driven from outside, as a user and other programs drive it:
// text typed into its boxes, clicks on its lists and buttons (window
// messages to its controls), the clipboard read back, a DDE client's
// call-up, and a second start. Each test starts its own kovant.exe on the
// hand-written sample dictionary in a folder of its own (KOVANT_HOME).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/win/ddeclient.h"
#include "settings/settings.h"
#include "tests/win/kovantfixture.h"
#include "window/layout.h"
#include "winui/ids.h"
#include "winui/profilewindow.h"
#include "winui/settingswindow.h"

namespace {

namespace fs = std::filesystem;
using kovant::platform::DdeClient;
using namespace kovant::winui;
using namespace kovant::wintest;

// A code typed and searched, its entry picked, "コピー": the clipboard
// holds the composed text in both text formats; then the walk from the
// prefecture to the town shows the same code; the text outlives the program.
TEST_F(Kovant, SearchCopyAndWalk) {
  ShowTown();
  EXPECT_EQ(Text(kLabel3_1), "100-0001");
  Click(kCommand4);
  ASSERT_TRUE(WaitFor([&] { return ClipboardText() == "〒100-0001東京都千代田区千代田"; })) << ClipboardText();
  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
  CloseClipboard();

  // The code box takes digits only.
  Type(kText1, "");
  for (wchar_t c : std::wstring(L"1a-2")) PostMessageW(Ctl(kText1), WM_CHAR, c, 1);
  ASSERT_TRUE(WaitFor([&] { return Text(kText1) == "12"; })) << Text(kText1);

  Click(kCommand2);
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(Ctl(kList2)) != FALSE; }));
  const int tokyo = Find(kList2, "東京都");
  ASSERT_GE(tokyo, 0);
  ClickItem(kList2, tokyo);
  int city = -1;
  ASSERT_TRUE(WaitFor([&] { return (city = Find(kList3, "千代田区")) >= 0; }));
  ClickItem(kList3, city);
  int town = -1;
  ASSERT_TRUE(WaitFor([&] { return (town = Find(kList4, "千代田")) >= 0; }))
      << Count(kList4) << " towns, the first " << Item(kList4, 0);
  ClickItem(kList4, town);
  ASSERT_TRUE(WaitFor([&] { return Text(kLabel3_1) == "100-0001"; })) << Text(kLabel3_1);
  EXPECT_EQ(Text(kText3), "東京都千代田区千代田");

  // "終了": the copied text stays on the clipboard after the program.
  Click(kCommand3);
  ASSERT_EQ(WaitForSingleObject(pi.hProcess, kTimeoutMs), WAIT_OBJECT_0);
  EXPECT_EQ(ClipboardText(), "〒100-0001東京都千代田区千代田");
}

// The program notes its folder for other programs in the user's hive,
// which a per-user installation may write.
TEST_F(Kovant, RunPathNotedForTheUser) {
  wchar_t value[MAX_PATH] = {};
  DWORD bytes = sizeof value;
  ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"Software\\Morvix\\KOVANT\\RunPath", nullptr, RRF_RT_REG_SZ, nullptr,
                         value, &bytes),
            ERROR_SUCCESS);
  EXPECT_EQ(fs::path(value), home);
}

// The registry behind platform::Registry on Windows, under a key of its
// own: values round-trip, a value longer than the reader's buffer is no
// value, and key names that are no keys are refused.
TEST(Registry, NoteKeysValuesAndRefusals) {
  const std::string root = "HKEY_CURRENT_USER\\Software\\KOVANT-test-" + std::to_string(GetCurrentProcessId());
  const kovant::platform::Registry registry(root);
  EXPECT_TRUE(registry.OpenKey("HKEY_LOCAL_MACHINE\\SOFTWARE"));
  const std::string folder = "C:\\ぴこらん\\髙﨑";
  EXPECT_FALSE(registry.QueryValue("HKEY_LOCAL_MACHINE\\SOFTWARE", "Morvix\\KOVANT\\RunPath", 128).has_value());
  ASSERT_TRUE(registry.SetValue("HKEY_LOCAL_MACHINE\\SOFTWARE", "Morvix\\KOVANT\\RunPath", folder));
  EXPECT_EQ(registry.QueryValue("HKEY_LOCAL_MACHINE\\SOFTWARE", "Morvix\\KOVANT\\RunPath", 128), folder);
  EXPECT_FALSE(
      registry.QueryValue("HKEY_LOCAL_MACHINE\\SOFTWARE", "Morvix\\KOVANT\\RunPath", folder.size()).has_value());
  EXPECT_EQ(registry.QueryValue("HKEY_LOCAL_MACHINE\\SOFTWARE", "Morvix\\KOVANT\\RunPath", folder.size() + 1), folder);
  const kovant::platform::Registry system(kovant::platform::Registry::DefaultRoot());
  EXPECT_FALSE(system.OpenKey("HKEY_NOWHERE\\Software"));
  EXPECT_FALSE(system.SetValue("HKEY_CURRENT_USER\\Software", "a\\\\b", "x"));
  EXPECT_FALSE(system.SetValue("HKEY_CURRENT_USER\\Software", "a\\", "x"));
  RegDeleteTreeW(HKEY_CURRENT_USER, Wide(root.substr(std::string("HKEY_CURRENT_USER\\").size())).c_str());
}

// "設定": the settings window over the main one, an option changed and
// saved under a name chosen in the save window; the main window takes it.
TEST_F(Kovant, SettingsSavedUnderAName) {
  const auto dialog = [this](const wchar_t* cls) {
    HWND found = FindWindowW(cls, nullptr);
    DWORD owner = 0;
    GetWindowThreadProcessId(found, &owner);
    return found && owner == pi.dwProcessId && IsWindowVisible(found) ? found : nullptr;
  };
  const auto click = [](HWND dlg, int id) { PostMessageW(GetDlgItem(dlg, id), BM_CLICK, 0, 0); };
  const auto checked = [](HWND dlg, int id) {
    return SendMessageW(GetDlgItem(dlg, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
  };
  Click(kCommand5);
  HWND settings = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (settings = dialog(L"KOVANT2")) != nullptr; }));
  EXPECT_EQ(TextOf(settings), "ぴこらん環境設定　－　新規設定");
  EXPECT_FALSE(IsWindowEnabled(window));
  const int copyMode = SettingsWindow::kCopyMode0;  // "旧〒", "新〒"
  const bool wasNew = checked(settings, copyMode + 1);
  click(settings, wasNew ? copyMode : copyMode + 1);
  ASSERT_TRUE(WaitFor([&] { return checked(settings, wasNew ? copyMode : copyMode + 1); }));
  click(settings, SettingsWindow::kSave);
  HWND save = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (save = dialog(L"KOVANT3")) != nullptr; }));
  EXPECT_EQ(TextOf(save), "設定の保存");
  SendMessageW(GetDlgItem(save, ProfileWindow::kText1), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"事務所"));
  click(save, ProfileWindow::kCommand1_0);  // "ＯＫ"
  ASSERT_TRUE(WaitFor([&] { return dialog(L"KOVANT2") == nullptr && IsWindowEnabled(window); }));
  EXPECT_EQ(kovant::settings::ListProfiles(Narrow(home.wstring())), std::vector<std::string>{"事務所"});
  Click(kCommand5);
  ASSERT_TRUE(WaitFor([&] { return (settings = dialog(L"KOVANT2")) != nullptr; }));
  EXPECT_EQ(TextOf(settings), "ぴこらん環境設定　－　事務所");
  EXPECT_EQ(checked(settings, copyMode + 1), !wasNew);
  PostMessageW(settings, WM_CLOSE, 0, 0);  // the close box cancels
  ASSERT_TRUE(WaitFor([&] { return dialog(L"KOVANT2") == nullptr && IsWindowEnabled(window); }));
}

// A program calls the window up over DDE; the pick and "コピー" answer it
// in Addr(0)..Addr(5), announced on its advise link, the clipboard untouched.
TEST_F(Kovant, DdeCallUpAnswered) {
  DdeClient client;
  ASSERT_EQ(client.Connect(L"KOVANT", L"KOVANT"), "");
  ASSERT_EQ(client.StartAdvise("Addr(1)", CF_UNICODETEXT, 10000), "");
  ShowWindow(window, SW_MINIMIZE);
  ASSERT_EQ(client.Poke("Cmd", "1", CF_UNICODETEXT, 10000), "");
  ASSERT_TRUE(WaitFor([&] { return !IsIconic(window); })) << "the call-up left the window minimised";
  ShowTown();
  Click(kCommand4);
  EXPECT_TRUE(client.WaitAdvise(10000));
  std::string value;
  ASSERT_EQ(client.Request("Addr(1)", CF_UNICODETEXT, 10000, &value), "");
  EXPECT_EQ(value, "100-0001");
  ASSERT_EQ(client.Request("Addr(4)", CF_TEXT, 10000, &value), "");
  EXPECT_EQ(value, "千代田");
  EXPECT_EQ(ClipboardText(), "");
}

// A second start brings the running window back and ends; one window stays.
TEST_F(Kovant, SecondStartHandsOver) {
  ShowWindow(window, SW_MINIMIZE);
  ASSERT_TRUE(WaitFor([&] { return IsIconic(window) != FALSE; }));
  PROCESS_INFORMATION second{};
  ASSERT_TRUE(Start(&second));
  const DWORD waited = WaitForSingleObject(second.hProcess, kTimeoutMs);
  DWORD code = 1;
  GetExitCodeProcess(second.hProcess, &code);
  if (waited != WAIT_OBJECT_0) TerminateProcess(second.hProcess, 1);
  CloseHandle(second.hProcess);
  CloseHandle(second.hThread);
  ASSERT_EQ(waited, WAIT_OBJECT_0) << "the second start did not end";
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(WaitFor([&] { return !IsIconic(window) && GetForegroundWindow() == window; }));
  EXPECT_EQ(OurWindow(second.dwProcessId), nullptr);
}

// "コピー" with a window to paste into, found by a part of its caption:
// Wine's notepad gets the text, exactly, round after round.
struct PasteIntoNotepad : Kovant {
  kovant::settings::Settings Configured() const override {
    kovant::settings::Settings s = kovant::settings::DefaultSettings();
    s.CopyAppl = 1;
    s.FindCaption = "メモ帳";
    return s;
  }
};

TEST_F(PasteIntoNotepad, TwentyRoundsExact) {
  PROCESS_INFORMATION notepad{};
  STARTUPINFOW si{};
  si.cb = sizeof si;
  std::wstring commandLine = L"notepad.exe";
  ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &notepad));
  HWND edit = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    HWND main = FindWindowW(L"Notepad", nullptr);
    edit = main ? FindWindowExW(main, nullptr, L"Edit", nullptr) : nullptr;
    return edit != nullptr && IsWindowVisible(main);
  })) << "notepad showed no window";
  ShowTown();
  const std::string expected = "〒100-0001東京都千代田区千代田";
  const ULONGLONG start = GetTickCount64();
  ULONGLONG slowest = 0;
  int exact = 0;
  for (int round = 0; round < 20; ++round) {
    const ULONGLONG began = GetTickCount64();
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    SendMessageW(Ctl(kLabel1_0), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    Click(kCommand4);
    // The delivery is over once the message line says where the text went.
    const bool done = WaitFor([&] { return Text(kLabel1_0).find("に貼り付けました。") != std::string::npos; });
    EXPECT_TRUE(done) << "round " << round << ": " << Text(kLabel1_0);
    if (!done) break;
    if (TextOf(edit) == expected) ++exact;
    EXPECT_EQ(TextOf(edit), expected) << "round " << round;
    slowest = std::max(slowest, GetTickCount64() - began);
  }
  EXPECT_EQ(exact, 20);
  std::printf("20 rounds in %llu ms, the slowest %llu ms\n", GetTickCount64() - start, slowest);
  SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));  // nothing to save on closing
  PostMessageW(FindWindowW(L"Notepad", nullptr), WM_CLOSE, 0, 0);
  if (WaitForSingleObject(notepad.hProcess, 5000) != WAIT_OBJECT_0) TerminateProcess(notepad.hProcess, 1);
  CloseHandle(notepad.hProcess);
  CloseHandle(notepad.hThread);
}

// A window that takes nothing pasted: the paste stops, and says so,
// rather than counting the text as delivered.
TEST_F(PasteIntoNotepad, TargetTakingNothingStopsThePaste) {
  HWND deaf = CreateWindowExW(0, L"STATIC", L"メモ帳ではない", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(deaf, nullptr);
  ShowTown();
  Click(kCommand4);
  bool shown = false;
  for (const ULONGLONG end = GetTickCount64() + kTimeoutMs; !shown && GetTickCount64() < end;) {
    shown = MessageBoxShown();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  DestroyWindow(deaf);
  ASSERT_TRUE(shown);
  EXPECT_EQ(shownBox,
            "貼り付け先のウィンドウが応答しないため、貼り付けを途中で止めました。"
            "クリップボードには貼り付け終えていない部分が入っています。");
}

}  // namespace

// The main window as the layout table places it: each control's rectangle
// in the client area at the window's dpi, the order the controls were made
// in (the order Tab follows) and Tab itself, by the dialog manager's own
// step, through what is shown and enabled; a long notice wrapped in the
// message line, the window grown for it and kept on the screen; after the
// switch to the search, the heading as wide as the list under it.
TEST_F(Kovant, MainWindowPlacedAndTabbedAsTheLayoutTable) {
  namespace layout = kovant::window::layout;
  const layout::Window& table = layout::Main();
  const int dpi = static_cast<int>(GetDpiForWindow(window));
  const auto px = [dpi](int twips) { return MulDiv(twips, dpi, 1440); };
  const auto placed = [&](int id) {
    RECT r{};
    GetWindowRect(Ctl(id), &r);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
    return std::vector<LONG>{r.left, r.top, r.right - r.left, r.bottom - r.top};
  };
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, px(table.width));
  EXPECT_EQ(client.bottom, px(table.height));
  for (const layout::Control& c : table.controls) {
    if (!c.Shown()) continue;
    const int id = MainControlId(c.name);
    ASSERT_NE(id, 0) << c.name;
    ASSERT_NE(Ctl(id), nullptr) << c.name;
    EXPECT_EQ(placed(id), (std::vector<LONG>{px(c.place.left), px(c.place.top), px(c.place.width), px(c.place.height)}))
        << c.name;
  }

  // Made in the table's Tab order.
  std::vector<int> expected, made, tabbed;
  for (const layout::Control* c : table.TabOrder()) expected.push_back(MainControlId(c->name));
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    const int id = GetDlgCtrlID(child);
    if (std::find(expected.begin(), expected.end(), id) != expected.end()) made.push_back(id);
  }
  EXPECT_EQ(made, expected);

  // Tab from the first stop round to it again, over the hidden, the
  // disabled and the option that is not checked.
  std::vector<int> stops;
  for (int id : expected) {
    const auto style = static_cast<DWORD>(GetWindowLongW(Ctl(id), GWL_STYLE));
    if (IsWindowVisible(Ctl(id)) && IsWindowEnabled(Ctl(id)) && (style & WS_TABSTOP)) stops.push_back(id);
  }
  ASSERT_GE(stops.size(), 8u);  // the checked option, the boxes, the lists, the commands
  HWND at = Ctl(stops.front());
  do {
    tabbed.push_back(GetDlgCtrlID(at));
    at = GetNextDlgTabItem(window, at, FALSE);
  } while (at && at != Ctl(stops.front()) && tabbed.size() <= expected.size());
  EXPECT_EQ(tabbed, stops);

  // A notice too long for the message line wraps there, the window grows
  // by the lines and, standing at the bottom of the work area, moves up.
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor));
  const RECT& work = monitor.rcWork;
  RECT frame{};
  GetWindowRect(window, &frame);
  SetWindowPos(window, nullptr, frame.left, work.bottom - (frame.bottom - frame.top), 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ASSERT_TRUE(WaitFor([&] {
    GetWindowRect(window, &frame);
    return frame.bottom == work.bottom;
  }));
  Type(kText4, "東京都架空市本町１－２");
  Key(kText4, VK_RETURN);
  // Shown, grown and moved one after the other: the test waits for all three.
  RECT grown{};
  const bool settled = WaitFor([&] {
    GetClientRect(window, &grown);
    GetWindowRect(window, &frame);
    return Text(kLabel1_0).find("は辞書にない市区町村名です") != std::string::npos && grown.bottom > client.bottom &&
           frame.bottom <= work.bottom;
  });
  EXPECT_TRUE(settled) << Text(kLabel1_0) << "; client " << grown.bottom << " high (" << client.bottom
                       << " before), bottom at " << frame.bottom << " of " << work.bottom;
  EXPECT_GE(frame.top, work.top);
  const std::vector<LONG> line = placed(kLabel1_0), text4 = placed(kText4), exit = placed(kCommand3);
  EXPECT_EQ(line[3] - px(table["Label1(0)"].place.height), grown.bottom - client.bottom);
  EXPECT_LE(line[1] + line[3], text4[1]);
  const layout::Rect exitPlace = table["Command3"].place;
  EXPECT_EQ(exit[1] + exit[3], px(exitPlace.top) + px(exitPlace.height) + grown.bottom - client.bottom);

  // The list is shown before the heading is widened: the test waits for both.
  Click(kCommand2);
  const int searchWidth = px(table["Label2(0)"].other.width);
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(Ctl(kList1)) && placed(kLabel2_0)[2] == searchWidth; }))
      << placed(kLabel2_0)[2] << " wide, not " << searchWidth;
}
