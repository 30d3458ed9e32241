#include "copy/delivery.h"
#include "fakedesktop.h"
#include "uifixture.h"

namespace kovant::test {
namespace {

using copy::PasteStep;

TEST(PasteSteps, TabsAndLineBreaksBecomeKeysBetweenPastes) {
  EXPECT_EQ(copy::PasteSteps("A\tB\r\nC"),
            (std::vector<PasteStep>{{PasteStep::Paste, "A"}, {PasteStep::Tab, ""}, {PasteStep::Paste, "B"},
                                    {PasteStep::Enter, ""}, {PasteStep::Paste, "C"}}));
  // A trailing tab ends with the key; two tabs paste an empty chunk between.
  EXPECT_EQ(copy::PasteSteps("A\t"), (std::vector<PasteStep>{{PasteStep::Paste, "A"}, {PasteStep::Tab, ""}}));
  EXPECT_EQ(copy::PasteSteps("\t\t"), (std::vector<PasteStep>{{PasteStep::Paste, ""}, {PasteStep::Tab, ""},
                                                              {PasteStep::Paste, ""}, {PasteStep::Tab, ""}}));
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

struct Delivery : UiFixture {
  FakeDesktop desktop;
  void SetUp() override {
    UiFixture::SetUp();
    desktop.clipboard = &clipboard;
    desktop.windows = {{7, "ぴこらん Ver. 1.31"}, {9, "無題 - メモ帳"}};
    app.desktop = &desktop;
  }
  // A town on show in the search mode: 100-0001 東京都千代田区千代田.
  void ShowTown() {
    ASSERT_TRUE(Open(1));
    window->Text1->setText("1000001");
    window->Command1_Click();
    window->List1->SetListIndex(0);
    window->Option1[1]->setChecked(true);
  }
};

TEST_F(Delivery, ClipboardOnlySendsNoKeyAndSearchesNoWindow) {
  ShowTown();
  window->Command4_Click();
  EXPECT_EQ(clipboard.Text(), "〒100-0001東京都千代田区千代田");
  EXPECT_EQ(clipboard.Sets(), 1);
  EXPECT_TRUE(desktop.log.empty());
}

TEST_F(Delivery, PastesIntoTheWindowFoundByCaption) {
  app.Settings.CopyAppl = 1;
  app.Settings.FindCaption = "メモ";
  ShowTown();
  window->Command4_Click();
  EXPECT_EQ(desktop.log, (std::vector<std::string>{"restore 9", "activate 9", "paste 〒100-0001東京都千代田区千代田"}));
  EXPECT_EQ(app.FoundWindowTitle, "無題 - メモ帳");
  EXPECT_EQ(clipboard.Text(), "〒100-0001東京都千代田区千代田");
}

TEST_F(Delivery, TabsAndNewLinesArriveAsKeysAndTheClipboardEndsWhole) {
  app.Settings.CopyAppl = 1;
  app.Settings.FindCaption = "メモ";
  app.Settings.Sep[1] = 2;  // tab after the code
  app.Settings.Sep[2] = 1;  // new line after the prefecture
  app.Settings.Sep[5] = 2;  // tab after the (empty) supplement
  ShowTown();
  window->Command4_Click();
  EXPECT_EQ(desktop.log, (std::vector<std::string>{"restore 9", "activate 9", "paste 〒100-0001", "tab",
                                                   "paste 東京都", "enter", "paste 千代田区千代田", "tab"}));
  EXPECT_EQ(clipboard.Text(), "〒100-0001\t東京都\r\n千代田区千代田\t");
}

TEST_F(Delivery, MissingWindowWarnsAndStillFillsTheClipboard) {
  app.Settings.CopyAppl = 1;
  app.Settings.FindCaption = "どこにもない";
  ShowTown();
  window->Command4_Click();
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0], "指定されたキャプションを持つウィンドウが見つかりません。");
  EXPECT_TRUE(desktop.log.empty());
  EXPECT_EQ(clipboard.Text(), "〒100-0001東京都千代田区千代田");
}

TEST_F(Delivery, WithoutAnX11DisplayTheCopyFallsBackToTheClipboard) {
  app.Settings.CopyAppl = 1;
  app.Settings.FindCaption = "メモ";
  desktop.available = false;
  ShowTown();
  window->Command4_Click();
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_TRUE(desktop.log.empty());
  EXPECT_EQ(clipboard.Text(), "〒100-0001東京都千代田区千代田");
}

TEST_F(Delivery, AfterCopyMinimisesOurWindowFirst) {
  app.Settings.AfterCopy = 1;
  ShowTown();
  window->Command4_Click();
  EXPECT_TRUE(window->windowState() & Qt::WindowMinimized);
}

TEST_F(Delivery, LinkRequestWithEmptyDistNameAnswersWithoutTouchingTheClipboard) {
  ShowTown();
  window->Text2->setText("補足");
  int answered = 0;
  QObject::connect(window.get(), &ui::Kovant1::Answered, [&] { ++answered; });
  window->Cmd->setText("1");
  EXPECT_TRUE(app.ExternalRequest);
  EXPECT_TRUE(window->Cmd->text().isEmpty());
  window->Command4_Click();
  EXPECT_FALSE(app.ExternalRequest);
  EXPECT_EQ(answered, 1);
  const char* expected[] = {"100", "100-0001", "東京都", "千代田区", "千代田", "補足"};
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(Str(window->Addr[i]->text()), expected[i]);
  EXPECT_EQ(clipboard.Sets(), 0);
  EXPECT_TRUE(desktop.log.empty());
}

TEST_F(Delivery, LinkRequestActivatesTheCallerOrStaysOpenWhenItIsNotFound) {
  app.Settings.CopyAppl = 1;  // a request is answered whatever CopyAppl says
  app.Settings.FindCaption = "メモ";
  ShowTown();
  window->DistName->setText("呼び出し元");
  window->Cmd->setText("x");
  window->Command4_Click();
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_TRUE(app.ExternalRequest);
  EXPECT_EQ(Str(window->Addr[1]->text()), "100-0001");
  EXPECT_EQ(clipboard.Text(), "〒100-0001東京都千代田区千代田");
  EXPECT_TRUE(desktop.log.empty());
  desktop.windows.push_back({11, "呼び出し元 アプリ"});
  window->Command4_Click();
  EXPECT_FALSE(app.ExternalRequest);
  EXPECT_EQ(desktop.log, (std::vector<std::string>{"restore 11", "activate 11"}));
}

TEST_F(Delivery, BlankCmdDoesNothingAndKeepsTheBlanks) {
  ShowTown();
  window->Cmd->setText("   ");
  EXPECT_FALSE(app.ExternalRequest);
  EXPECT_EQ(Str(window->Cmd->text()), "   ");
}

}  // namespace
}  // namespace kovant::test
