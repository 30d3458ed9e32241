// The copy button as the window handles it: what it hands to the delivery
// and how it shows the outcome. The delivery itself is tested without a
// window.
#include "fakedesktop.h"
#include "uifixture.h"

namespace kovant::test {
namespace {

struct CopyButton : UiFixture {
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

TEST_F(CopyButton, PastesIntoTheWindowFoundByCaption) {
  app.Settings.CopyAppl = 1;
  app.Settings.FindCaption = "メモ";
  ShowTown();
  window->Command4_Click();
  EXPECT_EQ(desktop.log, (std::vector<std::string>{"restore 9", "activate 9", "paste 〒100-0001東京都千代田区千代田"}));
  EXPECT_EQ(app.FoundWindowTitle, "無題 - メモ帳");
  EXPECT_EQ(clipboard.Text(), "〒100-0001東京都千代田区千代田");
  EXPECT_EQ(Str(window->Label1[0]->text()), "「無題 - メモ帳」に貼り付けました。");
}

TEST_F(CopyButton, EachFallbackToTheClipboardIsExplained) {
  app.Settings.CopyAppl = 1;
  app.Settings.FindCaption = "どこにもない";
  ShowTown();
  window->Command4_Click();
  desktop.available = false;
  window->Command4_Click();
  EXPECT_EQ(warnings,
            (std::vector<std::string>{
                "指定されたキャプションを持つウィンドウが見つかりません。",
                "この環境では他のアプリケーションに貼り付けられないため、クリップボードにのみコピーしました。"}));
  EXPECT_TRUE(desktop.log.empty());
  EXPECT_EQ(clipboard.Text(), "〒100-0001東京都千代田区千代田");
  EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);
  EXPECT_EQ(Str(window->Label1[0]->text()), "クリップボードにのみコピーしました。");
}

// The desktop's part where no window can be found by its caption: the
// window used before ours gets the focus once ours is minimised.
struct FocusGoesBack : QObject {
  QWidget previous;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::WindowStateChange) previous.activateWindow();
    return false;
  }
};

// Where no window can be found by its caption: ours steps aside and the
// window used before it gets the paste; the user is told so once.
TEST_F(CopyButton, WithoutAWindowListThePasteGoesToTheWindowUsedBefore) {
  app.Settings.CopyAppl = 1;
  app.Settings.FindCaption = "メモ";
  desktop.findsWindows = false;
  ShowTown();
  FocusGoesBack desk;
  desk.previous.show();
  window->installEventFilter(&desk);
  window->activateWindow();
  window->Command4_Click();
  EXPECT_TRUE(window->windowState() & Qt::WindowMinimized);
  EXPECT_EQ(desktop.log, (std::vector<std::string>{"paste 〒100-0001東京都千代田区千代田"}));
  window->showNormal();
  window->activateWindow();
  window->Command4_Click();
  EXPECT_EQ(warnings, (std::vector<std::string>{"このデスクトップではウィンドウをキャプションで探せないため、"
                                                "ぴこらんの前に使っていたウィンドウに貼り付けました。"}));
  EXPECT_EQ(clipboard.Text(), "〒100-0001東京都千代田区千代田");
  EXPECT_EQ(Str(window->Label1[0]->text()), "前に使っていたウィンドウに貼り付けました。");

  // A desktop that leaves the focus with ours, minimised or not: no key at
  // all (it would land in our own window), the text on the clipboard, and
  // the user told so.
  window->removeEventFilter(&desk);
  window->showNormal();
  window->activateWindow();
  desktop.log.clear();
  window->Command4_Click();
  EXPECT_TRUE(desktop.log.empty());
  EXPECT_EQ(warnings.back(),
            "ぴこらんの前に使っていたウィンドウに切り替わらなかったため、クリップボードにのみコピーしました。");
  EXPECT_FALSE(window->windowState() & Qt::WindowMinimized);
}

TEST_F(CopyButton, AfterCopyMinimisesOurWindowFirst) {
  app.Settings.AfterCopy = 1;
  ShowTown();
  window->Command4_Click();
  EXPECT_TRUE(window->windowState() & Qt::WindowMinimized);
}

TEST_F(CopyButton, LinkRequestWithEmptyDistNameAnswersWithoutTouchingTheClipboard) {
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

TEST_F(CopyButton, LinkRequestActivatesTheCallerOrStaysOpenWhenItIsNotFound) {
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

TEST_F(CopyButton, BlankCmdDoesNothingAndKeepsTheBlanks) {
  ShowTown();
  window->Cmd->setText("   ");
  EXPECT_FALSE(app.ExternalRequest);
  EXPECT_EQ(Str(window->Cmd->text()), "   ");
}

}  // namespace
}  // namespace kovant::test
