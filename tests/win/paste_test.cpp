// kovant.exe pasting in pieces into another program's window: one that
// closes in the middle of the paste, and one slow to read each piece.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/win/kovantfixture.h"

namespace {

using namespace kovant::winui;
using namespace kovant::wintest;

// The address goes in four pieces with a Tab, an Enter and a Tab between.
const std::string kPieces = "〒100-0001\t東京都\r\n千代田区\t千代田";

struct PasteInPieces : Kovant {
  kovant::settings::Settings Configured() const override {
    kovant::settings::Settings s = kovant::settings::DefaultSettings();
    s.CopyAppl = kovant::settings::kSwitchOn;
    s.FindCaption = "貼り付け試験";
    s.CopyMode = kovant::settings::kCopyCurrentCode;
    s.Sep[1] = kovant::settings::kSepTab;   // after the code
    s.Sep[2] = kovant::settings::kSepCrLf;  // after the prefecture
    s.Sep[3] = kovant::settings::kSepTab;   // after the city
    return s;
  }

  struct Target {
    PROCESS_INFORMATION pi{};
    HWND window = nullptr;
    HWND box = nullptr;
  };
  std::vector<Target> targets;

  // One of our paste targets, started and shown.
  Target* StartTarget(const std::wstring& arguments) {
    Target t;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    std::wstring commandLine = L"\"" + (ExeDir() / L"kovant-pastetarget.exe").wstring() + L"\" " + arguments;
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &t.pi)) {
      return nullptr;
    }
    targets.push_back(t);
    Target* started = &targets.back();
    const bool shown = WaitFor([&] {
      started->window = OwnedTopWindow(started->pi.dwProcessId);
      started->box = started->window ? GetDlgItem(started->window, 1) : nullptr;
      return started->box != nullptr && IsWindowVisible(started->window);
    });
    return shown ? started : nullptr;
  }

  static HWND OwnedTopWindow(DWORD pid) { return TopWindowOf(pid, L"KovantPasteTarget"); }

  void TearDown() override {
    for (Target& t : targets) {
      if (IsWindow(t.window)) PostMessageW(t.window, WM_CLOSE, 0, 0);
      if (WaitForSingleObject(t.pi.hProcess, 5000) != WAIT_OBJECT_0) TerminateProcess(t.pi.hProcess, 1);
      CloseHandle(t.pi.hProcess);
      CloseHandle(t.pi.hThread);
    }
    Kovant::TearDown();
  }

  // "コピー" pressed; the message line read once the delivery is over.
  std::string Copy() {
    SendMessageW(Ctl(kLabel1_0), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    Click(kCommand4);
    std::string line;
    WaitFor([&] { return !(line = Text(kLabel1_0)).empty(); });
    return line;
  }
};

// The target closes at the first Tab, after the first piece: the paste
// stops there and says why, quickly, and no key of the rest goes to
// another window (a bystander of ours, or kovant.exe's own boxes). The
// program stays usable: a next copy into a target that takes its time
// over each piece pastes all of them, whole and in order.
TEST_F(PasteInPieces, TargetClosingMidPasteThenASlowTarget) {
  Target* bystander = StartTarget(L"傍観者の窓");
  ASSERT_NE(bystander, nullptr) << "the bystander window did not show";
  ShowTown();
  Target* closing = StartTarget(L"貼り付け試験 --close-on-tab");
  ASSERT_NE(closing, nullptr) << "the target did not show";
  const std::string supplement = Text(kText2);

  ULONGLONG began = GetTickCount64();
  EXPECT_EQ(Copy(), "貼り付け先のウィンドウが閉じられたため、貼り付けを途中で止めました。");
  const ULONGLONG stopped = GetTickCount64() - began;
  EXPECT_EQ(WaitForSingleObject(closing->pi.hProcess, kTimeoutMs), WAIT_OBJECT_0) << "the target did not close";
  ASSERT_TRUE(WaitFor([&] { return ClipboardText() == kPieces; })) << "the clipboard holds " << ClipboardText();
  EXPECT_EQ(TextOf(bystander->box), "") << "keys went to the bystander";
  EXPECT_EQ(Text(kText2), supplement) << "keys went to kovant.exe's supplement";
  EXPECT_EQ(Text(kText1), "1000001");
  EXPECT_TRUE(IsWindowEnabled(Ctl(kCommand4)));

  // Each piece read 250 ms after its paste key.
  Target* slow = StartTarget(L"貼り付け試験 --slow 250");
  ASSERT_NE(slow, nullptr) << "the slow target did not show";
  began = GetTickCount64();
  EXPECT_EQ(Copy(), "「貼り付け試験」に貼り付けました。");
  const ULONGLONG pasted = GetTickCount64() - began;
  EXPECT_EQ(TextOf(slow->box), kPieces);
  EXPECT_EQ(ClipboardText(), kPieces);
  EXPECT_EQ(TextOf(bystander->box), "");
  std::printf("stopped after the close in %llu ms; four slow pieces pasted in %llu ms\n", stopped, pasted);
}

}  // namespace
