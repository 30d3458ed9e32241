// Where the Windows build keeps what it keeps: the user's roaming and
// local profile folders, ProgramData for every user, a portable copy's own
// folder; the newest valid dictionary among them wins; KOVANT.INI stays
// Shift-JIS with CR LF; messages and help name paths and folders the
// Windows way.
#include <windows.h>

#include <filesystem>
#include <optional>
#include <vector>
#include <string>

#include <gtest/gtest.h>

#include "../testdata.h"
#include "dict/census.h"
#include "dict/freshness.h"
#include "dict/reader.h"
#include "lookup/lookup.h"
#include "lookup/lookupoutput.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "settings/settings.h"

namespace kovant {
namespace {

using settings::DefaultSettings;
using settings::SaveSettings;
using settings::Settings;
using test::BuildInto;
using test::SamplePath;
using test::TempFolder;
using test::TownsOf;

// Windows takes either separator; the paths are compared with its own.
std::string Native(std::string path) {
  for (char& c : path) c = c == '/' ? '\\' : c;
  return path;
}
std::string Native(const std::optional<std::string>& path) { return path ? Native(*path) : "(none)"; }
std::vector<std::string> Native(std::vector<std::string> paths) {
  for (std::string& p : paths) p = Native(p);
  return paths;
}

class WindowsFolders : public ::testing::Test {
 protected:
  std::string roaming, local, shared;
  void SetUp() override {
    const std::string root = TempFolder("profile");
    roaming = root + "\\Roaming";
    local = root + "\\Local";
    shared = root + "\\ProgramData";
    for (const std::string* f : {&roaming, &local, &shared}) std::filesystem::create_directories(*f);
    SetEnvironmentVariableA("APPDATA", roaming.c_str());
    SetEnvironmentVariableA("LOCALAPPDATA", local.c_str());
    SetEnvironmentVariableA("ProgramData", shared.c_str());
    SetEnvironmentVariableA("KOVANT_HOME", nullptr);
    SetEnvironmentVariableA("KOVANT_SYSTEM_DIR", nullptr);
  }
};

TEST_F(WindowsFolders, EachKindOfFileHasItsProfileFolder) {
  EXPECT_EQ(Native(platform::UserConfigFolder()), roaming + "\\KOVANT");
  EXPECT_EQ(Native(platform::UserDataFolder()), local + "\\KOVANT");
  EXPECT_EQ(Native(platform::UserDictionaryFolder()), local + "\\KOVANT");
  EXPECT_EQ(Native(platform::SystemDataFolder()), shared + "\\KOVANT");
  EXPECT_EQ(Native(platform::RegistryNoteRoot()), roaming + "\\KOVANT\\registry");
  EXPECT_EQ(Native(platform::LockFolder()), local + "\\KOVANT");
  // The test program's folder holds no KOVANT.DIC: no portable copy.
  EXPECT_EQ(Native(platform::SettingsFolder()), roaming + "\\KOVANT");
  // A profile variable that is no absolute path is no folder of ours.
  SetEnvironmentVariableA("APPDATA", "relative\\path");
  EXPECT_EQ(Native(platform::UserConfigFolder()), "");
}

// A portable copy (KOVANT.DIC beside the program, the folder writable)
// keeps KOVANT.INI beside itself; the newest valid dictionary of the
// program's folder, the user's and every user's is the one used.
TEST_F(WindowsFolders, APortableCopyKeepsItsSettingsAndTheNewestDataWins) {
  const std::string exe = platform::ExecutableFolder();
  const auto towns = TownsOf(SamplePath());
  const std::string beside = exe + "\\KOVANT.DIC";
  ASSERT_FALSE(platform::IsRegularFile(beside)) << "a dictionary was left beside the test program";
  BuildInto(exe, towns, nullptr, "2026-01-01");
  EXPECT_EQ(Native(platform::SettingsFolder()), exe);
  {  // an installed copy (its uninstaller beside it) keeps them in the profile
    const std::string uninstaller = exe + "\\uninstall.exe";
    ASSERT_TRUE(platform::WriteFileAtomically(uninstaller, "MZ").empty());
    EXPECT_EQ(Native(platform::SettingsFolder()), roaming + "\\KOVANT");
    std::filesystem::remove(uninstaller);
  }
  std::filesystem::create_directories(local + "\\KOVANT");
  std::filesystem::create_directories(shared + "\\KOVANT");
  BuildInto(local + "\\KOVANT", towns, nullptr, "2026-02-01");
  BuildInto(shared + "\\KOVANT", towns, nullptr, "2026-03-01");
  EXPECT_EQ(Native(platform::DictionaryFolders()),
            (std::vector<std::string>{exe, local + "\\KOVANT", shared + "\\KOVANT"}));
  EXPECT_EQ(Native(dict::ChooseDictionaryFolder("2026-12-01").folder), shared + "\\KOVANT");
  BuildInto(local + "\\KOVANT", towns, nullptr, "2026-04-01");
  EXPECT_EQ(Native(dict::ChooseDictionaryFolder("2026-12-01").folder), local + "\\KOVANT");
  std::filesystem::remove(beside);
  EXPECT_EQ(Native(platform::SettingsFolder()), roaming + "\\KOVANT");
}

// Messages name every path with "\\" between its names, even one given or
// joined with "/"; --help names the Windows folders, from the folder rules.
TEST_F(WindowsFolders, MessagesAndHelpNamePathsAndFoldersTheWindowsWay) {
  auto slashed = [](std::string path) {
    for (char& c : path) c = c == '\\' ? '/' : c;
    return path;
  };
  const std::string root = Native(TempFolder("messages"));
  ASSERT_TRUE(platform::WriteFileAtomically(root + "\\blocker", "x").empty());
  // Settings saved into a folder a file stands in the way of.
  const std::string unsaved =
      settings::SaveSettingsProblem(DefaultSettings(), slashed(root) + "/blocker/sub", "KOVANT.INI");
  EXPECT_NE(unsaved.find(" " + root + "\\blocker\\sub\\KOVANT.INI "), std::string::npos) << unsaved;
  EXPECT_EQ(unsaved.find('/'), std::string::npos) << unsaved;
  const std::string unread = dict::ReadErrorMessage(slashed(root) + "/none/KOVANT.DIC", dict::Error{"x"});
  EXPECT_NE(unread.find(root + "\\none\\KOVANT.DIC x"), std::string::npos) << unread;

  // --info's lines, and the notice of a dictionary passed over for its date
  // in the future.
  const auto towns = TownsOf(SamplePath());
  std::filesystem::create_directories(local + "\\KOVANT");
  std::filesystem::create_directories(shared + "\\KOVANT");
  BuildInto(local + "\\KOVANT", towns, nullptr, dict::LocalToday());
  BuildInto(shared + "\\KOVANT", towns, nullptr, "2099-12-31");
  lookup::StringSink sink;
  lookup::TextOutput out(sink);
  EXPECT_EQ(lookup::ShowInfo(slashed(local) + "/KOVANT/KOVANT.DIC", out), 0);
  EXPECT_EQ(sink.Text().rfind("辞書: " + local + "\\KOVANT\\KOVANT.DIC\nデータ日付: ", 0), 0u) << sink.Text();
  const auto choice = dict::ChooseDictionaryFolder(dict::LocalToday());
  ASSERT_EQ(choice.passedOver.size(), 1u);
  EXPECT_EQ(choice.passedOver[0].rfind(shared + "\\KOVANT\\KOVANT.DIC は", 0), 0u) << choice.passedOver[0];

  const std::string help = platform::FolderHelpText();
  for (const char* named :
       {"%LOCALAPPDATA%\\KOVANT", "%APPDATA%\\KOVANT", "%ProgramData%\\KOVANT", "uninstall.exe", "KOVANT_HOME"}) {
    EXPECT_NE(help.find(named), std::string::npos) << named << "\n" << help;
  }
  EXPECT_EQ(help.find("XDG"), std::string::npos) << help;
  EXPECT_EQ(help.find('/'), std::string::npos) << help;
  EXPECT_NE(lookup::UsageText().find(help), std::string::npos);
  const platform::FolderNames names = platform::FolderRuleNames();
  EXPECT_EQ(names.userData, "%LOCALAPPDATA%\\KOVANT");
  EXPECT_EQ(names.userConfig, "%APPDATA%\\KOVANT");
  EXPECT_EQ(names.system, "%ProgramData%\\KOVANT");
}

TEST_F(WindowsFolders, KovantIniIsShiftJisWithCrLf) {
  const std::string folder = roaming + "\\KOVANT";
  std::filesystem::create_directories(folder);
  Settings s = DefaultSettings();
  s.SepText[1] = "あ";
  ASSERT_TRUE(SaveSettings(s, folder, "KOVANT.INI"));
  const auto bytes = platform::ReadWholeFile(folder + "\\KOVANT.INI");
  ASSERT_TRUE(bytes);
  EXPECT_NE(bytes->find("Sep2Text=\x82\xA0\r\n"), std::string::npos);
  for (size_t at = bytes->find('\n'); at != std::string::npos; at = bytes->find('\n', at + 1)) {
    ASSERT_TRUE(at > 0 && (*bytes)[at - 1] == '\r') << "a bare line feed at byte " << at;
  }
}

}  // namespace
}  // namespace kovant
