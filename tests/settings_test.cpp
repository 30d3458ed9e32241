#include <filesystem>
#include <fstream>
#include <set>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/files.h"
#include "platform/ini.h"
#include "platform/sjis.h"
#include "settings/settings.h"
#include "testdata.h"

using namespace kovant;
using namespace kovant::settings;
using kovant::test::TempFolder;

namespace {

void WriteSjis(const std::string& path, const std::string& utf8) {
  std::ofstream(path, std::ios::binary) << platform::Utf8ToSjis(utf8);
}

Settings Load(const std::string& folder, const std::string& name = "KOVANT.INI") {
  Settings s;
  s.StartMode = 77;  // every field is overwritten
  s.Profile = "stale";
  EXPECT_TRUE(LoadSettings(s, folder, name));
  return s;
}

TEST(LoadSettings, MissingFileGivesTheDefaults) {
  std::string folder = TempFolder("defaults");
  Settings s = Load(folder);
  EXPECT_EQ(s, DefaultSettings());
  EXPECT_EQ(s.Sep[0], 4);
  EXPECT_EQ(s.SepText[0], "-");
  EXPECT_EQ(s.Seq, (std::array<std::string, 5>{"1", "2", "3", "4", "5"}));
  EXPECT_EQ(s.StartMode, 0);
  EXPECT_EQ(s.Profile, "");
  EXPECT_FALSE(std::filesystem::exists(folder + "/KOVANT.INI"));
}

TEST(LoadSettings, ReadRules) {
  std::string folder = TempFolder("rules");
  WriteSjis(folder + "/KOVANT.INI",
            "[other]\r\nStartMode=9\r\n"
            "[parms]\r\n"
            "startmode=1\r\n"
            "Sep1Text=\r\n"
            "Sep3Text=   \r\n"
            "Sep4Text=  ab \r\n"
            "FindCaption=abcdefghijklmnopqrstuvwxy\r\n"
            "Sep2Text=あいうえおかきくけ\r\n"
            "Sep5Text=あいうえおかきくけこ\r\n"
            "Seq2=abc\r\n"
            "Seq3=03\r\n"
            "Seq4=\r\n"
            "NumType=1x\r\n"
            "MarkSet=x1\r\n"
            "CopyAppl=99999\r\n"
            "AfterCopy=-1\r\n"
            "Profile=" +
                std::string(60, 'p') + "\r\n");
  Settings s = Load(folder);
  EXPECT_EQ(s.StartMode, 1);    // case-insensitive section and key, the other section ignored
  EXPECT_EQ(s.SepText[0], "");  // present but empty: not the default "-"
  EXPECT_EQ(s.SepText[2], "");  // blanks only
  EXPECT_EQ(s.SepText[3], "ab");
  EXPECT_EQ(s.FindCaption, "abcdefghijklmnopqrs");  // 19 bytes
  EXPECT_EQ(s.SepText[1], "あいうえおかきくけ");    // 18 bytes survive whole
  EXPECT_EQ(s.SepText[4], "あいうえおかきくけ");    // the tenth would split at byte 19
  EXPECT_EQ(s.Seq[1], "0");
  EXPECT_EQ(s.Seq[2], "3");
  EXPECT_EQ(s.Seq[3], "4");  // empty value: the default
  EXPECT_EQ(s.NumType, 1);
  EXPECT_EQ(s.MarkSet, 0);
  EXPECT_EQ(s.CopyAppl, 0);  // outside 16 bits: the default
  EXPECT_EQ(s.AfterCopy, -1);
  EXPECT_EQ(s.Profile, std::string(49, 'p'));
}

TEST(LoadSettings, ProfileLackingKeysResetsThemToDefaults) {
  std::string folder = TempFolder("partial");
  WriteSjis(folder + "/home.prm", "[Parms]\r\nMarkSet=1\r\n");
  Settings s = DefaultSettings();
  s.Sep[0] = 2;
  s.FindCaption = "メモ";
  ASSERT_TRUE(LoadSettings(s, folder, "home.prm"));
  EXPECT_EQ(s.MarkSet, 1);
  EXPECT_EQ(s.Sep[0], 4);
  EXPECT_EQ(s.FindCaption, "");
}

TEST(SaveSettings, DefaultFileLayout) {
  std::string folder = TempFolder("layout");
  ASSERT_TRUE(SaveSettings(DefaultSettings(), folder, "KOVANT.INI"));
  EXPECT_EQ(*platform::ReadWholeFile(folder + "/KOVANT.INI"),
            "[Parms]\r\nStartMode=0\r\nCopyMode=0\r\nMarkSet=0\r\nNumType=0\r\nSep1=4\r\nSep2=0\r\nSep3=0\r\n"
            "Sep4=0\r\nSep5=0\r\nSep6=0\r\nSep1Text=-\r\nSep2Text=\r\nSep3Text=\r\nSep4Text=\r\nSep5Text=\r\n"
            "Sep6Text=\r\nSeq1=1\r\nSeq2=2\r\nSeq3=3\r\nSeq4=4\r\nSeq5=5\r\nCopyAppl=0\r\nAfterCopy=0\r\n"
            "InputClear=0\r\nFindCaption=\r\nProfile=\r\n");
}

TEST(SaveSettings, RoundTripAndItsExceptions) {
  std::string folder = TempFolder("roundtrip");
  Settings s = DefaultSettings();
  s.StartMode = 1;
  s.CopyMode = 1;
  s.Sep = {3, 4, 2, 1, 0, 4};
  s.SepText = {"", "／", "・", "x", "", "、"};
  s.Seq = {"5", "4", "3", "2", "1"};
  s.CopyAppl = 1;
  s.FindCaption = "無題 - メモ帳";
  s.Profile = "home.prm";
  ASSERT_TRUE(SaveSettings(s, folder, "home.prm"));
  EXPECT_EQ(Load(folder, "home.prm"), s);

  Settings odd = s;
  odd.SepText[0] = "  lead";
  odd.FindCaption = "あいうえおかきくけこさ";  // 22 bytes
  odd.Seq[0] = "05";
  ASSERT_TRUE(SaveSettings(odd, folder, "odd.prm"));
  Settings back = Load(folder, "odd.prm");
  EXPECT_EQ(back.SepText[0], "lead");
  EXPECT_EQ(back.FindCaption, "あいうえおかきくけ");
  EXPECT_EQ(back.Seq[0], "5");
  // The file holds the long text whole.
  EXPECT_NE(platform::ReadWholeFile(folder + "/odd.prm")->find(platform::Utf8ToSjis("こさ")), std::string::npos);
}

TEST(SaveSettings, KeepsEverythingElseOfTheFile) {
  std::string folder = TempFolder("keep");
  std::string before =
      "; my notes\r\n[Window]\r\nLeft=10\r\n\r\n[PARMS]\r\nMARKSET=1\r\nCustom=keep me\r\n\r\n[Later]\r\nX=1";
  WriteSjis(folder + "/KOVANT.INI", before);
  Settings s = DefaultSettings();
  s.MarkSet = 0;
  ASSERT_TRUE(SaveSettings(s, folder, "KOVANT.INI"));
  std::string after = platform::SjisToUtf8(*platform::ReadWholeFile(folder + "/KOVANT.INI"));
  EXPECT_EQ(after.find("; my notes\r\n[Window]\r\nLeft=10\r\n\r\n[PARMS]\r\nMARKSET=0\r\nCustom=keep me\r\n"), 0u)
      << after;
  EXPECT_NE(after.find("\r\n\r\n[Later]\r\nX=1"), std::string::npos) << after;
  EXPECT_EQ(after.find("MarkSet="), std::string::npos);  // replaced in place, not added twice
  EXPECT_NE(after.find("Profile=\r\n"), std::string::npos);
  EXPECT_EQ(Load(folder).MarkSet, 0);
}

TEST(SaveSettings, RefusedNamesTouchNothing) {
  std::string folder = TempFolder("names");
  Settings s = DefaultSettings();
  for (const std::string& bad :
       std::vector<std::string>{"", ".", "..", "../x.prm", "a/b.prm", "a\\b.prm", std::string("a\0b", 3)}) {
    EXPECT_FALSE(SaveSettings(s, folder, bad)) << bad;
    Settings t = DefaultSettings();
    t.MarkSet = 5;
    EXPECT_FALSE(LoadSettings(t, folder, bad));
    EXPECT_EQ(t.MarkSet, 5);
  }
  EXPECT_TRUE(std::filesystem::is_empty(folder));
}

TEST(SaveSettings, FailedWriteLeavesTheOldFileWhole) {
  std::string folder = TempFolder("readonly");
  WriteSjis(folder + "/KOVANT.INI", "[Parms]\r\nMarkSet=1\r\n");
  // A file in place of the folder: the write fails without damage (root
  // writes into read-only folders, so that case is checked only for others).
  EXPECT_FALSE(SaveSettings(DefaultSettings(), folder + "/KOVANT.INI", "KOVANT.INI"));
#ifndef _WIN32  // (a read-only folder is a POSIX idea: Windows has ACLs)
  if (geteuid() != 0) {
    chmod(folder.c_str(), 0555);
    EXPECT_FALSE(SaveSettings(DefaultSettings(), folder, "KOVANT.INI"));
    chmod(folder.c_str(), 0755);
  }
#endif
  EXPECT_EQ(Load(folder).MarkSet, 1);
}

TEST(IniFile, SurvivesBadInput) {
  std::string folder = TempFolder("bad");
  std::string junk = "no equals here\r\n[Parms\r\n=value\r\n";
  junk += std::string(3 << 20, 'x');
  junk += "\r\n[Parms]\r\nMarkSet=\x81\r\nSep2Text=\xFF\xFE\r\n";
  junk += std::string("Sep3Text=a\0b\r\n", 15);
  WriteSjis(folder + "/KOVANT.INI", "");
  std::ofstream(folder + "/KOVANT.INI", std::ios::binary) << junk;
  Settings s = Load(folder);
  EXPECT_EQ(s.MarkSet, 0);
  EXPECT_EQ(s.SepText[2], "a");  // cut before the NUL
  std::filesystem::create_directory(folder + "/dir.prm");
  EXPECT_TRUE(LoadSettings(s, folder, "dir.prm"));
  EXPECT_EQ(s, DefaultSettings());
  EXPECT_FALSE(SaveSettings(s, folder, "dir.prm"));
}

TEST(IniFile, QuotedValuesAndAddedSections) {
  platform::IniFile ini;
  ini.Set("Parms", "A", "1");
  ini.Set("parms", "B", "2");
  ini.Set("Other", "A", "3");
  ini.Set("PARMS", "a", "4");
  EXPECT_EQ(ini.Text(), "[Parms]\r\nA=4\r\nB=2\r\n[Other]\r\nA=3\r\n");
  EXPECT_EQ(*ini.Get("PARMS", "b"), "2");
  EXPECT_FALSE(ini.Get("Parms", "C"));
  platform::IniFile quoted;
  quoted.Set("S", "K", "\" x \"");
  EXPECT_EQ(*quoted.Get("S", "K"), " x ");
}

TEST(ListProfiles, ListsPlainProfileFiles) {
  std::string folder = TempFolder("profiles");
  EXPECT_TRUE(ListProfiles(folder).empty());
  std::ofstream(folder + "/home.prm") << "";
  std::ofstream(folder + "/work.prm") << "";
  std::ofstream(folder + "/KOVANT.INI") << "";
  std::ofstream(folder + "/notes.prm.txt") << "";
  std::filesystem::create_directory(folder + "/folder.prm");
  auto names = ListProfiles(folder);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"home", "work"}));
  EXPECT_TRUE(ListProfiles(folder + "/missing").empty());
}

TEST(TrimAtNul, CutsAndTrims) {
  EXPECT_EQ(TrimAtNul(std::string("  C:\\KOVANT \0junk", 17)), "C:\\KOVANT");
  EXPECT_EQ(TrimAtNul("   "), "");
  EXPECT_EQ(TrimAtNul("　全角　"), "　全角　");
}

TEST(ProfileNames, OneSpellingOfTheEndingAndTheChecksOfTheWindows) {
  EXPECT_EQ(ProfileFileName("自宅用"), "自宅用.prm");
  EXPECT_EQ(ProfileName("自宅用.prm"), "自宅用");
  EXPECT_EQ(ProfileName("notes.txt"), std::nullopt);
  // The windows show the active profile without its last four characters.
  EXPECT_EQ(ActiveProfileName("自宅用.prm"), "自宅用");
  EXPECT_EQ(ActiveProfileName("あいうえお"), "あ");
  for (const char* none : {"", ".prm", "ab", "あいうえ"}) EXPECT_EQ(ActiveProfileName(none), "") << none;
  // The save name: trimmed as a text box trims, ideographic spaces too.
  EXPECT_EQ(TrimBlanks("\t　自宅 用　 "), "自宅 用");
  EXPECT_EQ(SaveNameProblem("　 "), "保存名を指定してください。");
  EXPECT_EQ(SaveNameProblem(" 自宅用 "), "");
  for (const std::string& bad : std::vector<std::string>{"../x", "a/b",
                                                         "a\x01"
                                                         "b",
                                                         "😀", std::string(46, 'x')}) {
    EXPECT_EQ(SaveNameProblem(bad), "この保存名は使用できません。") << bad;
  }
  EXPECT_EQ(SaveNameProblem(std::string(45, 'x')), "");  // 49 bytes with ".prm": KOVANT.INI holds it whole
  // Deleting takes only a plain file of the folder.
  const std::string folder = TempFolder("deleteprofile");
  std::ofstream(folder + "/home.prm") << "";
  EXPECT_TRUE(DeleteProfile(folder, "home"));
  EXPECT_FALSE(std::filesystem::exists(folder + "/home.prm"));
  EXPECT_FALSE(DeleteProfile(folder, "home"));
  EXPECT_FALSE(DeleteProfile(folder, "../deleteprofile/home"));
}

TEST(CopyOrder, AcceptsDistinctPositionsAndAnyNumberOfZeros) {
  for (const auto& order : std::vector<std::array<std::string, 5>>{{"1", "2", "3", "4", "5"},
                                                                   {"0", "0", "1", "0", "0"},
                                                                   {"2", "0", "5", "0", "0"},
                                                                   {"5", "4", "3", "2", "1"},
                                                                   {" 1", "3", "0", "0", "0"}}) {
    EXPECT_EQ(CopyOrderProblem(order), "") << order[0] << order[1] << order[2];
  }
}

TEST(CopyOrder, TheFirstFailingBoxDecidesTheMessage) {
  const std::string wrong = "コピー順の設定に誤りがあります。", missing = "コピー順が設定されていません。";
  EXPECT_EQ(CopyOrderProblem({"1", "1", "2", "3", "4"}), wrong);
  EXPECT_EQ(CopyOrderProblem({"1", "2", "3", "", "1"}), missing);
  EXPECT_EQ(CopyOrderProblem({"1", "1", "", "0", "0"}), wrong);
  EXPECT_EQ(CopyOrderProblem({"1", "2", " ", "4", "5"}), missing);
  // Only pasting can put these here.
  EXPECT_EQ(CopyOrderProblem({"1", "a", "3", "4", "5"}), wrong);
  EXPECT_EQ(CopyOrderProblem({"1", "9", "3", "4", "5"}), wrong);
  EXPECT_EQ(CopyOrderProblem({"1", "１", "3", "4", "5"}), wrong);
}

TEST(SettingsTable, EveryKeyOnceAndTheDefaultsAreWhatAnEmptyFileReads) {
  std::set<std::string> names;
  for (const SettingKey& key : SettingsTable()) EXPECT_TRUE(names.insert(key.name).second) << key.name;
  EXPECT_EQ(names.size(), 26u);
  const std::string folder = TempFolder("emptyini");
  std::ofstream(folder + "/KOVANT.INI") << "[Parms]\r\n";
  EXPECT_EQ(Load(folder), DefaultSettings());
}

TEST(SettingsTable, KeysFoundByName) {
  const SettingKey* caption = FindSettingKey("FindCaption");
  ASSERT_NE(caption, nullptr);
  EXPECT_EQ(caption->kind, SettingKey::Text);
  EXPECT_EQ(caption->readLimit, kTextReadLimit);
  EXPECT_EQ(FindSettingKey("Sep1")->numberDefault, kSepOwnText);
  EXPECT_EQ(FindSettingKey("Seq5")->kind, SettingKey::Digits);
  EXPECT_EQ(FindSettingKey("Sep7"), nullptr);
}

}  // namespace
