#include <gtest/gtest.h>

#include "copy/delivery.h"
#include "fakedesktop.h"
#include "memoryclipboard.h"

namespace kovant::test {
namespace {

using copy::Delivered;
using copy::PasteStep;

TEST(PasteSteps, TabsAndLineBreaksBecomeKeysBetweenPastes) {
  EXPECT_EQ(copy::PasteSteps("A\tB\r\nC"), (std::vector<PasteStep>{{PasteStep::Paste, "A"},
                                                                   {PasteStep::Tab, ""},
                                                                   {PasteStep::Paste, "B"},
                                                                   {PasteStep::Enter, ""},
                                                                   {PasteStep::Paste, "C"}}));
  // A trailing tab ends with the key; two tabs paste an empty chunk between.
  EXPECT_EQ(copy::PasteSteps("A\t"), (std::vector<PasteStep>{{PasteStep::Paste, "A"}, {PasteStep::Tab, ""}}));
  EXPECT_EQ(copy::PasteSteps("\t\t"),
            (std::vector<PasteStep>{
                {PasteStep::Paste, ""}, {PasteStep::Tab, ""}, {PasteStep::Paste, ""}, {PasteStep::Tab, ""}}));
  // A lone CR or LF is text.
  EXPECT_EQ(copy::PasteSteps("a\rb\nc"), (std::vector<PasteStep>{{PasteStep::Paste, "a\rb\nc"}}));
  EXPECT_TRUE(copy::PasteSteps("").empty());
}

TEST(FindWindowByCaption, TopmostMatchIgnoringLatinCaseInBothWidths) {
  FakeDesktop d;
  d.windows = {{1, ""}, {2, "ターミナル"}, {3, "無題 - メモ帳"}, {4, "Report.txt - Ｅｄｉｔｏｒ"}, {5, "メモ帳"}};
  std::string found;
  EXPECT_EQ(copy::FindWindowByCaption(d, "メモ", found), 3u);
  EXPECT_EQ(found, "無題 - メモ帳");
  EXPECT_EQ(copy::FindWindowByCaption(d, "REPORT", found), 4u);
  EXPECT_EQ(found, "REPORT.TXT - ＥＤＩＴＯＲ");
  EXPECT_EQ(copy::FindWindowByCaption(d, "ｅｄｉｔ", found), 4u);
  EXPECT_EQ(copy::FindWindowByCaption(d, "", found), 2u);  // the first window with a caption
  EXPECT_EQ(copy::FindWindowByCaption(d, "nothing", found), 0u);
  EXPECT_EQ(found, "メモ帳");  // the last one compared
}

// What the message line says after a copy: the window as its caption
// stands (not upper-cased), cut to fit.
TEST(DeliveredLine, SaysWhatWentWhere) {
  FakeDesktop d;
  d.windows = {{4, "Report - Ｅｄｉｔｏｒ"}, {5, "とても長いタイトルのウィンドウ - 表計算ソフトの新しいブック"}};
  std::string found, caption;
  ASSERT_EQ(copy::FindWindowByCaption(d, "report", found, &caption), 4u);
  EXPECT_EQ(copy::DeliveredLine(copy::Delivered::Pasted, caption), "「Report - Ｅｄｉｔｏｒ」に貼り付けました。");
  ASSERT_EQ(copy::FindWindowByCaption(d, "表計算", found, &caption), 5u);
  EXPECT_EQ(copy::DeliveredLine(copy::Delivered::Pasted, caption),
            "「とても長いタイトルのウィンドウ …」に貼り付けました。");
  EXPECT_EQ(copy::DeliveredLine(copy::Delivered::ClipboardOnly, ""), "クリップボードにコピーしました。");
  EXPECT_EQ(copy::DeliveredLine(copy::Delivered::TargetNotFound, ""), "クリップボードにのみコピーしました。");
  EXPECT_EQ(copy::DeliveredLine(copy::Delivered::PastedWholeIntoPrevious, ""),
            "前に使っていたウィンドウに貼り付けました。");
  EXPECT_EQ(copy::DeliveredLine(copy::Delivered::Busy, ""), "");
}

TEST(WaitSeconds, RunsTheWindowSystemUntilTimeOrCancelled) {
  int pumps = 0;
  bool cancelled = false;
  copy::WaitSeconds(0.02, cancelled, [&] { ++pumps; });
  EXPECT_GT(pumps, 1);
  // Cancelled before or during the wait: it ends at once, the window system
  // having run once.
  cancelled = true;
  pumps = 0;
  copy::WaitSeconds(3600, cancelled, [&] { ++pumps; });
  EXPECT_EQ(pumps, 1);
  cancelled = false;
  pumps = 0;
  copy::WaitSeconds(3600, cancelled, [&] { cancelled = ++pumps == 5; });
  EXPECT_EQ(pumps, 5);
}

struct Deliver : ::testing::Test {
  MemoryClipboard clipboard;
  FakeDesktop desktop;
  settings::Settings settings = settings::DefaultSettings();
  std::vector<double> waits;
  std::function<void()> duringWait;  // what the window system does while we wait
  copy::Delivery delivery{&desktop, &clipboard, [this](double s) {
                            waits.push_back(s);
                            if (duringWait) duringWait();
                          }};
  std::string found;
  const std::string text = "〒100-0001\t東京都\r\n千代田区千代田\t";

  void SetUp() override {
    desktop.clipboard = &clipboard;
    desktop.windows = {{7, "ぴこらん Ver. 1.31"}, {9, "無題 - メモ帳"}};
    settings.FindCaption = "メモ";
  }
  Delivered Run(const copy::LinkRequest& request = {}) { return delivery.Deliver(text, request, settings, found); }
};

TEST_F(Deliver, PastesPieceByPieceIntoTheTargetAndLeavesTheWholeOnTheClipboard) {
  settings.CopyAppl = 1;
  int started = 0;
  EXPECT_EQ(delivery.Deliver(text, {}, settings, found, [&] { ++started; }), Delivered::Pasted);
  EXPECT_EQ(started, 1);
  EXPECT_EQ(desktop.log, (std::vector<std::string>{"restore 9", "activate 9", "paste 〒100-0001", "tab", "paste 東京都",
                                                   "enter", "paste 千代田区千代田", "tab"}));
  EXPECT_EQ(waits, std::vector<double>{0.05});  // the target settles before the first key
  EXPECT_EQ(found, "無題 - メモ帳");
  EXPECT_EQ(clipboard.Text(), text);
}

// A target that does not take a piece in time (a window too busy to
// answer): the paste stops there, with that piece left on the clipboard, so
// that what the target reads late is the right text; the same where the
// window is the one used before ours.
TEST_F(Deliver, APieceTheTargetDoesNotTakeStopsThePasteWithThePieceKept) {
  settings.CopyAppl = 1;
  desktop.pastesTaken = 1;
  EXPECT_EQ(Run(), Delivered::Unconfirmed);
  EXPECT_EQ(desktop.log,
            (std::vector<std::string>{"restore 9", "activate 9", "paste 〒100-0001", "tab", "paste 東京都"}));
  EXPECT_EQ(clipboard.Text(), "東京都");
  desktop.log.clear();
  desktop.findsWindows = false;
  desktop.pastesTaken = 0;
  delivery.SetStepAside([] { return true; });
  EXPECT_EQ(Run(), Delivered::Unconfirmed);
  EXPECT_EQ(desktop.log, std::vector<std::string>{"paste 〒100-0001"});
  EXPECT_EQ(clipboard.Text(), "〒100-0001");
}

// A target closed in the middle of the paste: nothing more is sent, to
// whatever window is in front now, and the clipboard holds the whole text.
TEST_F(Deliver, ATargetClosedMidPasteStopsItAndKeepsTheWholeText) {
  settings.CopyAppl = 1;
  desktop.keysBeforeClosing = 1;  // closes on the Tab after the first piece
  EXPECT_EQ(Run(), Delivered::TargetClosed);
  EXPECT_EQ(desktop.log,
            (std::vector<std::string>{"restore 9", "activate 9", "paste 〒100-0001", "tab", "activate 9"}));
  EXPECT_EQ(clipboard.Text(), text);
  EXPECT_EQ(copy::DeliveredLine(Delivered::TargetClosed, ""),
            "貼り付け先のウィンドウが閉じられたため、貼り付けを途中で止めました。");
  // Closed while the target was to read a piece: the same.
  desktop.windows.push_back({9, "無題 - メモ帳"});
  desktop.log.clear();
  desktop.keysBeforeClosing = 0;
  desktop.pastesTaken = 0;
  EXPECT_EQ(Run(), Delivered::TargetClosed);
  EXPECT_EQ(desktop.log, (std::vector<std::string>{"restore 9", "activate 9", "paste 〒100-0001"}));
  EXPECT_EQ(clipboard.Text(), text);
}

// A desktop that shows its windows with a clipboard only the focused
// program may set: the whole text is set first and goes in one paste.
TEST_F(Deliver, AFocusOnlyClipboardIsSetWholeBeforeTheTargetIsBroughtUp) {
  settings.CopyAppl = 1;
  clipboard.setsWhileUnfocused = false;
  EXPECT_EQ(Run(), Delivered::Pasted);
  EXPECT_EQ(desktop.log, (std::vector<std::string>{"restore 9", "activate 9", "paste " + text}));
  EXPECT_EQ(clipboard.Text(), text);
  EXPECT_EQ(clipboard.Sets(), 1);  // not again once ours has lost the focus
}

// Our own window may take the focus back just after the target got it, or
// later: the target is activated again until it keeps the focus (three
// tries), and again before any key it has lost it for.
TEST_F(Deliver, ATargetThatLosesTheFocusAgainIsActivatedOnceMore) {
  settings.CopyAppl = 1;
  desktop.focusTakenBack = 1;
  EXPECT_EQ(delivery.Deliver("A", {}, settings, found), Delivered::Pasted);
  EXPECT_EQ(desktop.log, (std::vector<std::string>{"restore 9", "activate 9", "activate 9", "paste A"}));
  desktop.log.clear();
  desktop.focusTakenBack = 5;
  EXPECT_EQ(delivery.Deliver("B", {}, settings, found), Delivered::Pasted);
  EXPECT_EQ(desktop.log,
            (std::vector<std::string>{"restore 9", "activate 9", "activate 9", "activate 9", "activate 9", "paste B"}));
}

TEST_F(Deliver, FallsBackToTheClipboardWhenThereIsNothingToPasteInto) {
  EXPECT_EQ(Run(), Delivered::ClipboardOnly);
  EXPECT_TRUE(desktop.log.empty());
  EXPECT_EQ(clipboard.Sets(), 1);
  settings.CopyAppl = 1;
  settings.FindCaption = "どこにもない";
  EXPECT_EQ(Run(), Delivered::TargetNotFound);
  desktop.available = false;
  settings.FindCaption = "メモ";
  EXPECT_EQ(Run(), Delivered::NoDesktop);
  copy::Delivery nowhere(nullptr, &clipboard, [](double) {});
  EXPECT_EQ(nowhere.Deliver(text, {}, settings, found), Delivered::NoDesktop);
  EXPECT_TRUE(desktop.log.empty());
  EXPECT_EQ(clipboard.Sets(), 4);
  EXPECT_EQ(clipboard.Text(), text);
}

TEST_F(Deliver, ASecondPressWhilePastingIsRefusedAndTheFirstFinishes) {
  settings.CopyAppl = 1;
  Delivered second = Delivered::Pasted;
  duringWait = [&] { second = delivery.Deliver("other", {}, settings, found); };
  EXPECT_EQ(Run(), Delivered::Pasted);
  EXPECT_EQ(second, Delivered::Busy);
  EXPECT_EQ(clipboard.Text(), text);
  // Once finished, the next press delivers again.
  duringWait = nullptr;
  desktop.log.clear();
  EXPECT_EQ(Run(), Delivered::Pasted);
  EXPECT_EQ(desktop.log.size(), 8u);
}

TEST_F(Deliver, ALinkRequestIsAnsweredInsteadOfPastedAndItsCallerBroughtUp) {
  settings.CopyAppl = 1;  // a request is answered whatever CopyAppl says
  // No caller named: answered, nothing else touched.
  EXPECT_EQ(Run({true, ""}), Delivered::Answered);
  EXPECT_TRUE(desktop.log.empty());
  EXPECT_EQ(clipboard.Sets(), 0);
  // A caller that is not there: the request stays open, the text goes to the clipboard.
  EXPECT_EQ(Run({true, "呼び出し元"}), Delivered::CallerNotFound);
  EXPECT_TRUE(desktop.log.empty());
  EXPECT_EQ(clipboard.Text(), text);
  desktop.windows.push_back({11, "呼び出し元 アプリ"});
  EXPECT_EQ(Run({true, "呼び出し元"}), Delivered::Answered);
  EXPECT_EQ(desktop.log, (std::vector<std::string>{"restore 11", "activate 11"}));
  EXPECT_EQ(clipboard.Sets(), 1);
  EXPECT_EQ(waits, std::vector<double>{0.05});  // only to see that the caller keeps the focus
}

}  // namespace
}  // namespace kovant::test
