// The main window's logic against a view without a toolkit or a display:
// the walk, the search, the typed address, the link, the profile switch and
// "終了", each as the keys and clicks of a user drive them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

#include "dict/address.h"
#include "dict/reader.h"
#include "fakedesktop.h"
#include "fakemainview.h"
#include "memoryclipboard.h"
#include "platform/files.h"
#include "platform/icu.h"
#include "settings/settings.h"
#include "testdata.h"
#include "window/keys.h"

namespace kovant::test {
namespace {

using window::Field;
using window::Handled;
using window::Key;
using window::List;

class MainModel : public ::testing::Test {
 protected:
  std::string folder;
  window::AppState app;
  MemoryClipboard clipboard;
  FakeMainView view;
  std::unique_ptr<window::MainModel> model;

  void SetUp() override {
    folder = TempFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    BuildInto(folder, TownsOf(SamplePath()));
    app.ProgramFolder = folder;
    app.SettingsFolder = folder;
    app.Today = "2026-01-01";
    app.clipboard = &clipboard;
  }
  bool Open(int startMode = 0) {
    app.Settings.StartMode = static_cast<int16_t>(startMode);
    model = std::make_unique<window::MainModel>(app, view);
    view.model = model.get();
    const bool ok = model->Form_Load();
    model->Form_Activate();
    return ok;
  }
  // A key as the window previews it.
  Handled Press(Key key) { return model->KeyPreview(key, {}); }
  // Typed into a box one character at a time, as a user types.
  void Type(Field field, const std::string& text) {
    for (size_t i = 0; i < text.size();) {
      const auto lead = static_cast<unsigned char>(text[i]);
      const size_t n = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
      view.InsertText(field, text.substr(i, n));
      i += n;
    }
  }
};

TEST_F(MainModel, AWalkByKeysShowsATownAndEnterCopiesItThenLeftGoesBack) {
  ASSERT_TRUE(Open(0));
  EXPECT_TRUE(view.walkShown);
  EXPECT_EQ(view.ListCount(List::List2), 47);
  EXPECT_EQ(view.ListIndex(List::List2), -1);
  EXPECT_EQ(view.heading, 0);
  EXPECT_FALSE(view.copyEnabled);
  EXPECT_EQ(view.checkedOption, 0);
  EXPECT_EQ(view.focus, Field::Text4);
  EXPECT_EQ(view.Shown(Field::Label1_0), "辞書データ：2026-01-01");
  EXPECT_EQ(view.Shown(Field::Command2), "郵便番号→住所");

  Type(Field::Text4, "東");
  EXPECT_EQ(view.Selected(List::List2), "東京都");
  EXPECT_EQ(Press(Key::Enter), Handled::Consumed);
  EXPECT_EQ(model->CurrentList(), List::List3);
  EXPECT_EQ(view.heading, 1);
  EXPECT_EQ(view.Shown(Field::Text4), "");
  EXPECT_EQ(view.Shown(Field::Text3), "東京都");
  EXPECT_EQ(view.Shown(Field::Label2_1), "住所２（ " + std::to_string(view.ListCount(List::List3)) + " 件）");
  Type(Field::Text4, "千代田");
  Press(Key::Enter);
  EXPECT_EQ(model->CurrentList(), List::List4);
  EXPECT_EQ(view.Shown(Field::Text3), "東京都千代田区");
  EXPECT_EQ(view.ItemText(List::List4, 0), " 以下に該当する住所がない場合");

  Press(Key::Up);  // no selection: nothing to move to
  EXPECT_EQ(view.ListIndex(List::List4), -1);
  EXPECT_FALSE(view.copyEnabled);
  Press(Key::Down);
  EXPECT_EQ(view.code[1], "100-0000");
  EXPECT_EQ(view.spoken[1], "新〒 100-0000");
  EXPECT_TRUE(view.copyEnabled);
  EXPECT_EQ(view.focus, Field::Text2);

  if (!platform::LoadIcu()) GTEST_SKIP() << "romaji needs ICU (Windows 10 1903 or later), which Wine lacks";
  Type(Field::Text4, "ｃｈｉｙｏｄａ");  // a reading, full-width: no name begins so
  ASSERT_EQ(view.Selected(List::List4), "千代田");
  EXPECT_FALSE(view.copyEnabled);
  view.SetText(Field::Text4, {});
  Press(Key::Right);
  EXPECT_EQ(view.code[0], "100");
  EXPECT_EQ(view.code[1], "100-0001");
  EXPECT_TRUE(view.copyEnabled);
  view.CheckOption(1);
  EXPECT_EQ(Press(Key::Enter), Handled::Consumed);  // the default button "コピー"
  EXPECT_EQ(clipboard.Text(), "〒100-0001東京都千代田区千代田");
  EXPECT_EQ(view.Shown(Field::Label1_0), "クリップボードにコピーしました。");

  Press(Key::Left);
  EXPECT_EQ(model->CurrentList(), List::List3);
  EXPECT_FALSE(view.copyEnabled);
  Press(Key::Left);
  EXPECT_EQ(model->CurrentList(), List::List2);
  EXPECT_EQ(view.heading, 0);
  EXPECT_TRUE(view.warnings.empty());
}

TEST_F(MainModel, TheSearchTakesDigitsListsTheTownsAndAPickShowsOne) {
  app.Settings.CopyMode = settings::kCopyCurrentCode;
  ASSERT_TRUE(Open(1));
  EXPECT_FALSE(view.walkShown);
  EXPECT_EQ(view.checkedOption, 1);
  EXPECT_EQ(view.Shown(Field::Label2_0), "該　当　住　所");
  EXPECT_EQ(view.heading, 0);
  EXPECT_EQ(view.focus, Field::Text1);

  // Only digits reach the box; a code pasted as written lands as digits.
  EXPECT_EQ(window::MainModel::Text1_KeyPress("7"), Handled::Passed);
  EXPECT_EQ(window::MainModel::Text1_KeyPress("a"), Handled::Consumed);
  EXPECT_EQ(window::MainModel::Text1_KeyPress("７"), Handled::Consumed);
  EXPECT_EQ(window::MainModel::Text1_KeyPress("\b"), Handled::Passed);
  model->PasteIntoText1("東京の住所です");
  EXPECT_EQ(view.beeps, 1);
  EXPECT_EQ(view.Shown(Field::Text1), "");
  model->PasteIntoText1("〒１００−０００１");
  EXPECT_EQ(view.Shown(Field::Text1), "1000001");

  EXPECT_EQ(Press(Key::Enter), Handled::Consumed);
  ASSERT_EQ(view.ListCount(List::List1), 1);
  EXPECT_EQ(view.ItemText(List::List1, 0), "東京都 千代田区 千代田");
  EXPECT_EQ(view.busy, 0);  // the wait pointer taken back
  EXPECT_FALSE(view.copyEnabled);
  Press(Key::Down);
  EXPECT_EQ(view.code[1], "100-0001");
  EXPECT_EQ(model->Current().Address3, "千代田");
  EXPECT_TRUE(view.copyEnabled);
  // Typing a new code takes the button away until the next pick.
  Type(Field::Text1, "5");
  EXPECT_FALSE(view.copyEnabled);
  // A short code is refused with the reason.
  view.SetText(Field::Text1, "12");
  model->Command1_Click();
  ASSERT_EQ(view.warnings.size(), 1u);
  EXPECT_TRUE(view.warnings[0].ends_with("。"));
  // Page keys move by the view's rows and leave the key to the list.
  view.SetText(Field::Text1, "100");
  model->Command1_Click();
  ASSERT_GT(view.ListCount(List::List1), 1);
  EXPECT_EQ(Press(Key::PageDown), Handled::Passed);
  EXPECT_EQ(view.ListIndex(List::List1), std::min(9, view.ListCount(List::List1) - 1));
  EXPECT_EQ(Press(Key::PageUp), Handled::Passed);
  EXPECT_EQ(view.ListIndex(List::List1), 0);
}

TEST_F(MainModel, ATypedAddressWalksToItsTownOrOffersTheCandidates) {
  if (!platform::LoadIcu()) GTEST_SKIP() << "addresses are folded by ICU (Windows 10 1903 or later), which Wine lacks";
  ASSERT_TRUE(Open(0));
  view.SetText(Field::Text4, "〒530-0000 大阪府大阪市北区栄町1-2-3 サンプル商事株式会社 TEL 06-1234-5678");
  Press(Key::Enter);
  EXPECT_EQ(view.Selected(List::List2), "大阪府");
  EXPECT_EQ(view.Selected(List::List3), "大阪市北区");
  EXPECT_EQ(view.Selected(List::List4), "栄町");
  EXPECT_EQ(view.code[1], "532-0022");
  EXPECT_EQ(model->CurrentList(), List::List4);
  EXPECT_TRUE(view.copyEnabled);
  EXPECT_EQ(view.Shown(Field::Text4), "");
  // The code written on the line is not the address's: both are said.
  EXPECT_NE(view.Shown(Field::Label1_0).find("530-0000"), std::string::npos);
  EXPECT_NE(view.Shown(Field::Label1_0).find("532-0022"), std::string::npos);

  auto gazetteer = dict::Gazetteer::Load(dict::DictionaryPathIn(folder));
  ASSERT_TRUE(gazetteer);
  // A city name not in the dictionary (merged away) offers the towns of
  // that name, never one as the answer.
  const dict::AddressAnswer renamed = gazetteer->Resolve("大阪府浪花市栄町1-2");
  ASSERT_EQ(renamed.status, dict::AddressAnswer::Status::CityNotFound);
  ASSERT_FALSE(renamed.candidates.empty());
  view.SetText(Field::Text4, "大阪府浪花市栄町1-2");
  Press(Key::Enter);
  EXPECT_EQ(view.offered.size(), renamed.candidates.size());
  EXPECT_EQ(view.Shown(Field::Label1_0), renamed.note);
  const dict::AddressAnswer several = gazetteer->Resolve("中央区本町");
  ASSERT_EQ(several.status, dict::AddressAnswer::Status::Several);
  view.SetText(Field::Text4, "中央区本町");
  Press(Key::Enter);
  ASSERT_EQ(view.offered.size(), several.candidates.size());
  EXPECT_EQ(view.Shown(Field::Label1_0),
            "候補が " + std::to_string(several.candidates.size()) + " 件あります。選んでください。");
  model->SelectCandidate(1);
  EXPECT_EQ(view.code[1], several.candidates[1].newCode);
  EXPECT_EQ(view.Selected(List::List2), several.candidates[1].pref);
  model->SelectCandidate(several.candidates.size());  // past the end: nothing
  EXPECT_EQ(view.code[1], several.candidates[1].newCode);

  view.SetText(Field::Text4, "火星県どこか市");
  Press(Key::Enter);
  EXPECT_FALSE(view.Shown(Field::Label1_0).empty());
  EXPECT_TRUE(view.warnings.empty());
}

// A town's note fills the supplement for that town only: the next pick,
// in either mode, starts without it; what the user typed follows
// InputClear in both modes.
TEST_F(MainModel, ANoteInTheSupplementGoesWithItsTownWhatWasTypedFollowsInputClear) {
  app.Settings.CopyMode = settings::kCopyCurrentCode;
  ASSERT_TRUE(Open(1));
  auto pick = [this](const std::string& code) {
    view.SetText(Field::Text1, code);
    model->Command1_Click();
    view.SetListIndex(List::List1, 0);
  };
  pick("0600042");
  EXPECT_EQ(view.Shown(Field::Text2), "１～１９丁目");
  pick("1000001");
  EXPECT_EQ(view.Shown(Field::Text2), "");
  model->Command4_Click();
  EXPECT_EQ(clipboard.Text(), "〒100-0001東京都千代田区千代田");

  view.SetText(Field::Text2, "３階");  // typed; InputClear off: cleared
  pick("0640941");
  EXPECT_EQ(view.Shown(Field::Text2), "");
  app.Settings.InputClear = settings::kSwitchOn;
  view.SetText(Field::Text2, "３階");
  pick("1000001");
  EXPECT_EQ(view.Shown(Field::Text2), "３階");
  pick("0600042");
  EXPECT_EQ(view.Shown(Field::Text2), "１～１９丁目");
  pick("1000001");  // the note goes even with InputClear
  EXPECT_EQ(view.Shown(Field::Text2), "");
  pick("0600042");
  view.SetText(Field::Text2, "１～１９丁目　５階");  // the note edited is the user's
  pick("1000001");
  EXPECT_EQ(view.Shown(Field::Text2), "１～１９丁目　５階");

  // The walk: a note keeps to its town there too, and a step back empties it.
  model->Command2_Click();
  EXPECT_EQ(view.Shown(Field::Text2), "１～１９丁目　５階");
  view.SetText(Field::Text2, {});
  view.SetText(Field::Text4, "札幌市中央区大通西");
  Press(Key::Enter);
  ASSERT_EQ(view.code[1], "060-0042");
  EXPECT_EQ(view.Shown(Field::Text2), "（１～１９丁目）");
  for (int i = 0; i < view.ListCount(List::List4); ++i) {
    if (view.ItemText(List::List4, i) == "本町") view.SetListIndex(List::List4, i);
  }
  model->List4_MouseDown();
  ASSERT_EQ(view.code[1], "061-0011");
  EXPECT_EQ(view.Shown(Field::Text2), "");
  model->Command4_Click();
  EXPECT_EQ(clipboard.Text(), "〒061-0011北海道札幌市中央区本町");
}

// An input method in full-width mode sends "１" for 1: typed, it lands as
// the digit a paste gives; its dashes are dropped as a paste drops them.
TEST_F(MainModel, FullWidthDigitsTypedIntoTheCodeBoxLandAsDigits) {
  ASSERT_TRUE(Open(1));
  for (const char* key : {"１", "０", "０", "－", "０", "０", "０", "１"}) {
    EXPECT_EQ(model->TypeIntoText1(key), Handled::Consumed) << key;
  }
  EXPECT_EQ(view.Shown(Field::Text1), "1000001");
  EXPECT_EQ(model->TypeIntoText1("7"), Handled::Passed);  // the box takes it itself
  EXPECT_EQ(model->TypeIntoText1("a"), Handled::Consumed);
  EXPECT_EQ(model->TypeIntoText1("あ"), Handled::Consumed);
  EXPECT_EQ(model->TypeIntoText1("\b"), Handled::Passed);
  EXPECT_EQ(view.Shown(Field::Text1), "1000001");
  view.SetText(Field::Text1, {});
  EXPECT_EQ(model->TypeIntoText1("１０００００１"), Handled::Consumed);  // committed at once
  Press(Key::Enter);
  EXPECT_TRUE(view.warnings.empty());
  ASSERT_EQ(view.ListCount(List::List1), 1);
  EXPECT_EQ(view.ItemText(List::List1, 0), "東京都 千代田区 千代田");
}

// A signature pasted whole is looked up by its address line; a city
// without its town selects the city and shows its code for unlisted
// towns as a candidate; each outcome of the message line is announced.
TEST_F(MainModel, ASignatureBlockResolvesACityAloneShowsItsCodeAndOutcomesAreAnnounced) {
  ASSERT_TRUE(Open(0));
  view.SetText(Field::Text4,
               "サンプル商事株式会社\n営業部　山田　太郎\n〒100-0001\n東京都千代田区千代田1-1 "
               "サンプルビル3F\nTEL: 03-1234-5678\nMail: yamada@example.jp\n");
  Press(Key::Enter);
  EXPECT_EQ(view.Selected(List::List4), "千代田");
  EXPECT_EQ(view.code[1], "100-0001");
  EXPECT_TRUE(view.copyEnabled);
  view.CheckOption(1);
  model->Command4_Click();
  EXPECT_EQ(clipboard.Text(), "〒100-0001東京都千代田区千代田");
  ASSERT_FALSE(view.announced.empty());
  EXPECT_EQ(view.announced.back(), "クリップボードにコピーしました。");

  view.SetText(Field::Text4, "東京都千代田区");
  Press(Key::Enter);
  EXPECT_EQ(view.Selected(List::List2), "東京都");
  EXPECT_EQ(view.Selected(List::List3), "千代田区");
  EXPECT_EQ(view.Selected(List::List4), " 以下に該当する住所がない場合");
  EXPECT_EQ(view.code[1], "100-0000");
  EXPECT_EQ(view.Shown(Field::Text3), "東京都千代田区");
  EXPECT_TRUE(view.copyEnabled);
  const std::string note = view.Shown(Field::Label1_0);
  EXPECT_NE(note.find("「以下に掲載がない場合」の番号です。"), std::string::npos) << note;
  EXPECT_EQ(view.announced.back(), note);
  model->Command4_Click();
  EXPECT_EQ(clipboard.Text(), "〒100-0000東京都千代田区");

  view.SetText(Field::Text4, "株式会社サンプル\r\n火星県どこか市1-2\r\n");
  Press(Key::Enter);
  EXPECT_EQ(view.Shown(Field::Text4), "火星県どこか市1-2");  // what was looked up
  EXPECT_EQ(view.announced.back(), view.Shown(Field::Label1_0));
  EXPECT_TRUE(view.Shown(Field::Label1_0).ends_with("。"));
  EXPECT_TRUE(view.warnings.empty());
}

// An update installed: the notice of old data goes at once, not at the
// next step, and the window works on the new file.
TEST_F(MainModel, AnUpdateInstalledTakesTheOldDataNoticeAwayAtOnce) {
  app.Today = "2026-06-01";
  ASSERT_TRUE(Open(0));
  ASSERT_EQ(view.Shown(Field::Label1_0), "辞書（2026-01-01）が古くなっています。設定→辞書を更新");
  // Replaced as the update replaces it (the window may still be reading
  // the old file for its names).
  std::filesystem::create_directories(folder + "/new");
  BuildInto(folder + "/new", TownsOf(SamplePath()), nullptr, "2026-05-27");
  const auto bytes = platform::ReadWholeFile(folder + "/new/KOVANT.DIC");
  ASSERT_TRUE(bytes);
  ASSERT_EQ(platform::WriteFileAtomically(folder + "/KOVANT.DIC", *bytes), "");
  ASSERT_TRUE(app.DictionaryUpdated);
  app.DictionaryUpdated();
  EXPECT_EQ(view.Shown(Field::Label1_0), "辞書データ：2026-05-27（辞書が更新されました）");
  model.reset();
  EXPECT_FALSE(app.DictionaryUpdated);  // no call into a window gone
}

TEST_F(MainModel, ALinkRequestIsAnsweredInTheSixFieldsNotOnTheClipboard) {
  ASSERT_TRUE(Open(1));
  view.SetText(Field::Text1, "1000001");
  model->Command1_Click();
  view.SetListIndex(List::List1, 0);
  view.SetText(Field::Text2, "補足");
  view.minimized = true;
  view.SetText(Field::Cmd, "1");
  EXPECT_TRUE(app.ExternalRequest);
  EXPECT_FALSE(view.minimized);  // brought forward
  EXPECT_EQ(view.Shown(Field::Cmd), "");
  model->Command4_Click();
  EXPECT_FALSE(app.ExternalRequest);
  EXPECT_EQ(view.answered, 1);
  const Field addr[] = {Field::Addr0, Field::Addr1, Field::Addr2, Field::Addr3, Field::Addr4, Field::Addr5};
  const char* expected[] = {"100", "100-0001", "東京都", "千代田区", "千代田", "補足"};
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(view.Shown(addr[i]), expected[i]);
  EXPECT_EQ(clipboard.Sets(), 0);
  EXPECT_FALSE(view.refusing);
}

TEST_F(MainModel, AProfileChosenLoadsItsSettingsAndTheSettingsWindowReturnsToTheBox) {
  for (const char* name : {"仕事", "自宅"}) {
    settings::Settings s = settings::DefaultSettings();
    s.FindCaption = name;
    s.CopyMode = std::string(name) == "仕事" ? settings::kCopyCurrentCode : settings::kCopyFormerCode;
    s.Profile = std::string(name) + ".prm";
    ASSERT_TRUE(settings::SaveSettings(s, folder, s.Profile));
  }
  ASSERT_TRUE(Open(0));
  ASSERT_EQ(view.profiles.size(), 2u);
  EXPECT_EQ(view.profileIndex, -1);
  // Position 0 is the one loaded when the window opened: choosing it again
  // loads nothing; the other position loads at once, and back again.
  for (int index : {1, 0}) {
    view.SelectProfile(index);
    EXPECT_EQ(app.Settings.FindCaption, view.profiles[static_cast<size_t>(index)]);
    EXPECT_EQ(view.checkedOption, app.Settings.CopyMode == settings::kCopyCurrentCode ? 1 : 0);
    EXPECT_EQ(view.Shown(Field::Label1_0), "設定が変更されました。");
    EXPECT_EQ(model->LoadedProfileIndex(), index);
  }
  // The settings window changed the copy mode and was not cancelled.
  view.onSettings = [this] {
    app.Settings.CopyMode = settings::kCopyFormerCode;
    app.SettingsCancelled = false;
  };
  model->Command5_Click();
  EXPECT_EQ(view.settingsOpened, 1);
  EXPECT_EQ(view.checkedOption, 0);
  // Ctrl+F1 (a second start handing over) brings the window back.
  view.minimized = true;
  model->Form_KeyDown(Key::F1, {.ctrl = true});
  EXPECT_FALSE(view.minimized);
}

TEST_F(MainModel, WhatTheDesktopCouldNotKeepOnACopyIsSaidOnce) {
  struct ForgetfulDesktop : FakeDesktop {
    std::string notice = "貼り付けの許可を保存できません。";
    std::string TakeNotice() override { return std::exchange(notice, std::string()); }
  } desktop;
  app.desktop = &desktop;
  ASSERT_TRUE(Open(1));
  view.SetText(Field::Text1, "1000001");
  model->Command1_Click();
  view.SetListIndex(List::List1, 0);
  model->Command4_Click();
  EXPECT_EQ(clipboard.Text(), "〒100    東京都千代田区千代田");  // the former code, padded
  EXPECT_EQ(view.warnings, std::vector<std::string>{"貼り付けの許可を保存できません。"});
  model->Command4_Click();
  EXPECT_EQ(view.warnings.size(), 1u);
}

// Old data is named at start, unless an update found it current lately
// (it then wrote nothing but its note); a dictionary passed over for a date
// in the future is named instead of the date.
TEST_F(MainModel, TheMessageLineSaysWhenTheDataIsOldOrAFileWasPassedOver) {
  app.Today = "2026-06-01";
  ASSERT_TRUE(Open(0));
  EXPECT_EQ(view.Shown(Field::Label1_0), "辞書（2026-01-01）が古くなっています。設定→辞書を更新");

  std::ofstream(folder + "/KOVANT.CHECKED", std::ios::binary) << "2026-05-30 2026-01-01\n";
  ASSERT_TRUE(Open(0));
  EXPECT_EQ(view.Shown(Field::Label1_0), "辞書データ：2026-01-01");
  // A check of other data, or one too long ago, vouches for nothing.
  std::ofstream(folder + "/KOVANT.CHECKED", std::ios::binary) << "2026-05-30 2025-12-01\n";
  ASSERT_TRUE(Open(0));
  EXPECT_EQ(view.Shown(Field::Label1_0), "辞書（2026-01-01）が古くなっています。設定→辞書を更新");
  std::ofstream(folder + "/KOVANT.CHECKED", std::ios::binary) << "2026-03-01 2026-01-01\n";
  ASSERT_TRUE(Open(0));
  EXPECT_EQ(view.Shown(Field::Label1_0), "辞書（2026-01-01）が古くなっています。設定→辞書を更新");

  app.PassedOver = {"/x/KOVANT.DIC はデータ日付（2099-01-31）が今日より先の日付のため使いません。"};
  ASSERT_TRUE(Open(0));
  EXPECT_EQ(view.Shown(Field::Label1_0), app.PassedOver.front());
}

TEST_F(MainModel, ExitWithAnUnwritableFolderStaysOpenAndSaysWhyThenSaves) {
  ASSERT_TRUE(Open(0));
  // A folder under a regular file cannot be written, by root either.
  const std::string file = folder + "/file";
  std::ofstream(file) << "x";
  app.SettingsFolder = file + "/settings";
  app.Settings.FindCaption = "メモ帳";
  model->Command3_Click();
  EXPECT_FALSE(view.closed);
  ASSERT_EQ(view.warnings.size(), 1u);
  EXPECT_NE(view.warnings[0].find(platform::DisplayPath(file + "/settings/KOVANT.INI")), std::string::npos)
      << view.warnings[0];
  EXPECT_TRUE(view.warnings[0].ends_with("。"));
  app.SettingsFolder = folder;
  model->Command3_Click();
  EXPECT_TRUE(view.closed);
  settings::Settings saved = settings::DefaultSettings();
  ASSERT_TRUE(settings::LoadSettings(saved, folder, settings::kIniFileName));
  EXPECT_EQ(saved.FindCaption, "メモ帳");
}

TEST(WindowText, TrimmingAndTheHeadSearchCompareAsAUserReads) {
  EXPECT_EQ(window::Trimmed(" \t東京\xE3\x80\x80 "), "東京");
  EXPECT_EQ(window::Trimmed("\xE3\x80\x80"), "");
  EXPECT_TRUE(window::StartsWithNoCase("ＪＲ東日本", "ｊｒ"));
  EXPECT_TRUE(window::StartsWithNoCase("Abc", "aB"));
  EXPECT_TRUE(window::StartsWithNoCase("東京都", "東京"));
  EXPECT_FALSE(window::StartsWithNoCase("東京都", "京"));
  EXPECT_FALSE(window::StartsWithNoCase("東", "東京"));
  EXPECT_TRUE(window::StartsWithNoCase("x", ""));
}

}  // namespace
}  // namespace kovant::test

namespace kovant::test {
namespace {

// Each #include line of the sources under folder.
std::vector<std::pair<std::string, std::string>> IncludesUnder(const std::string& folder) {
  std::vector<std::pair<std::string, std::string>> found;
  for (const auto& entry :
       std::filesystem::recursive_directory_iterator(std::string(KOVANT_SOURCE_DIR) + "/" + folder)) {
    const std::string ext = entry.path().extension().string();
    if (ext != ".h" && ext != ".cpp") continue;
    std::ifstream in(entry.path());
    for (std::string line; std::getline(in, line);) {
      if (line.rfind("#include", 0) == 0) found.emplace_back(entry.path().filename().string(), line);
    }
  }
  return found;
}

// The window logic builds for another toolkit and system as it is: no Qt,
// X11, Wayland or POSIX header; and Qt Widgets stays in ui/.
TEST(WindowLibrary, IncludesNoToolkitOrSystemHeaderAndWidgetsStayInUi) {
  const std::vector<std::string> system = {"<Q",          "<X11/",     "<wayland",  "<xkb",
                                           "<unistd.h>",  "<sys/",     "<fcntl.h>", "<dirent.h>",
                                           "<pthread.h>", "<dlfcn.h>", "<poll.h>",  "<dbus"};
  for (const auto& [file, line] : IncludesUnder("window")) {
    for (const std::string& header : system) EXPECT_EQ(line.find(header), std::string::npos) << file << ": " << line;
  }
  const std::vector<std::string> widgets = {
      "<QWidget",     "<QApplication", "<QDialog",   "<QLabel",     "<QLineEdit",   "<QPushButton",
      "<QMessageBox", "<QListView",    "<QComboBox", "<QMenu",      "<QCheckBox",   "<QRadioButton",
      "<QGroupBox",   "<QProgressBar", "<QtWidgets", "<QBoxLayout", "<QHBoxLayout", "<QVBoxLayout"};
  for (const char* folder : {"dict", "copy", "settings", "update", "lookup", "tools", "window", "platform"}) {
    for (const auto& [file, line] : IncludesUnder(folder)) {
      for (const std::string& header : widgets) {
        EXPECT_EQ(line.find(header), std::string::npos) << folder << "/" << file << ": " << line;
      }
    }
  }
}

}  // namespace
}  // namespace kovant::test
