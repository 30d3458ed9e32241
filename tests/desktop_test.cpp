// The program for real: under an X server with a window manager and a
// session bus (scripts/with-desktop provides them), with real second
// processes: our target editor, xdotool, gdbus and xclip.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "dicfixture.h"
#include "process.h"

namespace kovant::test {
namespace {

using namespace std::chrono_literals;

std::string Sh(const std::string& command) {
  ProcessResult r = RunProcess(command);
  while (!r.out.empty() && r.out.back() == '\n') r.out.pop_back();
  return r.out;
}

// The first window whose name matches the pattern, waiting for it to appear.
std::string WaitWindow(const std::string& pattern) {
  for (int i = 0; i < 100; ++i) {
    std::string ids = Sh("xdotool search --name " + Quote(pattern) + " 2>/dev/null");
    if (!ids.empty()) return ids.substr(0, ids.find('\n'));
    std::this_thread::sleep_for(50ms);
  }
  return {};
}

std::string Clipboard() { return RunProcess("xclip -o -selection clipboard").out; }

std::string Gdbus(const std::string& method, const std::string& args) {
  ProcessResult r = RunProcess(
      "gdbus call --session --dest com.morvix.KOVANT --object-path /KOVANT --method "
      "com.morvix.KOVANT.Link." +
      method + " " + args);
  return r.status == 0 ? r.out : "ERROR " + r.err;
}

struct Desktop : ::testing::Test {
  std::string home;

  void SetUp() override {
    if (!std::getenv("DISPLAY") || !std::getenv("DBUS_SESSION_BUS_ADDRESS")) {
      GTEST_SKIP() << "no X display or session bus: run under scripts/with-desktop";
    }
    if (RunProcess("command -v xdotool && command -v xclip && command -v gdbus").status != 0) {
      GTEST_SKIP() << "xdotool, xclip or gdbus missing";
    }
    // A program left running by an earlier test would take every start
    // handed over to it: say so here rather than fail obscurely later.
    ASSERT_EQ(Sh("gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus "
                 "--method org.freedesktop.DBus.NameHasOwner com.morvix.KOVANT"),
              "(false,)")
        << "a program of an earlier test still owns the link name";
    home = TempFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::permissions(home, std::filesystem::perms::owner_all);
    std::filesystem::copy_file(KOVANT_SAMPLE_DIC, home + "/KOVANT.DIC");
    setenv("KOVANT_HOME", home.c_str(), 1);
    setenv("KOVANT_REGISTRY", (home + "/registry").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", home.c_str(), 1);
  }

  // KOVANT.INI with the search mode at start and the current code copied.
  void Ini(const std::string& extraLines) {
    std::ofstream(home + "/KOVANT.INI", std::ios::binary) << "[Parms]\r\nStartMode=1\r\nCopyMode=1\r\n"
                                                          << Sjis(extraLines);
  }

  std::unique_ptr<Background> StartKovant(std::string& window) {
    auto p = std::make_unique<Background>(std::vector<std::string>{Bin("kovant")});
    window = WaitWindow("^ぴこらん Ver");
    return p;
  }

  std::unique_ptr<Background> StartTarget(const std::string& caption, std::string& window, const std::string& out) {
    auto p = std::make_unique<Background>(std::vector<std::string>{Bin("kovant-target"), caption, out});
    window = WaitWindow("^" + caption + "$");
    return p;
  }

  // Searches 100-0001 in the running window and picks it.
  void SearchAndPick(const std::string& win) {
    Sh("xdotool windowactivate --sync " + win);
    Sh("xdotool type --delay 20 1000001");
    Sh("xdotool key --delay 60 Return Down");
  }
  void PressCopy(const std::string& win) {
    Sh("xdotool windowactivate --sync " + win);
    Sh("xdotool key Return");
  }
};

TEST_F(Desktop, ClipboardOnlyCopyIsExactAndOutlivesTheProgramUntilAnotherCopies) {
  Ini("");
  // Started as a script would, reading its output to the end, with a
  // launcher's activation token.
  const std::string ended = home + "/ended";
  Background script({"/bin/sh", "-c",
                     "XDG_ACTIVATION_TOKEN=token-9 " + Quote(Bin("kovant")) + " 2>&1 | cat > " +
                         Quote(home + "/output.txt") + "; touch " + Quote(ended)});
  std::string win = WaitWindow("^ぴこらん Ver");
  ASSERT_FALSE(win.empty());
  SearchAndPick(win);
  PressCopy(win);
  const std::string text = "〒100-0001東京都千代田区千代田";
  ASSERT_TRUE(WaitFor([&] { return Clipboard() == text; })) << Clipboard();
  Sh("wmctrl -i -c " + win);  // the close box
  // The script reads to the end as the program ends, the keeper living on.
  EXPECT_TRUE(WaitFor([&] { return std::filesystem::exists(ended); }));
  EXPECT_EQ(script.WaitExit(5000ms), 0);
  // No clipboard manager runs here: our keeper serves the text.
  EXPECT_TRUE(WaitFor([&] { return Clipboard() == text; })) << Clipboard();
  EXPECT_EQ(RunProcess("xclip -o -selection primary").out, text);
  auto keeperRuns = [] { return RunProcess("pgrep -f -- '--keep-clipboar[d]'").status == 0; };
  EXPECT_TRUE(keeperRuns());
  // In ps by the program's name, and without the launcher's token.
  const std::string keeper = Sh("pgrep -n -f -- '--keep-clipboar[d]'");
  ASSERT_FALSE(keeper.empty());
  EXPECT_EQ(Sh("cat /proc/" + keeper + "/comm"), "kovant");
  EXPECT_EQ(Sh("ps -o args= -p " + keeper), "kovant --keep-clipboard");
  const std::string environment = ReadAll("/proc/" + keeper + "/environ");
  EXPECT_NE(environment.find("DISPLAY="), std::string::npos);
  EXPECT_EQ(environment.find("XDG_ACTIVATION_TOKEN"), std::string::npos);
  // Another program's copy ends it.
  ASSERT_EQ(RunProcess("(printf other | xclip -selection clipboard >/dev/null 2>&1 &)").status, 0);
  EXPECT_TRUE(WaitFor([] { return Clipboard() == "other"; }));
  EXPECT_TRUE(WaitFor([&] { return !keeperRuns(); }));
}

TEST_F(Desktop, PastesIntoTheTargetFoundByCaption) {
  Ini("CopyAppl=1\r\nFindCaption=メモ\r\nSep2=2\r\nSep3=1\r\nSep5=2\r\nSep6=2\r\n");
  std::string target, win;
  const std::string out = home + "/arrived.txt";
  auto editor = StartTarget("無題 - メモ帳", target, out);
  ASSERT_FALSE(target.empty());
  auto kovant = StartKovant(win);
  SearchAndPick(win);
  PressCopy(win);
  // A, Tab, B, Enter, C: the tabs and the line break arrive as keys; a
  // trailing pair of tabs arrives as two Tab keys with an empty paste between.
  const std::string expected = "〒100-0001\t東京都\n千代田区千代田\t\t";
  EXPECT_TRUE(WaitFor([&] { return ReadAll(out) == expected; })) << ReadAll(out);
  EXPECT_TRUE(WaitFor([] { return Clipboard() == "〒100-0001\t東京都\r\n千代田区千代田\t\t"; })) << Clipboard();
}

TEST_F(Desktop, AGtkEditorReceivesThePastesAndKeys) {
  if (RunProcess("command -v l3afpad").status != 0) GTEST_SKIP() << "l3afpad (a GTK editor) is not installed";
  Ini("CopyAppl=1\r\nFindCaption=gtktarget\r\nSep2=2\r\nSep3=1\r\n");
  const std::string file = home + "/gtktarget.txt";
  std::ofstream(file).close();
  setenv("NO_AT_BRIDGE", "1", 1);
  Background editor({"/usr/bin/l3afpad", file});
  std::string target = WaitWindow("gtktarget");
  ASSERT_FALSE(target.empty());
  std::string win;
  auto kovant = StartKovant(win);
  SearchAndPick(win);
  PressCopy(win);
  // GTK fetches the clipboard asynchronously, after asking for its targets;
  // the whole text on the clipboard means the delivery has ended.
  ASSERT_TRUE(WaitFor([] { return Clipboard() == "〒100-0001\t東京都\r\n千代田区千代田"; })) << Clipboard();
  const std::string expected = "〒100-0001\t東京都\n千代田区千代田";
  EXPECT_TRUE(WaitFor([&] {
    Sh("xdotool windowactivate --sync " + target + " key ctrl+s");
    return ReadAll(file) == expected;
  })) << ReadAll(file);
}

TEST_F(Desktop, ATerminalPastingThePrimarySelectionReceivesEveryPiece) {
  if (RunProcess("command -v xterm").status != 0) GTEST_SKIP() << "xterm is not installed";
  Ini("CopyAppl=1\r\nFindCaption=xtermtarget\r\nSep2=2\r\nSep6=1\r\n");
  const std::string file = home + "/xterm.txt";
  // Shift+Insert in xterm inserts the PRIMARY selection, not the CLIPBOARD.
  Background terminal(
      {"/usr/bin/xterm", "-u8", "-T", "xtermtarget", "-e", "/bin/sh", "-c", "stty -echo; exec cat > " + Quote(file)});
  std::string target = WaitWindow("^xtermtarget$");
  ASSERT_FALSE(target.empty());
  ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(file); }));
  std::string win;
  auto kovant = StartKovant(win);
  SearchAndPick(win);
  PressCopy(win);
  EXPECT_TRUE(WaitFor([&] { return ReadAll(file) == "〒100-0001\t東京都千代田区千代田\n"; })) << ReadAll(file);
}

TEST_F(Desktop, FragmentMatchesWithoutRegardToLetterCaseAndRestoresTheTarget) {
  Ini("CopyAppl=1\r\nFindCaption=report\r\n");
  std::string target, win;
  const std::string out = home + "/arrived.txt";
  auto editor = StartTarget("REPORT - EDITOR", target, out);
  auto kovant = StartKovant(win);
  SearchAndPick(win);
  Sh("xdotool windowminimize --sync " + target);
  PressCopy(win);
  EXPECT_TRUE(WaitFor([&] { return ReadAll(out) == "〒100-0001東京都千代田区千代田"; })) << ReadAll(out);
  EXPECT_EQ(Sh("xprop -id " + target + " _NET_WM_STATE").find("HIDDEN"), std::string::npos);
  // Maximised: back to its normal size before the paste.
  Sh("xdotool windowactivate --sync " + target + " key ctrl+a BackSpace");
  Sh("wmctrl -i -r " + target +
     " -b add,maximized_vert,maximized_horz 2>/dev/null || "
     "xdotool windowsize " +
     target + " 100% 100%");
  PressCopy(win);
  EXPECT_TRUE(WaitFor([&] { return ReadAll(out) == "〒100-0001東京都千代田区千代田"; })) << ReadAll(out);
  EXPECT_EQ(Sh("xprop -id " + target + " _NET_WM_STATE").find("MAXIMIZED"), std::string::npos);
}

TEST_F(Desktop, FiftyPastesInARowArriveIntact) {
  Ini("CopyAppl=1\r\nFindCaption=メモ\r\nSep2=2\r\nSep3=1\r\nSep6=1\r\n");
  std::string target, win;
  const std::string out = home + "/arrived.txt";
  auto editor = StartTarget("無題 - メモ帳", target, out);
  auto kovant = StartKovant(win);
  SearchAndPick(win);
  const std::string one = "〒100-0001\t東京都\n千代田区千代田\n";
  std::string expected;
  int intact = 0;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 50; ++i) {
    PressCopy(win);
    expected += one;
    if (WaitFor([&] { return ReadAll(out).size() >= expected.size(); }, 3000ms) && ReadAll(out) == expected) {
      ++intact;
    } else {
      expected = ReadAll(out);  // count the next ones from what is there
    }
  }
  const auto perRound =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start) / 50;
  // From the key press on "コピー" to the text seen whole in the target.
  std::printf("pastes intact: %d of 50, %lld ms a round\n", intact, static_cast<long long>(perRound.count()));
  RecordProperty("intact", intact);
  EXPECT_EQ(intact, 50);
}

TEST_F(Desktop, ASlowTargetLosesNoPieceAndATooSlowOneIsToldOf) {
  KOVANT_PACE_CASE();
  if (RunProcess("/usr/bin/python3 -c 'import gi; gi.require_version(\"Gtk\", \"3.0\")'").status != 0) {
    GTEST_SKIP() << "GTK's Python bindings are not installed";
  }
  Ini("CopyAppl=1\r\nFindCaption=遅い窓\r\nSep2=2\r\nSep3=1\r\nSep6=1\r\n");
  setenv("NO_AT_BRIDGE", "1", 1);
  // Our GTK editor under X11, busy N of every M ms where busy is "N/M".
  auto gtkTarget = [&](const std::string& caption, const std::string& out, const std::string& busy) {
    std::vector<std::string> argv = {"/usr/bin/env",
                                     "GDK_BACKEND=x11",
                                     "/usr/bin/python3",
                                     std::string(KOVANT_SOURCE_DIR) + "/tests/gtktarget.py",
                                     caption,
                                     out};
    if (!busy.empty()) argv.insert(argv.end(), {"--busy", busy});
    return std::make_unique<Background>(argv);
  };
  std::string win;
  auto kovant = StartKovant(win);
  ASSERT_FALSE(win.empty());
  SearchAndPick(win);
  const std::string one = "〒100-0001\t東京都\n千代田区千代田\n";
  const int rounds = PasteRounds();
  for (const std::string busy : {"", "70/100", "95/100"}) {
    const std::string caption = "遅い窓 " + (busy.empty() ? std::string("normal") : busy);
    const std::string out = home + "/slow-" + busy.substr(0, busy.find('/')) + ".txt";
    auto editor = gtkTarget(caption, out, busy);
    ASSERT_FALSE(WaitWindow("^" + caption + "$").empty()) << caption;
    std::string expected, wrong;
    int intact = 0;
    for (int i = 0; i < rounds; ++i) {
      PressCopy(win);
      expected += one;
      if (WaitFor([&] { return ReadAll(out).size() >= expected.size(); }, 20000ms) && ReadAll(out) == expected) {
        ++intact;
      } else {
        wrong = ReadAll(out);
        expected = wrong;  // count the next ones from what is there
      }
    }
    std::printf("%s: %d of %d rounds intact\n", caption.c_str(), intact, rounds);
    RecordProperty(busy.empty() ? "normal" : busy, intact);
    EXPECT_EQ(intact, rounds) << caption << ", the last wrong: " << wrong;
  }
  // Busy from the moment it has the focus, longer than any bound: the paste stops
  // with a message and a piece still on the clipboard, and what arrives
  // late is the text up to that piece, never another.
  const std::string out = home + "/stuck.txt";
  auto stuck = gtkTarget("遅い窓 止まる", out, "10000/11000");
  ASSERT_FALSE(WaitWindow("^遅い窓 止まる$").empty());
  PressCopy(win);
  std::string box = WaitWindow("^ぴこらん$");
  ASSERT_FALSE(box.empty()) << "no message";
  const std::string held = Clipboard();
  ASSERT_FALSE(held.empty());
  ASSERT_NE(one.find(held), std::string::npos) << held;
  const std::string upToHeld = one.substr(0, one.find(held) + held.size());
  EXPECT_TRUE(WaitFor([&] { return ReadAll(out) == upToHeld; }, 20000ms)) << ReadAll(out);
  Sh("xdotool windowactivate --sync " + box + " key Return");
}

TEST_F(Desktop, MissingWindowWarnsAndStillFillsTheClipboard) {
  Ini("CopyAppl=1\r\nFindCaption=どこにもない窓\r\n");
  std::string win;
  auto kovant = StartKovant(win);
  SearchAndPick(win);
  PressCopy(win);
  std::string box = WaitWindow("^ぴこらん$");
  ASSERT_FALSE(box.empty());
  Sh("xdotool windowactivate --sync " + box + " key Return");
  // The message comes first; once it is read the clipboard holds the text.
  EXPECT_TRUE(WaitFor([] { return Clipboard() == "〒100-0001東京都千代田区千代田"; })) << Clipboard();
}

TEST_F(Desktop, SecondStartHandsOverWithoutTouchingTheNoteOrTheSettings) {
  Ini("");
  std::string win;
  auto kovant = StartKovant(win);
  ASSERT_FALSE(win.empty());
  const std::string note = home + "/registry/HKEY_LOCAL_MACHINE/SOFTWARE/Morvix/KOVANT/RunPath/@";
  ASSERT_TRUE(std::filesystem::exists(note));
  const auto noteTime = std::filesystem::last_write_time(note);
  const auto iniTime = std::filesystem::last_write_time(home + "/KOVANT.INI");
  Sh("xdotool windowminimize --sync " + win);
  ASSERT_TRUE(WaitFor([&] { return Sh("xprop -id " + win + " _NET_WM_STATE").find("HIDDEN") != std::string::npos; }));
  Background second({Bin("kovant")});
  EXPECT_EQ(second.WaitExit(5000ms), 0);
  EXPECT_TRUE(WaitFor([&] { return Sh("xprop -id " + win + " _NET_WM_STATE").find("HIDDEN") == std::string::npos; }));
  EXPECT_EQ(Sh("xdotool search --name '^ぴこらん Ver' | wc -l"), "1");
  // A second start that sees no windows (as under GNOME's Wayland) asks the
  // running one over the link, passing on the launcher's activation token.
  Sh("xdotool windowminimize --sync " + win);
  ASSERT_TRUE(WaitFor([&] { return Sh("xprop -id " + win + " _NET_WM_STATE").find("HIDDEN") != std::string::npos; }));
  Background blind(
      {"/usr/bin/env", "-u", "DISPLAY", "QT_QPA_PLATFORM=offscreen", "XDG_ACTIVATION_TOKEN=token-1", Bin("kovant")});
  EXPECT_EQ(blind.WaitExit(5000ms), 0);
  EXPECT_TRUE(WaitFor([&] { return Sh("xprop -id " + win + " _NET_WM_STATE").find("HIDDEN") == std::string::npos; }));
  EXPECT_EQ(std::filesystem::last_write_time(note), noteTime);
  EXPECT_EQ(std::filesystem::last_write_time(home + "/KOVANT.INI"), iniTime);
}

TEST_F(Desktop, ARegistryRootThatCannotBeOpenedEndsWithItsMessage) {
  std::ofstream(home + "/registry") << "not a folder";
  Background kovant({Bin("kovant")});
  std::string box = WaitWindow("^ぴこらん$");
  ASSERT_FALSE(box.empty());
  Sh("xdotool windowactivate --sync " + box + " key Return");
  EXPECT_EQ(kovant.WaitExit(5000ms), 1);
}

TEST_F(Desktop, PeersPokeAndRequestOverTheSessionBus) {
  Ini("");
  std::string win;
  auto kovant = StartKovant(win);
  ASSERT_FALSE(win.empty());
  EXPECT_EQ(Gdbus("Poke", "DistName 'ターゲット'"), "()\n");
  EXPECT_EQ(Gdbus("Request", "DistName"), "('ターゲット',)\n");
  // Blanks only: nothing happens and they stay.
  EXPECT_EQ(Gdbus("Poke", "Cmd '   '"), "()\n");
  EXPECT_EQ(Gdbus("Request", "Cmd"), "('   ',)\n");
  EXPECT_EQ(Gdbus("Request", "'Addr(0)'"), "('',)\n");
  EXPECT_NE(Gdbus("Poke", "'Addr(0)' x").find("UnknownItem"), std::string::npos);
  EXPECT_NE(Gdbus("Request", "Nothing").find("UnknownItem"), std::string::npos);
  EXPECT_NE(Gdbus("Poke", "DistName " + std::string(5000, 'x')).find("TooLong"), std::string::npos);
}

TEST_F(Desktop, LinkRequestIsAnsweredAndTheCallerActivated) {
  Ini("");
  std::string target, win;
  auto editor = StartTarget("呼び出し元の窓", target, home + "/unused.txt");
  auto kovant = StartKovant(win);
  Sh("xdotool windowminimize --sync " + win);
  EXPECT_EQ(Gdbus("Poke", "DistName '呼び出し元'"), "()\n");
  EXPECT_EQ(Gdbus("Poke", "Cmd go"), "()\n");
  // The window comes back and the call-up empties Cmd.
  EXPECT_TRUE(WaitFor([&] { return Sh("xdotool getactivewindow") == win; })) << Sh("xdotool getactivewindow");
  EXPECT_EQ(Gdbus("Request", "Cmd"), "('',)\n");
  SearchAndPick(win);
  PressCopy(win);
  EXPECT_TRUE(WaitFor([&] { return Sh("xdotool getactivewindow") == target; }));
  EXPECT_EQ(Gdbus("Request", "'Addr(1)'"), "('100-0001',)\n");
  EXPECT_EQ(Gdbus("Request", "'Addr(4)'"), "('千代田',)\n");
}

TEST_F(Desktop, KovantLinkPrintsTheAnswerAndTimesOut) {
  Ini("");
  std::string win;
  auto kovant = StartKovant(win);
  ProcessResult timedOut = RunProcess(Bin("kovant-link") + " --timeout 0.5");
  EXPECT_EQ(timedOut.status, 1);
  std::string outPath = home + "/link.out";
  // The caption it names is poked once it listens for the answer; it is our
  // own window's, so the answer brings it (back) up.
  Background link({"/bin/sh", "-c", Bin("kovant-link") + " --caption 'ぴこらん Ver' --timeout 20 > " + outPath});
  ASSERT_TRUE(WaitFor([] { return Gdbus("Request", "DistName") == "('ぴこらん Ver',)\n"; }));
  SearchAndPick(win);
  PressCopy(win);
  EXPECT_EQ(link.WaitExit(10000ms), 0);
  EXPECT_EQ(ReadAll(outPath), "100\n100-0001\n東京都\n千代田区\n千代田\n\n");
  // A caption no window carries: the window says so (its warning box stays
  // up, hence last) and keeps the request, and kovant-link, at its timeout,
  // tells the user what to do.
  const std::string errPath = home + "/link.err";
  Background lost({"/bin/sh", "-c", Bin("kovant-link") + " --caption 'どこにもない窓' --timeout 3 2> " + errPath});
  ASSERT_TRUE(WaitFor([] { return Gdbus("Request", "DistName") == "('どこにもない窓',)\n"; }));
  SearchAndPick(win);
  PressCopy(win);
  EXPECT_EQ(lost.WaitExit(10000ms), 1);
  EXPECT_NE(ReadAll(errPath).find("タイトルに「どこにもない窓」を含むウィンドウがないと"), std::string::npos)
      << ReadAll(errPath);
}

// Installed into a prefix of its own that the program cannot write: it finds
// its dictionary there and keeps its settings in the user's folder.
TEST_F(Desktop, InstalledIntoAReadOnlyPrefixRunsAndKeepsSettingsInTheUserFolder) {
  // Outside the test's private folder, so that another user can reach it.
  const std::string open = TempFolder("install");
  std::filesystem::permissions(open, std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                         std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                                         std::filesystem::perms::others_exec);
  const std::string prefix = open + "/prefix";
  ProcessResult install = RunProcess("cmake --install " + Quote(KOVANT_BUILD_DIR) + " --prefix " + Quote(prefix));
  ASSERT_EQ(install.status, 0) << install.err;
  for (const char* f :
       {"bin/kovant", "bin/kovant-mkdic", "bin/kovant-lookup", "bin/kovant-link", "share/kovant/KOVANT.DIC",
        "share/applications/io.github.kovant.kovant.desktop", "share/metainfo/io.github.kovant.kovant.metainfo.xml",
        "share/icons/hicolor/scalable/apps/kovant.svg", "share/icons/hicolor/48x48/apps/kovant.png",
        "share/man/man1/kovant.1.gz", "share/man/man1/kovant-mkdic.1.gz", "share/man/man1/kovant-lookup.1.gz",
        "share/man/man1/kovant-link.1.gz", "share/doc/kovant/copyright"}) {
    EXPECT_TRUE(std::filesystem::exists(prefix + "/" + f)) << f;
  }
  // A user without write access to the prefix: root drops to nobody for it.
  const bool root = geteuid() == 0;
  const std::string user = open + "/user";
  std::filesystem::create_directories(user + "/config");
  std::filesystem::permissions(user, std::filesystem::perms::owner_all);
  std::string as = "env -u KOVANT_HOME -u KOVANT_REGISTRY -u XDG_DATA_HOME HOME=" + Quote(user) +
                   " XDG_CONFIG_HOME=" + Quote(user + "/config") + " XDG_RUNTIME_DIR=" + Quote(user) + " ";
  if (root) {
    RunProcess("chown -R 65534:65534 " + Quote(user));
    as += "setpriv --reuid=65534 --regid=65534 --clear-groups ";
  } else {
    RunProcess("chmod -R a-w " + Quote(prefix));
  }
  ProcessResult lookup = RunProcess(as + Quote(prefix + "/bin/kovant-lookup") + " 1000001");
  EXPECT_EQ(lookup.status, 0) << lookup.err;
  EXPECT_EQ(lookup.out, "100-0001\t100\t東京都\t千代田区\t千代田\n");
  ProcessResult link = RunProcess(as + Quote(prefix + "/bin/kovant-link") + " --timeout 1");
  EXPECT_EQ(link.status, 2);

  Background kovant({"/bin/sh", "-c", as + Quote(prefix + "/bin/kovant")});
  std::string win = WaitWindow("^ぴこらん Ver");
  ASSERT_FALSE(win.empty());
  // "終了" saves the settings; it is two fields before the walk's head
  // search, where the focus starts.
  Sh("xdotool windowactivate --sync " + win + " key shift+Tab shift+Tab Return");
  EXPECT_EQ(kovant.WaitExit(5000ms), 0);
  EXPECT_TRUE(std::filesystem::exists(user + "/config/kovant/KOVANT.INI"));
  EXPECT_FALSE(std::filesystem::exists(prefix + "/share/kovant/KOVANT.INI"));
  EXPECT_TRUE(std::filesystem::exists(user + "/config/kovant/registry"));
  if (!root) RunProcess("chmod -R u+w " + Quote(prefix));
}

TEST_F(Desktop, TargetClosedInTheMiddleOfAPasteLeavesTheProgramWorking) {
  Ini("CopyAppl=1\r\nFindCaption=消える窓\r\nSep2=2\r\nSep3=2\r\nSep4=2\r\n");
  std::string target, win;
  Background editor({Bin("kovant-target"), "消える窓", home + "/gone.txt", "--quit-on-tab"});
  target = WaitWindow("^消える窓$");
  ASSERT_FALSE(target.empty());
  auto kovant = StartKovant(win);
  SearchAndPick(win);
  PressCopy(win);
  EXPECT_EQ(editor.WaitExit(5000ms), 0);
  // The piece the gone window never took stops the paste and stays on the
  // clipboard (a target that reads late must get that piece, not the whole
  // text); the program still answers.
  EXPECT_TRUE(WaitFor([] {
    const std::string c = Clipboard();
    return c == "東京都" || c == "〒100-0001\t東京都\t千代田区\t千代田";
  })) << Clipboard();
  EXPECT_EQ(Gdbus("Request", "'Addr(0)'"), "('',)\n");
}

TEST_F(Desktop, ClipboardHeldByAnotherProgramIsTakenOver) {
  Ini("");
  ASSERT_EQ(RunProcess("(printf held | xclip -selection clipboard >/dev/null 2>&1 &)").status, 0);
  ASSERT_TRUE(WaitFor([] { return Clipboard() == "held"; }));
  std::string win;
  auto kovant = StartKovant(win);
  SearchAndPick(win);
  PressCopy(win);
  EXPECT_TRUE(WaitFor([] { return Clipboard() == "〒100-0001東京都千代田区千代田"; })) << Clipboard();
}

TEST_F(Desktop, AFloodOfLinkCallsLeavesTheWindowResponsive) {
  Ini("");
  std::string win;
  auto kovant = StartKovant(win);
  ASSERT_FALSE(win.empty());
  ProcessResult flood = RunProcess(Bin("kovant-linkflood") + " 10000");
  std::printf("%s", flood.out.c_str());
  RecordProperty("flood", flood.out);
  EXPECT_EQ(flood.status, 0) << flood.out << flood.err;
  // One call near the largest message the bus carries is refused, and the
  // link goes on answering afterwards.
  ProcessResult huge = RunProcess(Bin("kovant-linkflood") + " --huge 100");
  EXPECT_EQ(huge.status, 0) << huge.out << huge.err;
  EXPECT_NE(huge.out.find("TooLong"), std::string::npos) << huge.out;
  // Still answering, and still driving by keyboard.
  EXPECT_EQ(Gdbus("Request", "DistName"), "('',)\n");
  SearchAndPick(win);
  PressCopy(win);
  EXPECT_TRUE(WaitFor([&] { return Gdbus("Request", "'Addr(1)'") == "('100-0001',)\n"; }))
      << Gdbus("Request", "'Addr(1)'");
}

TEST(DesktopNoInstance, KovantLinkSaysNoProgramRuns) {
  if (!std::getenv("DBUS_SESSION_BUS_ADDRESS")) GTEST_SKIP() << "no session bus";
  ProcessResult r = RunProcess(Bin("kovant-link") + " --timeout 1");
  if (r.status != 2) GTEST_SKIP() << "another instance owns the link name";
  EXPECT_NE(r.err.find("起動していません"), std::string::npos);
}

TEST_F(Desktop, AScreenReaderFindsEveryControlNamedAndNoHiddenBoxes) {
  if (!std::filesystem::exists(Bin("kovant-a11ytree"))) GTEST_SKIP() << "built without libatspi";
  Ini("");
  setenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1", 1);
  std::string win;
  auto kovant = StartKovant(win);
  unsetenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON");
  ASSERT_FALSE(win.empty());
  ProcessResult tree = RunProcess(Bin("kovant-a11ytree") + " kovant");
  ASSERT_EQ(tree.status, 0) << tree.err;
  std::istringstream lines(tree.out);
  std::string line;
  std::set<std::string> names;
  int texts = 0;
  const std::set<std::string> controls = {"text", "list", "combo box", "push button", "radio button", "check box"};
  while (std::getline(lines, line)) {
    std::vector<std::string> f;
    for (size_t at = 0, tab; at <= line.size(); at = tab + 1) {
      tab = line.find('\t', at);
      if (tab == std::string::npos) tab = line.size();
      f.push_back(line.substr(at, tab - at));
    }
    if (f.size() != 5 || f[0] != "2") continue;  // the window's own controls
    if (f[1] == "text") ++texts;
    if (controls.count(f[1]) && f[4] == "1") {
      EXPECT_FALSE(f[2].empty()) << "unnamed " << f[1];
    }
    names.insert(f[2]);
  }
  for (const char* name :
       {"住所", "補足", "都道府県", "市区町村", "町域", "該当住所", "検索〒", "住所頭出し", "設定切替"}) {
    EXPECT_TRUE(names.count(name)) << name;
  }
  // Text3, Text2, Text1 and Text4: the link's eight boxes are not there.
  EXPECT_EQ(texts, 4) << tree.out.substr(0, 2000);

  // A code found is heard with its caption, as it is seen beside it.
  SearchAndPick(win);
  EXPECT_TRUE(WaitFor([&] {
    tree = RunProcess(Bin("kovant-a11ytree") + " kovant");
    return tree.out.find("\t新〒 100-0001\t") != std::string::npos;
  })) << tree.out.substr(0, 2000);
}

// An address pasted into 「住所頭出し」 as it comes in an e-mail: Enter finds
// its town, and Enter again copies it as after a walk.
TEST_F(Desktop, AnAddressPastedIntoTheHeadSearchIsFoundAndCopied) {
  std::ofstream(home + "/KOVANT.INI", std::ios::binary) << "[Parms]\r\nStartMode=0\r\nCopyMode=1\r\n";
  std::string win;
  auto kovant = StartKovant(win);
  ASSERT_FALSE(win.empty());
  const std::string line = "〒530-0000 大阪府大阪市北区栄町1-2-3 サンプル商事株式会社 TEL 06-1234-5678";
  ASSERT_EQ(RunProcess("(printf '%s' " + Quote(line) + " | xclip -selection clipboard >/dev/null 2>&1 &)").status, 0);
  ASSERT_TRUE(WaitFor([&] { return Clipboard() == line; }));
  Sh("xdotool windowactivate --sync " + win);
  Sh("xdotool key --delay 100 ctrl+v Return");
  PressCopy(win);
  EXPECT_TRUE(WaitFor([] { return Clipboard() == "〒532-0022大阪府大阪市北区栄町"; })) << Clipboard();
}

TEST(KovantCommandLine, HelpAndVersionPrintAndNoDesktopIsSaidInJapanese) {
  ProcessResult help = RunProcess(Bin("kovant") + " --help");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("使い方: kovant", 0), 0u) << help.out;
  ProcessResult version = RunProcess(Bin("kovant") + " --version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "kovant 1.31\n");
  for (const char* display : {"", "DISPLAY=:987 "}) {
    ProcessResult none =
        RunProcess(std::string("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ") + display + Bin("kovant"));
    EXPECT_EQ(none.status, 1) << display;
    EXPECT_NE(none.err.find("ウィンドウを表示できません"), std::string::npos) << none.err;
  }
}

TEST(DesktopNoInstance, KovantLinkPrintsWhateverItIsAnsweredAsSixBoundedLines) {
  if (!std::getenv("DBUS_SESSION_BUS_ADDRESS")) GTEST_SKIP() << "no session bus";
  Background peer({Bin("kovant-linkflood"), "--serve"});
  ASSERT_TRUE(WaitFor([] { return Gdbus("Request", "Cmd") == "('',)\n"; }));
  ProcessResult r = RunProcess(Bin("kovant-link") + " --timeout 5");
  EXPECT_EQ(r.status, 0) << r.err;
  std::string lines[7];
  std::istringstream out(r.out);
  int count = 0;
  while (count < 7 && std::getline(out, lines[count])) ++count;
  ASSERT_EQ(count, 6) << r.out.substr(0, 200);
  EXPECT_EQ(lines[1], "line\\x0Abreak\\x0D\\x1B[31m");
  EXPECT_EQ(lines[2], "back\\\\slash\\x09tab");
  // 4,096 characters of three bytes each, and the mark that more was cut.
  EXPECT_EQ(lines[3].size(), 4096u * 3 + std::string("…").size());
}

}  // namespace
}  // namespace kovant::test
