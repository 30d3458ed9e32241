// The main window driven by the keyboard alone, the keys pressed as a user
// presses them: SendInput to kovant.exe in the foreground, so that they
// take the path real keys take (the system's input queue, the window's
// look at every key before its focused control, the dialog manager).
#include <windows.h>

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "tests/win/kovantfixture.h"

namespace {

using namespace kovant::winui;
using namespace kovant::wintest;

struct Keys : Kovant {
  // The copy takes the current code.
  kovant::settings::Settings Configured() const override {
    kovant::settings::Settings s = kovant::settings::DefaultSettings();
    s.CopyMode = kovant::settings::kCopyCurrentCode;
    return s;
  }

  // The control that has the keyboard focus in kovant.exe.
  HWND Focused() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(pi.dwThreadId, &info)) return nullptr;
    return info.hwndFocus;
  }

  bool InFront() {
    if (GetForegroundWindow() == window) return true;
    SetForegroundWindow(window);
    return WaitFor([&] { return GetForegroundWindow() == window; });
  }

  // A chord: the keys down in order, up in reverse.
  void Press(std::initializer_list<WORD> chord) {
    std::vector<INPUT> inputs;
    for (int up = 0; up < 2; ++up) {
      for (size_t i = 0; i < chord.size(); ++i) {
        const WORD vk = up ? chord.begin()[chord.size() - 1 - i] : chord.begin()[i];
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = vk;
        in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
        in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        if (vk == VK_LEFT || vk == VK_RIGHT || vk == VK_UP || vk == VK_DOWN || vk == VK_NEXT || vk == VK_PRIOR) {
          in.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
        }
        inputs.push_back(in);
      }
    }
    ASSERT_EQ(SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)), inputs.size());
  }
  void Press(WORD vk) {
    ASSERT_TRUE(InFront()) << "kovant.exe did not come to the front";
    Press({vk});
  }

  // Characters typed as an input method hands them over.
  void TypeKeys(const std::wstring& text) {
    ASSERT_TRUE(InFront()) << "kovant.exe did not come to the front";
    std::vector<INPUT> inputs;
    for (wchar_t c : text) {
      for (DWORD up : {DWORD{0}, DWORD{KEYEVENTF_KEYUP}}) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wScan = c;
        in.ki.dwFlags = KEYEVENTF_UNICODE | up;
        inputs.push_back(in);
      }
    }
    ASSERT_EQ(SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)), inputs.size());
  }

  // The focus put into a box by a press on it.
  void FocusBox(int id) {
    PostMessageW(Ctl(id), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    PostMessageW(Ctl(id), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    ASSERT_TRUE(WaitFor([&] { return Focused() == Ctl(id); })) << "no focus in box " << id;
  }

  int Selected(int id) const { return static_cast<int>(SendMessageW(Ctl(id), LB_GETCURSEL, 0, 0)); }
  int Top(int id) const { return static_cast<int>(SendMessageW(Ctl(id), LB_GETTOPINDEX, 0, 0)); }
  bool CopyEnabled() const { return IsWindowEnabled(Ctl(kCommand4)) != FALSE; }
  bool SelectedIs(int id, int index) {
    return WaitFor([&] { return Selected(id) == index; });
  }
  // Rows of the result list in one page, measured as a user counts them.
  int PageRows() const {
    RECT client{};
    GetClientRect(Ctl(kList1), &client);
    const auto row = static_cast<int>(SendMessageW(Ctl(kList1), LB_GETITEMHEIGHT, 0, 0));
    return row > 0 ? (client.bottom + row / 2) / row : 0;
  }
  // The address candidates' menu of kovant.exe while it is open. (Wine
  // keeps a menu's items in the process that made it: they are not read
  // from here.)
  HWND OpenMenu() const { return TopWindowOf(pi.dwProcessId, L"#32768", true); }
  // An address typed into the head search and Enter: the menu that opens.
  HWND OfferedFor(const std::wstring& address) {
    SendMessageTimeoutW(Ctl(kText4), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""), SMTO_ABORTIFHUNG, 5000, nullptr);
    FocusBox(kText4);  // a pick leaves the focus on the towns
    TypeKeys(address);
    EXPECT_TRUE(WaitFor([&] { return Text(kText4) == Narrow(address); })) << Text(kText4);
    Press(VK_RETURN);
    HWND menu = nullptr;
    EXPECT_TRUE(WaitFor([&] { return (menu = OpenMenu()) != nullptr; }))
        << "no candidates offered; the line says " << Text(kLabel1_0);
    return menu;
  }
  // A press of the left button at a point of the screen.
  static void ClickAt(POINT at) {
    INPUT in[3]{};
    const int w = GetSystemMetrics(SM_CXSCREEN) - 1, h = GetSystemMetrics(SM_CYSCREEN) - 1;
    in[0].type = in[1].type = in[2].type = INPUT_MOUSE;
    in[0].mi.dx = MulDiv(at.x, 65535, w);
    in[0].mi.dy = MulDiv(at.y, 65535, h);
    in[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(3, in, sizeof(INPUT));
  }
};

// The walk from a prefecture to a town by keys: paging from no selection,
// the arrows with the copy button's after-move rule, Enter's steps, Left
// and Right, the head search, and Enter pressing "コピー" once a town is
// shown; then the search mode's consumed arrows and Enter's search; last
// Ctrl+F1 against F1 alone on a minimised window.
TEST_F(Keys, WalkSearchAndRestoreByKeys) {
  ASSERT_TRUE(IsWindowVisible(Ctl(kText4))) << "not in the walk mode";
  ASSERT_EQ(Selected(kList2), -1);
  FocusBox(kText4);

  // Page Down from no selection: the last row of the first page.
  const int rows = PageRows();
  ASSERT_GT(rows, 1);
  Press(VK_NEXT);
  EXPECT_TRUE(SelectedIs(kList2, rows - 1)) << Selected(kList2) << " for " << rows << " rows a page";
  EXPECT_EQ(Focused(), Ctl(kText4)) << "Page Down is not consumed, but the box has no use for it";
  Press(VK_PRIOR);
  EXPECT_TRUE(SelectedIs(kList2, 0));
  Press(VK_UP);  // on the first entry: stays
  Press(VK_DOWN);
  EXPECT_TRUE(SelectedIs(kList2, 1));
  Press(VK_UP);
  ASSERT_TRUE(SelectedIs(kList2, 0));
  EXPECT_EQ(Item(kList2, 0), "北海道");
  EXPECT_FALSE(CopyEnabled());

  // Enter steps down: the cities, then the towns; Down on the towns shows one.
  Press(VK_RETURN);
  ASSERT_TRUE(WaitFor([&] { return Find(kList3, "札幌市南区") >= 0; })) << Count(kList3) << " cities";
  EXPECT_EQ(Count(kList3), 3);
  EXPECT_EQ(Selected(kList3), -1);
  Press(VK_DOWN);
  ASSERT_TRUE(SelectedIs(kList3, 0));
  const std::string city = Item(kList3, 0);
  EXPECT_FALSE(CopyEnabled()) << "a city picked shows no address";
  Press(VK_RETURN);
  ASSERT_TRUE(WaitFor([&] { return Count(kList4) > 1; })) << "no towns of " << city;
  Press(VK_DOWN);
  ASSERT_TRUE(WaitFor([&] { return CopyEnabled() && !Text(kLabel3_1).empty(); })) << "no town shown";
  const std::string firstCode = Text(kLabel3_1);
  Press(VK_DOWN);
  ASSERT_TRUE(SelectedIs(kList4, 1));
  ASSERT_TRUE(WaitFor([&] { return Text(kLabel3_1) != firstCode; })) << "the second town not shown";
  Press(VK_UP);
  ASSERT_TRUE(WaitFor([&] { return Text(kLabel3_1) == firstCode; })) << "the first town not shown again";
  Press(VK_UP);    // on the first entry: it stays, and is shown again
  Press(VK_LEFT);  // back to the cities: no address to copy
  ASSERT_TRUE(WaitFor([&] { return !CopyEnabled(); }));
  EXPECT_EQ(Selected(kList4), 0);
  EXPECT_EQ(Text(kLabel3_1), firstCode);
  const int towns = Count(kList4);
  // Right on the picked city lists its towns afresh, none picked.
  Press(VK_RIGHT);
  ASSERT_TRUE(SelectedIs(kList4, -1));
  EXPECT_EQ(Count(kList4), towns);
  Press(VK_LEFT);
  Press(VK_LEFT);  // on the prefectures; a third Left stays there
  Press(VK_LEFT);

  // The head search: a prefix typed, its first entry picked and brought to
  // the top, "コピー" off; Enter then steps on.
  TypeKeys(L"東");
  ASSERT_TRUE(WaitFor([&] { return Selected(kList2) >= 0 && Item(kList2, Selected(kList2)) == "東京都"; }))
      << Selected(kList2) << " " << Text(kText4);
  EXPECT_EQ(Top(kList2), Selected(kList2));
  EXPECT_FALSE(CopyEnabled());
  Press(VK_RETURN);
  ASSERT_TRUE(WaitFor([&] { return Find(kList3, "千代田区") >= 0; }));
  EXPECT_EQ(Text(kText4), "") << "a step empties the head search";
  TypeKeys(L"千");
  ASSERT_TRUE(SelectedIs(kList3, Find(kList3, "千代田区")));
  Press(VK_RETURN);
  ASSERT_TRUE(WaitFor([&] { return Find(kList4, "千代田") >= 0; }));
  TypeKeys(L"千代");
  ASSERT_TRUE(SelectedIs(kList4, Find(kList4, "千代田")));
  EXPECT_FALSE(CopyEnabled()) << "the head search picked the entry, not shown it";
  EXPECT_NE(Text(kLabel3_1), "100-0001");
  Press(VK_RETURN);
  ASSERT_TRUE(WaitFor([&] { return Text(kLabel3_1) == "100-0001"; })) << Text(kLabel3_1);
  ASSERT_TRUE(WaitFor([&] { return CopyEnabled(); }));
  EXPECT_EQ(ClipboardText(), "");
  // Now Enter presses "コピー".
  Press(VK_RETURN);
  ASSERT_TRUE(WaitFor([&] { return ClipboardText() == "〒100-0001東京都千代田区千代田"; })) << ClipboardText();

  // The search mode: the arrows left and right are the window's and do
  // nothing, so the caret stays at the end of the code typed; Enter searches.
  Click(kCommand2);
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(Ctl(kText1)) != FALSE; }));
  FocusBox(kText1);
  TypeKeys(L"100");
  ASSERT_TRUE(WaitFor([&] { return Text(kText1) == "100"; })) << Text(kText1);
  Press(VK_LEFT);
  Press(VK_LEFT);
  Press(VK_RIGHT);
  Press(VK_LEFT);
  TypeKeys(L"0001");
  ASSERT_TRUE(WaitFor([&] { return Text(kText1) == "1000001"; })) << Text(kText1) << ": the caret moved";
  EXPECT_FALSE(CopyEnabled());
  Press(VK_RETURN);
  ASSERT_TRUE(WaitFor([&] { return Count(kList1) == 1; })) << Count(kList1) << " found";
  Press(VK_DOWN);
  ASSERT_TRUE(WaitFor([&] { return Text(kText3) == "東京都千代田区千代田"; })) << Text(kText3);
  EXPECT_TRUE(CopyEnabled());

  // F1 alone leaves a minimised window as it is; Ctrl+F1 brings it back.
  // Under Wine an iconified window gives the input focus up to the
  // desktop, so keys from the input queue cannot reach it: F1 is posted to
  // the box that had the focus, and Ctrl is held in the key state that
  // kovant.exe's thread shares with ours for the moment.
  ASSERT_TRUE(WaitFor([&] { return Text(kText1) == "1000001"; }));
  SendMessageW(Ctl(kText1), EM_SETSEL, 7, 7);
  ShowWindow(window, SW_MINIMIZE);
  ASSERT_TRUE(WaitFor([&] { return IsIconic(window) != FALSE; }));
  const auto postKey = [&](UINT message, WPARAM key) { PostMessageW(Ctl(kText1), message, key, 1); };
  postKey(WM_KEYDOWN, VK_F1);
  postKey(WM_KEYUP, VK_F1);
  postKey(WM_CHAR, VK_BACK);  // read after F1: when it has been, so has F1
  ASSERT_TRUE(WaitFor([&] { return Text(kText1) == "100000"; })) << Text(kText1);
  EXPECT_TRUE(IsIconic(window)) << "F1 alone restored the window";
  ASSERT_TRUE(AttachThreadInput(GetCurrentThreadId(), pi.dwThreadId, TRUE));
  BYTE state[256] = {};
  GetKeyboardState(state);
  state[VK_CONTROL] = state[VK_LCONTROL] = 0x80;
  SetKeyboardState(state);
  postKey(WM_KEYDOWN, VK_F1);
  postKey(WM_KEYUP, VK_F1);
  EXPECT_TRUE(WaitFor([&] { return !IsIconic(window); })) << "Ctrl+F1 left the window minimised";
  state[VK_CONTROL] = state[VK_LCONTROL] = 0;
  SetKeyboardState(state);
  AttachThreadInput(GetCurrentThreadId(), pi.dwThreadId, FALSE);
}

// An address that names several towns offers them; the first comes up
// chosen, so Enter takes it; Down moves to the next; a click takes the
// one under the pointer; Escape takes none and leaves what was shown.
TEST_F(Keys, AnAddressOffersItsTownsToKeysAndMouse) {
  ASSERT_TRUE(IsWindowVisible(Ctl(kText4))) << "not in the walk mode";
  // The hand-written sample has six towns 本町 in a ward 中央区, in this order.
  const std::vector<std::string> codes = {"061-0011", "261-0011", "951-0011", "651-0011", "811-0011", "861-0011"};
  HWND menu = OfferedFor(L"中央区本町");
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(Text(kLabel1_0), "候補が 6 件あります。選んでください。");
  Press(VK_RETURN);
  ASSERT_TRUE(WaitFor([&] { return OpenMenu() == nullptr && Text(kLabel3_1) == codes[0]; })) << Text(kLabel3_1);
  EXPECT_EQ(Text(kText3), "北海道札幌市中央区本町");
  EXPECT_TRUE(CopyEnabled());

  ASSERT_NE(OfferedFor(L"中央区本町"), nullptr);
  Press(VK_DOWN);
  Press(VK_RETURN);
  ASSERT_TRUE(WaitFor([&] { return OpenMenu() == nullptr && Text(kLabel3_1) == codes[1]; })) << Text(kLabel3_1);

  // The menu's six rows share its height: the fourth is pressed.
  menu = OfferedFor(L"中央区本町");
  ASSERT_NE(menu, nullptr);
  RECT rows{};
  GetClientRect(menu, &rows);
  POINT at{rows.right / 2, rows.bottom * 7 / 12};
  ClientToScreen(menu, &at);
  ClickAt(at);
  ASSERT_TRUE(WaitFor([&] { return OpenMenu() == nullptr && Text(kLabel3_1) == codes[3]; })) << Text(kLabel3_1);
  EXPECT_EQ(Text(kText3), "兵庫県神戸市中央区本町");

  ASSERT_NE(OfferedFor(L"中央区本町"), nullptr);
  Press(VK_ESCAPE);
  ASSERT_TRUE(WaitFor([&] { return OpenMenu() == nullptr; }));
  EXPECT_EQ(Text(kLabel3_1), codes[3]) << "Escape chose a town";
}

}  // namespace
