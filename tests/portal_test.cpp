// The delivery where no window can be found by its caption (GNOME in a
// Wayland session): keys and clipboard through the desktop portal, here our
// own stand-in on the test's session bus, which also plays the window that
// had the focus before ours.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>

#include <filesystem>
#include <fstream>

#include "copy/delivery.h"
#include "dicfixture.h"
#include "memoryclipboard.h"
#include "platform/portaldesktop.h"
#include "pasting.h"
#include "process.h"

namespace kovant::test {
namespace {

struct Portal : ::testing::Test {
  std::string home, log, document, tokenPath;
  std::unique_ptr<Background> portal;

  void SetUp() override {
    if (!std::getenv("DBUS_SESSION_BUS_ADDRESS")) GTEST_SKIP() << "no session bus: run under scripts/with-desktop";
    home = TempFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    log = home + "/portal.log";
    document = home + "/document.txt";
    tokenPath = home + "/portal-token";
  }

  static bool Owned() {
    return QDBusConnection::sessionBus().interface()->isServiceRegistered("org.freedesktop.portal.Desktop");
  }
  void StartPortal(std::vector<std::string> flags) {
    portal.reset();
    ASSERT_TRUE(WaitFor([] { return !Owned(); }));
    std::vector<std::string> argv = {Bin("kovant-fakeportal"), log, document};
    argv.insert(argv.end(), flags.begin(), flags.end());
    portal = std::make_unique<Background>(argv);
    ASSERT_TRUE(WaitFor(Owned)) << "the stand-in portal did not start";
  }
  // Lines of the portal's log that begin with what.
  int Logged(const std::string& what) const {
    int n = 0;
    std::istringstream lines(ReadAll(log));
    for (std::string line; std::getline(lines, line);) n += line.rfind(what, 0) == 0;
    return n;
  }
};

// Qt's clipboard in a Wayland session: set only while ours has the focus.
struct FocusedOnlyClipboard : MemoryClipboard {
  bool SetsWhileUnfocused() const override { return false; }
};

TEST_F(Portal, PiecesGoToTheWindowUsedBeforeAndConsentIsAskedOnce) {
  ASSERT_NO_FATAL_FAILURE(StartPortal({"--clipboard"}));
  auto desktop = platform::MakePortalDesktop(tokenPath, nullptr);
  ASSERT_NE(desktop, nullptr);
  EXPECT_FALSE(desktop->FindsWindows());
  copy::Delivery delivery = DeliveryOver(*desktop);
  int asides = 0;
  delivery.SetStepAside([&] { return ++asides > 0; });
  std::string found;
  const std::string text = "〒100-0001\t東京都\r\n千代田区千代田\t\t";
  EXPECT_EQ(delivery.Deliver(text, {}, PasteInto("メモ"), found), copy::Delivered::PastedIntoPrevious);
  EXPECT_EQ(asides, 1);
  EXPECT_EQ(ReadAll(document), "〒100-0001\t東京都\n千代田区千代田\t\t");
  EXPECT_EQ(desktop->Text(), text);
  EXPECT_EQ(Logged("SelectDevices types=1 persist=2"), 1);
  EXPECT_EQ(Logged("Start consent"), 1);
  EXPECT_EQ(ReadAll(tokenPath), "token-1");
  EXPECT_EQ(std::filesystem::status(tokenPath).permissions() & std::filesystem::perms::group_all,
            std::filesystem::perms::none);

  // Fifty rounds in a row arrive whole and in order, though the portal's
  // clipboard manager fetches each new text first.
  std::string expected = ReadAll(document);
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 50; ++i) {
    ASSERT_EQ(delivery.Deliver("あ" + std::to_string(i) + "\tい\r\n", {}, PasteInto("メモ"), found),
              copy::Delivered::PastedIntoPrevious);
    expected += "あ" + std::to_string(i) + "\tい\n";
  }
  const auto perRound =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start) / 50;
  std::printf("one round of two pieces and two keys: %lld ms\n", static_cast<long long>(perRound.count()));
  EXPECT_EQ(ReadAll(document), expected);

  // The program's next start: the kept token stands for the consent. A
  // token file others could read (an older version, a copy) becomes private.
  desktop.reset();
  std::filesystem::permissions(tokenPath, std::filesystem::perms::group_read | std::filesystem::perms::others_read,
                               std::filesystem::perm_options::add);
  auto again = platform::MakePortalDesktop(tokenPath, nullptr);
  ASSERT_NE(again, nullptr);
  copy::Delivery next = DeliveryOver(*again);
  next.SetStepAside([] { return true; });
  EXPECT_EQ(next.Deliver("最後", {}, PasteInto("メモ"), found), copy::Delivered::PastedIntoPrevious);
  EXPECT_EQ(ReadAll(document), expected + "最後");
  EXPECT_EQ(Logged("Start consent"), 1);
  EXPECT_EQ(Logged("Start restored"), 1);
  EXPECT_EQ(ReadAll(tokenPath), "token-2");
  EXPECT_EQ(std::filesystem::status(tokenPath).permissions() &
                (std::filesystem::perms::group_all | std::filesystem::perms::others_all),
            std::filesystem::perms::none);
}

TEST_F(Portal, AConsentThatCannotBeKeptIsSaidOnceAndThePasteStillGoesIn) {
  ASSERT_NO_FATAL_FAILURE(StartPortal({"--clipboard"}));
  // Under a regular file: no one, root included, writes there.
  std::ofstream(home + "/file") << "x";
  const std::string unwritable = home + "/file/portal-token";
  auto desktop = platform::MakePortalDesktop(unwritable, nullptr);
  ASSERT_NE(desktop, nullptr);
  EXPECT_EQ(desktop->TakeNotice(), "");
  copy::Delivery delivery = DeliveryOver(*desktop);
  delivery.SetStepAside([] { return true; });
  std::string found;
  EXPECT_EQ(delivery.Deliver("東京都", {}, PasteInto("メモ"), found), copy::Delivered::PastedIntoPrevious);
  EXPECT_EQ(ReadAll(document), "東京都");
  const std::string notice = desktop->TakeNotice();
  EXPECT_NE(notice.find(unwritable), std::string::npos) << notice;
  EXPECT_TRUE(notice.ends_with("。"));
  EXPECT_EQ(desktop->TakeNotice(), "");
}

TEST_F(Portal, WithoutAClipboardPortalTheWholeTextGoesInOnePasteAndARefusalIsFinal) {
  ASSERT_NO_FATAL_FAILURE(StartPortal({}));
  FocusedOnlyClipboard* fallback = new FocusedOnlyClipboard;
  auto desktop = platform::MakePortalDesktop(tokenPath, std::unique_ptr<platform::Clipboard>(fallback));
  ASSERT_NE(desktop, nullptr);
  copy::Delivery delivery = DeliveryOver(*desktop);
  std::string atAside = "(not stepped aside)";
  delivery.SetStepAside([&] {
    atAside = fallback->Text();
    return true;
  });
  std::string found;
  const std::string text = "〒100-0001\t東京都\r\n千代田区千代田";
  EXPECT_EQ(delivery.Deliver(text, {}, PasteInto("メモ"), found), copy::Delivered::PastedWholeIntoPrevious);
  // Set while ours had the focus, and not again once it had not.
  EXPECT_EQ(atAside, text);
  EXPECT_EQ(fallback->Sets(), 1);
  EXPECT_EQ(ReadAll(document), "[paste]");
  EXPECT_EQ(Logged("key "), 1);

  // The user refuses: clipboard only, and not asked again.
  desktop.reset();
  std::filesystem::remove(tokenPath);
  ASSERT_NO_FATAL_FAILURE(StartPortal({"--refuse"}));
  fallback = new FocusedOnlyClipboard;
  desktop = platform::MakePortalDesktop(tokenPath, std::unique_ptr<platform::Clipboard>(fallback));
  ASSERT_NE(desktop, nullptr);
  copy::Delivery refused = DeliveryOver(*desktop);
  refused.SetStepAside([] { return true; });
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(refused.Deliver(text, {}, PasteInto("メモ"), found), copy::Delivered::NoDesktop);
    EXPECT_EQ(fallback->Text(), text);
  }
  EXPECT_EQ(Logged("Start refused"), 1);
  EXPECT_EQ(Logged("key "), 1);
  EXPECT_FALSE(std::filesystem::exists(tokenPath));
}

// Debian 12's portal (version 1) keeps no consent: nothing asked to persist,
// no token kept. A dialog the user leaves unanswered past the bound is
// closed, the copy stays on the clipboard (not said to be a desktop without
// pasting), and the next copy asks again. A focus that does not leave our
// window gets no key at all.
TEST_F(Portal, AnUnansweredDialogIsClosedAndOurWindowIsNeverTypedInto) {
  setenv("KOVANT_CONSENT_SECONDS", "1", 1);
  ASSERT_NO_FATAL_FAILURE(StartPortal({"--silent", "--version1"}));
  FocusedOnlyClipboard* fallback = new FocusedOnlyClipboard;
  auto desktop = platform::MakePortalDesktop(tokenPath, std::unique_ptr<platform::Clipboard>(fallback));
  ASSERT_NE(desktop, nullptr);
  copy::Delivery delivery = DeliveryOver(*desktop);
  int asides = 0;
  bool leaves = true;
  delivery.SetStepAside([&] {
    ++asides;
    return leaves;
  });
  std::string found;
  const std::string text = "〒100-0001\t東京都";
  EXPECT_EQ(delivery.Deliver(text, {}, PasteInto("メモ"), found), copy::Delivered::NotAllowed);
  unsetenv("KOVANT_CONSENT_SECONDS");
  EXPECT_EQ(asides, 0);
  EXPECT_EQ(fallback->Text(), text);
  EXPECT_EQ(Logged("Start unanswered"), 1);
  EXPECT_TRUE(WaitFor([&] { return Logged("Request closed") == 1; }));
  EXPECT_EQ(Logged("SelectDevices types=1 persist=0"), 1);

  // Asked again and allowed; the focus stays with ours: nothing typed.
  leaves = false;
  EXPECT_EQ(delivery.Deliver(text, {}, PasteInto("メモ"), found), copy::Delivered::StillInFront);
  EXPECT_EQ(Logged("Start consent"), 1);
  EXPECT_EQ(Logged("key "), 0);
  EXPECT_EQ(fallback->Text(), text);
  leaves = true;
  EXPECT_EQ(delivery.Deliver(text, {}, PasteInto("メモ"), found), copy::Delivered::PastedWholeIntoPrevious);
  EXPECT_EQ(Logged("key paste"), 1);
  EXPECT_EQ(Logged("Start consent"), 1);
  EXPECT_FALSE(std::filesystem::exists(tokenPath));
}

}  // namespace
}  // namespace kovant::test
