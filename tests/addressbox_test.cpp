// 「住所頭出し」 taking an address written out, as a line pasted from an
// e-mail: Enter resolves it, and the walk's lists follow.
#include <gtest/gtest.h>

#include <QMenu>

#include "dict/address.h"
#include "uifixture.h"

namespace kovant::test {
namespace {

class AddressBox : public UiFixture {
 protected:
  // The address as pasted into the head-search box, then Enter.
  void Enter(const char* address) {
    window->Text4->setFocus();
    window->Text4->setText(QString::fromUtf8(address));
    Key(Qt::Key_Return);
  }
  std::string Selected(const ui::ListBox* list) {
    return list->ListIndex() >= 0 ? Str(list->ItemText(list->ListIndex())) : std::string();
  }
  void ExpectWalkedTo(const char* pref, const char* city, const char* town, const char* code) {
    EXPECT_EQ(Selected(window->List2), pref);
    EXPECT_EQ(Selected(window->List3), city);
    // A city's 「以下に掲載がない場合」 has no town name of its own.
    if (*town != '\0') {
      EXPECT_EQ(Selected(window->List4), town);
    }
    EXPECT_GE(window->List4->ListIndex(), 0);
    EXPECT_EQ(Str(window->Label3[1]->text()), code);
    EXPECT_EQ(window->CurrentList(), window->List4);
    EXPECT_TRUE(window->Command4->isEnabled());
    EXPECT_TRUE(window->Text4->text().isEmpty());
  }
};

TEST_F(AddressBox, AnAddressFromAnEmailSelectsItsTownAndCopiesAsAfterAWalk) {
  ASSERT_TRUE(Open(0));
  Enter("〒530-0000 大阪府大阪市北区栄町1-2-3 サンプル商事株式会社 TEL 06-1234-5678");
  ExpectWalkedTo("大阪府", "大阪市北区", "栄町", "532-0022");
  EXPECT_EQ(Str(window->Text3->text()), "大阪府大阪市北区栄町");
  window->Command4->click();
  EXPECT_EQ(clipboard.Text(), "〒532-02  大阪府大阪市北区栄町");  // the former code, as the settings ask
  EXPECT_EQ(Str(window->Label1[0]->text()), "クリップボードにコピーしました。");
  Shot(window.get(), "address-copied");
  EXPECT_TRUE(warnings.empty());
}

TEST_F(AddressBox, SeveralCandidatesAreOfferedToKeysAndMouseAndNoneSaysWhy) {
  ASSERT_TRUE(Open(0));
  auto gazetteer = dict::Gazetteer::Load(dict::DictionaryPathIn(folder));
  ASSERT_TRUE(gazetteer);
  // A ward without its city, or a city whose town is left out: whichever
  // the resolver reads as several codes.
  std::string written;
  dict::AddressAnswer several;
  for (const char* text : {"中央区本町", "京都府京都市中京区"}) {
    several = gazetteer->Resolve(text);
    written = text;
    if (several.status == dict::AddressAnswer::Status::Several) break;
  }
  ASSERT_EQ(several.status, dict::AddressAnswer::Status::Several);
  ASSERT_GE(several.candidates.size(), 2u);

  // The keyboard: Down to the second, Enter.
  Enter(written.c_str());
  auto* menu = window->findChild<QMenu*>("AddressCandidates");
  ASSERT_NE(menu, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(menu, 2000));
  ASSERT_EQ(menu->actions().size(), static_cast<qsizetype>(several.candidates.size()));
  Shot(menu, "address-candidates");
  QTest::keyClick(menu, Qt::Key_Down);
  QTest::keyClick(menu, Qt::Key_Return);
  const dict::CodeMatch& second = several.candidates[1];
  ExpectWalkedTo(second.pref.c_str(), second.city.c_str(), second.town.c_str(), second.newCode.c_str());
  ASSERT_TRUE(QTest::qWaitFor([this] { return window->findChild<QMenu*>("AddressCandidates") == nullptr; }, 2000));

  // The mouse: a click on the first.
  Enter(written.c_str());
  menu = window->findChild<QMenu*>("AddressCandidates");
  ASSERT_NE(menu, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(menu, 2000));
  QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(menu->actions().front()).center());
  const dict::CodeMatch& first = several.candidates[0];
  ExpectWalkedTo(first.pref.c_str(), first.city.c_str(), first.town.c_str(), first.newCode.c_str());

  // Nothing found: the resolver's reason, and the text stays to be mended.
  const char* nowhere = "火星県オリンポス市山頂町1-1";
  const dict::AddressAnswer none = gazetteer->Resolve(nowhere);
  ASSERT_EQ(none.status, dict::AddressAnswer::Status::None);
  Enter(nowhere);
  EXPECT_EQ(Str(window->Label1[0]->text()), none.note.empty() ? "該当する住所がありません。" : none.note);
  EXPECT_EQ(Str(window->Text4->text()), nowhere);
  EXPECT_TRUE(warnings.empty());
}

TEST_F(AddressBox, AShortNameOrReadingStillHeadSearchesAndEnterWalksOn) {
  ASSERT_TRUE(Open(0));
  window->Text4->setFocus();
  Type("おおさか");
  EXPECT_EQ(Selected(window->List2), "大阪府");
  Key(Qt::Key_Return);
  EXPECT_EQ(window->CurrentList(), window->List3);
  EXPECT_GT(window->List3->ListCount(), 0);
  EXPECT_TRUE(window->Text4->text().isEmpty());
  EXPECT_EQ(window->findChild<QMenu*>("AddressCandidates"), nullptr);
}

}  // namespace
}  // namespace kovant::test
