// The delivery in a Wayland session of a wlroots compositor: a headless sway
// of its own, a native Wayland target window, and the paste sequence through
// the window list, data control and the virtual keyboard.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <filesystem>
#include <fstream>

#include "copy/delivery.h"
#include "dicfixture.h"
#include "platform/waylanddesktop.h"
#include "pasting.h"
#include "process.h"

namespace kovant::test {
namespace {

using namespace std::chrono_literals;

struct Wayland : ::testing::Test {
  std::string home, runtime, clients, socket;
  std::unique_ptr<Background> sway;  // or KWin
  bool xwayland = false;             // an X server for X11 programs beside the Wayland ones
  bool kde = false;                  // KWin instead of sway

  void SetUp() override {
    if (kde) return StartKwin();
    if (RunProcess("command -v sway").status != 0) GTEST_SKIP() << "sway is not installed";
    home = TempFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    runtime = home + "/runtime";
    std::filesystem::create_directories(runtime);
    std::ofstream(home + "/sway.conf") << (xwayland ? "xwayland force\n" : "xwayland disable\n");
    std::vector<std::string> argv = {"/usr/bin/env",
                                     "-i",
                                     "HOME=" + home,
                                     "XDG_RUNTIME_DIR=" + runtime,
                                     "WLR_BACKENDS=headless",
                                     "WLR_LIBINPUT_NO_DEVICES=1",
                                     "WLR_RENDERER=pixman",
                                     "/usr/bin/sway",
                                     "-c",
                                     home + "/sway.conf"};
    // sway refuses to run as root: it runs as nobody, in a folder of its own.
    if (geteuid() == 0) {
      RunProcess("chown -R nobody " + Quote(home) + " && chmod 0755 " + Quote(home) + " && chmod 0700 " +
                 Quote(runtime));
      argv.insert(argv.begin(), {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"});
    }
    sway = std::make_unique<Background>(argv);
    ASSERT_NO_FATAL_FAILURE(Connect(runtime + "/wayland-1"));
  }

  // A headless KWin. Its installed binary carries a file capability that
  // a container may refuse, and its Qt plugin answers only to the name
  // kwin_wayland: a plain copy of that name runs.
  void StartKwin() {
    if (RunProcess("command -v kwin_wayland").status != 0) GTEST_SKIP() << "KWin is not installed";
    home = TempFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    runtime = home + "/runtime";
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    std::filesystem::create_directories(home + "/bin");
    std::filesystem::copy_file("/usr/bin/kwin_wayland", home + "/bin/kwin_wayland");
    // KWin shows its windows and takes keys only from programs whose
    // .desktop file asks for it, as the package's does for ours.
    std::filesystem::create_directories(home + "/share/applications");
    const std::vector<std::string> programs = {std::filesystem::read_symlink("/proc/self/exe").string(),
                                               std::filesystem::canonical(Bin("kovant")).string()};
    for (size_t i = 0; i < programs.size(); ++i) {
      std::ofstream(home + "/share/applications/kovant-test-" + std::to_string(i) + ".desktop")
          << "[Desktop Entry]\nType=Application\nName=kovant test\nExec=" << programs[i]
          << "\nX-KDE-Wayland-Interfaces=org_kde_plasma_window_management,org_kde_kwin_fake_input\n";
    }
    // It talks much; what it says goes into a file of its own.
    sway = std::make_unique<Background>(
        std::vector<std::string>{"/bin/sh", "-c", "exec \"$0\" \"$@\" > " + Quote(home + "/kwin.log") + " 2>&1",
                                 "/usr/bin/env", "-i", "HOME=" + home, "XDG_RUNTIME_DIR=" + runtime,
                                 "XDG_DATA_DIRS=" + home + "/share:/usr/share", "XDG_CONFIG_HOME=" + home + "/config",
                                 "XDG_CACHE_HOME=" + home + "/cache", "PATH=/usr/bin:/bin", home + "/bin/kwin_wayland",
                                 "--virtual", "--socket", "wayland-kde", "--no-lockscreen", "--no-global-shortcuts"});
    ASSERT_NO_FATAL_FAILURE(Connect(runtime + "/wayland-kde"));
  }

  void Connect(const std::string& path) {
    // Our own programs keep their runtime files apart from the compositor's.
    clients = TempFolder(std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-clients");
    std::filesystem::permissions(clients, std::filesystem::perms::owner_all);
    socket = path;
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(socket); }, std::chrono::seconds(20)))
        << "the compositor did not start";
    setenv("WAYLAND_DISPLAY", socket.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("WAYLAND_DISPLAY");
    sway.reset();
  }

  // A command to sway over its IPC socket.
  bool SwayMsg(const std::string& command) {
    std::string ipc;
    for (const auto& e : std::filesystem::directory_iterator(runtime)) {
      if (e.path().filename().string().rfind("sway-ipc.", 0) == 0) ipc = e.path().string();
    }
    return !ipc.empty() && RunProcess("swaymsg -s " + Quote(ipc) + " " + Quote(command)).status == 0;
  }
  // Runs a shell command as sway's child: as its user, with its DISPLAY.
  bool SwayExec(const std::string& command) { return SwayMsg("exec " + command); }

  // The program as a native Wayland client, with its files in clients. In
  // the sanitizer build, the leaks of Qt's Wayland plugin are not ours.
  std::vector<std::string> Kovant() const {
    const char* asan = std::getenv("ASAN_OPTIONS");
    return {"/usr/bin/env",
            "QT_QPA_PLATFORM=wayland",
            "XDG_RUNTIME_DIR=" + clients,
            "KOVANT_HOME=" + clients,
            "KOVANT_REGISTRY=" + clients + "/registry",
            std::string("ASAN_OPTIONS=") + (asan ? asan : "") + ":fast_unwind_on_malloc=0",
            std::string("LSAN_OPTIONS=suppressions=") + KOVANT_SOURCE_DIR + "/tests/lsan-qt-wayland.supp",
            Bin("kovant")};
  }

  // Our editor as a native Wayland window; it writes what arrives into out.
  std::unique_ptr<Background> StartTarget(const std::string& caption, const std::string& out,
                                          const std::string& how = "--shown") {
    return std::make_unique<Background>(std::vector<std::string>{"/usr/bin/env", "QT_QPA_PLATFORM=wayland",
                                                                 "XDG_RUNTIME_DIR=" + clients, Bin("kovant-target"),
                                                                 caption, out, how});
  }

  // The cases every compositor that shows its windows goes through.
  void PiecesAndKeysArriveInANativeWindowFoundByItsTitle();
  void MinimisedAndMaximisedTargetsAreBroughtBack();
  void AGtkEditorReceivesThePiecesAndKeys();
  void ASecondStartBringsTheRunningWindowForward();
  void TheProgramPastesItsAddressIntoANativeWindow();
  void ACallUpOverTheLinkBringsTheWindowForward();
  void ASlowTargetLosesNoPieceAndATooSlowOneIsToldOf();
};

struct Kde : Wayland {
  Kde() { kde = true; }
};

// In our window, in the search mode with the focus in the code box: the user
// pastes a code, searches, picks the first row and presses Enter for "コピー".
void SearchPickAndCopy(platform::WaylandDesktop& desktop, const std::string& code) {
  desktop.SetText(code);
  for (platform::Key key : {platform::Key::Paste, platform::Key::Enter, platform::Key::Down, platform::Key::Enter}) {
    ASSERT_TRUE(desktop.SendKey(key));
    if (key == platform::Key::Paste) desktop.WaitForPaste();
  }
}

bool Listed(platform::Desktop& desktop, const std::string& caption) {
  for (const auto& w : desktop.TopLevelWindows()) {
    if (w.caption == caption) return true;
  }
  return false;
}

void Wayland::PiecesAndKeysArriveInANativeWindowFoundByItsTitle() {
  const std::string out = home + "/arrived.txt";
  auto target = StartTarget("無題 - メモ帳", out);
  auto desktop = platform::MakeWaylandDesktop();
  ASSERT_NE(desktop, nullptr) << "sway offers no window list, data control or virtual keyboard";
  ASSERT_TRUE(WaitFor([&] { return Listed(*desktop, "無題 - メモ帳"); }));

  settings::Settings settings = PasteInto("メモ");
  copy::Delivery delivery = DeliveryOver(*desktop);
  // A clipboard watcher fetches every new text as it comes.
  std::unique_ptr<Background> watcher;
  if (RunProcess("command -v wl-paste").status == 0) {
    watcher = std::make_unique<Background>(
        std::vector<std::string>{"/bin/sh", "-c", "exec wl-paste --watch cat >> " + Quote(home + "/watched.txt")});
  }
  std::string found;
  const std::string text = "〒100-0001\t東京都\r\n千代田区千代田\t\t";
  EXPECT_EQ(delivery.Deliver(text, {}, settings, found), copy::Delivered::Pasted);
  EXPECT_EQ(found, "無題 - メモ帳");
  EXPECT_TRUE(WaitFor([&] { return ReadAll(out) == "〒100-0001\t東京都\n千代田区千代田\t\t"; })) << ReadAll(out);
  EXPECT_EQ(desktop->Text(), text);
  if (watcher) {
    // Other programs read the whole text from the clipboard afterwards; we
    // answer them from the event loop, as the program does.
    Background reader({"/bin/sh", "-c", "exec wl-paste --no-newline > " + Quote(home + "/pasted.txt")});
    EXPECT_TRUE(WaitFor([&] {
      QCoreApplication::processEvents();
      return ReadAll(home + "/pasted.txt") == text;
    })) << ReadAll(home + "/pasted.txt");
    EXPECT_NE(ReadAll(home + "/watched.txt").find("千代田区千代田"), std::string::npos);
  }

  // Fifty rounds in a row arrive whole and in order.
  std::string expected = ReadAll(out);
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 50; ++i) {
    ASSERT_EQ(delivery.Deliver("あ" + std::to_string(i) + "\tい\r\n", {}, settings, found), copy::Delivered::Pasted);
    expected += "あ" + std::to_string(i) + "\tい\n";
  }
  const auto perRound =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start) / 50;
  std::printf("one round of two pieces and two keys: %lld ms\n", static_cast<long long>(perRound.count()));
  RecordProperty("round_ms", static_cast<int>(perRound.count()));
  EXPECT_TRUE(WaitFor([&] { return ReadAll(out) == expected; })) << ReadAll(out).substr(0, 400);

  settings.FindCaption = "どこにもない";
  EXPECT_EQ(delivery.Deliver(text, {}, settings, found), copy::Delivered::TargetNotFound);
}

void Wayland::MinimisedAndMaximisedTargetsAreBroughtBack() {
  auto desktop = platform::MakeWaylandDesktop();
  ASSERT_NE(desktop, nullptr);
  copy::Delivery delivery = DeliveryOver(*desktop);
  for (const std::string how : {"--minimized", "--maximized"}) {
    const std::string out = home + "/" + how.substr(2) + ".txt";
    auto target = StartTarget("窓 " + how, out, how);
    ASSERT_TRUE(WaitFor([&] { return Listed(*desktop, "窓 " + how); })) << how;
    std::string found;
    EXPECT_EQ(delivery.Deliver("〒100-0001\t" + how, {}, PasteInto(how), found), copy::Delivered::Pasted);
    EXPECT_TRUE(WaitFor([&] { return ReadAll(out) == "〒100-0001\t" + how; })) << how << ": " << ReadAll(out);
  }
}

void Wayland::AGtkEditorReceivesThePiecesAndKeys() {
  if (RunProcess("/usr/bin/python3 -c 'import gi; gi.require_version(\"Gtk\", \"3.0\")'").status != 0) {
    GTEST_SKIP() << "GTK's Python bindings are not installed";
  }
  const std::string out = home + "/gtk.txt";
  Background editor({"/usr/bin/env", "GDK_BACKEND=wayland", "NO_AT_BRIDGE=1", "XDG_RUNTIME_DIR=" + clients,
                     "/usr/bin/python3", std::string(KOVANT_SOURCE_DIR) + "/tests/gtktarget.py", "GTK の窓", out});
  auto desktop = platform::MakeWaylandDesktop();
  ASSERT_NE(desktop, nullptr);
  ASSERT_TRUE(WaitFor([&] { return Listed(*desktop, "GTK の窓"); }, 10000ms));
  copy::Delivery delivery = DeliveryOver(*desktop);
  std::string found, expected;
  // GTK inserts a moment after it fetched: without the wait after each
  // fetch, the next key overtakes the text.
  for (int i = 0; i < 10; ++i) {
    ASSERT_EQ(delivery.Deliver("〒100-0001\t東京都\r\n千代田区千代田" + std::to_string(i) + "\r\n", {},
                               PasteInto("gtk"), found),
              copy::Delivered::Pasted);
    expected += "〒100-0001\t東京都\n千代田区千代田" + std::to_string(i) + "\n";
  }
  EXPECT_TRUE(WaitFor([&] { return ReadAll(out) == expected; })) << ReadAll(out);
}

// Our GTK editor as a native Wayland window, busy N of every M ms where
// busy is "N/M".
std::vector<std::string> GtkTarget(const std::string& clients, const std::string& caption, const std::string& out,
                                   const std::string& busy) {
  std::vector<std::string> argv = {"/usr/bin/env",
                                   "GDK_BACKEND=wayland",
                                   "NO_AT_BRIDGE=1",
                                   "XDG_RUNTIME_DIR=" + clients,
                                   "/usr/bin/python3",
                                   std::string(KOVANT_SOURCE_DIR) + "/tests/gtktarget.py",
                                   caption,
                                   out};
  if (!busy.empty()) argv.insert(argv.end(), {"--busy", busy});
  return argv;
}

void Wayland::ASlowTargetLosesNoPieceAndATooSlowOneIsToldOf() {
  KOVANT_PACE_CASE();
  if (RunProcess("/usr/bin/python3 -c 'import gi; gi.require_version(\"Gtk\", \"3.0\")'").status != 0) {
    GTEST_SKIP() << "GTK's Python bindings are not installed";
  }
  auto desktop = platform::MakeWaylandDesktop();
  ASSERT_NE(desktop, nullptr);
  copy::Delivery delivery = DeliveryOver(*desktop);
  const int rounds = PasteRounds();
  for (const std::string busy : {"", "70/100", "95/100"}) {
    const std::string caption = "遅い窓 " + (busy.empty() ? std::string("normal") : busy);
    const std::string out = home + "/slow-" + busy.substr(0, busy.find('/')) + ".txt";
    Background editor(GtkTarget(clients, caption, out, busy));
    ASSERT_TRUE(WaitFor([&] { return Listed(*desktop, caption); }, 10000ms)) << caption;
    const int intact = IntactRounds(delivery, caption, out, rounds);
    std::printf("%s: %d of %d rounds intact\n", caption.c_str(), intact, rounds);
    RecordProperty(busy.empty() ? "normal" : busy, intact);
    EXPECT_EQ(intact, rounds) << caption;
  }
  // Busy from the moment it has the focus, longer than any bound: the paste stops
  // with a piece still on the clipboard, and what arrives late is the text
  // up to that piece, never another.
  const std::string out = home + "/stuck.txt", text = "〒100-0001\t東京都";
  Background stuck(GtkTarget(clients, "止まる窓", out, "10000/11000"));
  ASSERT_TRUE(WaitFor([&] { return Listed(*desktop, "止まる窓"); }, 10000ms));
  std::string found;
  EXPECT_EQ(delivery.Deliver(text, {}, PasteInto("止まる窓"), found), copy::Delivered::Unconfirmed);
  const std::string held = desktop->Text();
  ASSERT_NE(text.find(held), std::string::npos) << held;
  const std::string upToHeld = text.substr(0, text.find(held) + held.size());
  // Answered from the event loop, as the program does.
  EXPECT_TRUE(WaitFor(
      [&] {
        QCoreApplication::processEvents();
        return ReadAll(out) == upToHeld;
      },
      20000ms))
      << ReadAll(out);
}

TEST_F(Wayland, ASlowTargetLosesNoPieceAndATooSlowOneIsToldOf) { ASlowTargetLosesNoPieceAndATooSlowOneIsToldOf(); }
TEST_F(Kde, ASlowTargetLosesNoPieceAndATooSlowOneIsToldOf) { ASlowTargetLosesNoPieceAndATooSlowOneIsToldOf(); }

TEST_F(Wayland, PiecesAndKeysArriveInANativeWindowFoundByItsTitle) {
  PiecesAndKeysArriveInANativeWindowFoundByItsTitle();
}
TEST_F(Wayland, MinimisedAndMaximisedTargetsAreBroughtBack) { MinimisedAndMaximisedTargetsAreBroughtBack(); }
TEST_F(Kde, PiecesAndKeysArriveInANativeWindowFoundByItsTitle) { PiecesAndKeysArriveInANativeWindowFoundByItsTitle(); }
TEST_F(Kde, MinimisedAndMaximisedTargetsAreBroughtBack) { MinimisedAndMaximisedTargetsAreBroughtBack(); }
TEST_F(Wayland, AGtkEditorReceivesThePiecesAndKeys) { AGtkEditorReceivesThePiecesAndKeys(); }
TEST_F(Kde, AGtkEditorReceivesThePiecesAndKeys) { AGtkEditorReceivesThePiecesAndKeys(); }

std::string Frontmost(platform::Desktop& desktop) {
  const auto windows = desktop.TopLevelWindows();
  return windows.empty() ? std::string() : windows.front().caption;
}

// The window in front, as a user would click it there: a compositor may keep
// the focus from a new window while another program is still starting.
bool PutInFront(platform::Desktop& desktop, const std::string& caption) {
  return WaitFor([&] {
    if (Frontmost(desktop) == caption) return true;
    for (const auto& w : desktop.TopLevelWindows()) {
      if (w.caption == caption) desktop.Activate(w.id);
    }
    return Frontmost(desktop) == caption;
  });
}

void Wayland::ASecondStartBringsTheRunningWindowForward() {
  std::filesystem::copy_file(KOVANT_SAMPLE_DIC, clients + "/KOVANT.DIC");
  const std::vector<std::string> kovant = Kovant();
  Background first(kovant);
  auto desktop = platform::MakeWaylandDesktop();
  ASSERT_NE(desktop, nullptr);
  // Up and settled in front: a slow start (the sanitizer build) that is
  // still activating itself would otherwise take the target's place.
  ASSERT_TRUE(WaitFor([&] { return Frontmost(*desktop) == "ぴこらん Ver. 1.31"; })) << Frontmost(*desktop);
  auto target = StartTarget("手前の窓", home + "/unused.txt");
  ASSERT_TRUE(PutInFront(*desktop, "手前の窓")) << Frontmost(*desktop);
  Background second(kovant);
  EXPECT_EQ(second.WaitExit(15000ms), 0);  // a loaded machine starts Qt slowly
  EXPECT_TRUE(WaitFor([&] { return Frontmost(*desktop) == "ぴこらん Ver. 1.31"; })) << Frontmost(*desktop);
}

void Wayland::TheProgramPastesItsAddressIntoANativeWindow() {
  std::filesystem::copy_file(KOVANT_SAMPLE_DIC, clients + "/KOVANT.DIC");
  std::ofstream(clients + "/KOVANT.INI", std::ios::binary)
      << "[Parms]\r\nStartMode=1\r\nCopyMode=1\r\nCopyAppl=1\r\nFindCaption=gedit\r\nSep2=2\r\n";
  const std::string out = home + "/arrived.txt";
  auto target = StartTarget("報告.txt - gedit", out);
  Background kovant(Kovant());
  auto desktop = platform::MakeWaylandDesktop();
  ASSERT_NE(desktop, nullptr);
  ASSERT_TRUE(WaitFor([&] { return Frontmost(*desktop) == "ぴこらん Ver. 1.31"; })) << Frontmost(*desktop);
  // The user pastes a code into the search box, searches, picks, copies.
  ASSERT_NO_FATAL_FAILURE(SearchPickAndCopy(*desktop, "100-0001"));
  EXPECT_TRUE(WaitFor([&] { return ReadAll(out) == "〒100-0001\t東京都千代田区千代田"; })) << ReadAll(out);
}

void Wayland::ACallUpOverTheLinkBringsTheWindowForward() {
  if (!std::getenv("DBUS_SESSION_BUS_ADDRESS")) GTEST_SKIP() << "no session bus: run under scripts/with-desktop";
  std::filesystem::copy_file(KOVANT_SAMPLE_DIC, clients + "/KOVANT.DIC");
  Background kovant(Kovant());
  auto desktop = platform::MakeWaylandDesktop();
  ASSERT_NE(desktop, nullptr);
  // Up and settled in front: a slow start (the sanitizer build) that is
  // still activating itself would otherwise take the target's place.
  ASSERT_TRUE(WaitFor([&] { return Frontmost(*desktop) == "ぴこらん Ver. 1.31"; })) << Frontmost(*desktop);
  auto target = StartTarget("呼び出し元", home + "/unused.txt");
  ASSERT_TRUE(PutInFront(*desktop, "呼び出し元")) << Frontmost(*desktop);
  const std::string poke =
      "gdbus call --session --dest com.morvix.KOVANT --object-path /KOVANT --method com.morvix.KOVANT.Link.Poke ";
  ASSERT_TRUE(WaitFor([&] { return RunProcess(poke + "Cmd go").status == 0; }));
  EXPECT_TRUE(WaitFor([&] { return Frontmost(*desktop) == "ぴこらん Ver. 1.31"; })) << Frontmost(*desktop);
}

TEST_F(Wayland, ASecondStartBringsTheRunningWindowForward) { ASecondStartBringsTheRunningWindowForward(); }
TEST_F(Kde, ASecondStartBringsTheRunningWindowForward) { ASecondStartBringsTheRunningWindowForward(); }
TEST_F(Wayland, TheProgramPastesItsAddressIntoANativeWindow) { TheProgramPastesItsAddressIntoANativeWindow(); }
TEST_F(Kde, TheProgramPastesItsAddressIntoANativeWindow) { TheProgramPastesItsAddressIntoANativeWindow(); }

TEST_F(Wayland, ACallUpOverTheLinkBringsTheWindowForward) { ACallUpOverTheLinkBringsTheWindowForward(); }
TEST_F(Kde, ACallUpOverTheLinkBringsTheWindowForward) { ACallUpOverTheLinkBringsTheWindowForward(); }

struct XWayland : Wayland {
  XWayland() { xwayland = true; }
};

TEST_F(XWayland, AnX11WindowUnderXWaylandReceivesThePiecesToo) {
  const std::string out = home + "/xwayland.txt";  // written by sway's user
  // Run by sway's user, who may not reach the build tree (under /root, say).
  const std::string program = home + "/kovant-target";
  std::filesystem::copy_file(Bin("kovant-target"), program);
  std::filesystem::permissions(program, std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                            std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                                            std::filesystem::perms::others_exec);
  ASSERT_TRUE(SwayExec("QT_QPA_PLATFORM=xcb " + program + " 'X11 の窓' " + out));
  auto desktop = platform::MakeWaylandDesktop();
  ASSERT_NE(desktop, nullptr);
  ASSERT_TRUE(WaitFor([&] { return Listed(*desktop, "X11 の窓"); }, 10000ms));
  settings::Settings settings = PasteInto("x11");
  copy::Delivery delivery = DeliveryOver(*desktop);
  std::string found;
  EXPECT_EQ(delivery.Deliver("〒100-0001\t東京都\r\n千代田区千代田", {}, settings, found), copy::Delivered::Pasted);
  EXPECT_TRUE(WaitFor([&] { return ReadAll(out) == "〒100-0001\t東京都\n千代田区千代田"; })) << ReadAll(out);
}

TEST_F(Wayland, TheLastCopyOutlivesTheProgramUntilAnotherCopies) {
  if (RunProcess("command -v wl-paste").status != 0) GTEST_SKIP() << "wl-clipboard is not installed";
  std::filesystem::copy_file(KOVANT_SAMPLE_DIC, clients + "/KOVANT.DIC");
  std::ofstream(clients + "/KOVANT.INI", std::ios::binary) << "[Parms]\r\nStartMode=1\r\nCopyMode=1\r\n";
  Background kovant(Kovant());
  auto desktop = platform::MakeWaylandDesktop();
  ASSERT_NE(desktop, nullptr);
  ASSERT_TRUE(WaitFor([&] { return Frontmost(*desktop) == "ぴこらん Ver. 1.31"; })) << Frontmost(*desktop);
  ASSERT_NO_FATAL_FAILURE(SearchPickAndCopy(*desktop, "1000001"));
  const std::string text = "〒100-0001東京都千代田区千代田";
  auto pasted = [] { return RunProcess("timeout 5 wl-paste --no-newline").out; };
  ASSERT_TRUE(WaitFor([&] { return pasted() == text; })) << pasted();
  // The close box; the program ends and its keeper serves the text.
  ASSERT_TRUE(SwayMsg("[title=\"^ぴこらん\"] kill"));
  // Ends within milliseconds; the bound is for a machine under load.
  EXPECT_EQ(kovant.WaitExit(20000ms), 0);
  EXPECT_TRUE(WaitFor([&] { return pasted() == text; })) << pasted();
  EXPECT_EQ(RunProcess("timeout 5 wl-paste --primary --no-newline").out, text);
  auto keeperRuns = [] { return RunProcess("pgrep -f -- '--keep-wayland-clipboar[d]'").status == 0; };
  EXPECT_TRUE(keeperRuns());
  // wl-copy leaves a server behind that would hold our pipe open.
  RunProcess("timeout 5 wl-copy other > /dev/null");
  EXPECT_TRUE(WaitFor([&] { return !keeperRuns(); }));
}

}  // namespace
}  // namespace kovant::test
