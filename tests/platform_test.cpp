// The folder rules, the reader's view of file systems and the choice among
// dictionaries, against folders and files made here.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "dict/census.h"
#include "dict/format.h"
#include "dict/freshness.h"
#include "dicfixture.h"
#include "platform/checknote.h"
#include "platform/folders.h"
#include "platform/instance.h"
#include "platform/readfile.h"
#include "platform/registry.h"
#include "process.h"

using namespace kovant;

namespace {

// Sets (or unsets, for nullptr) environment variables for the scope, and
// puts back what was there.
class Environment {
 public:
  Environment(std::initializer_list<std::pair<const char*, const char*>> values) {
    for (const auto& [name, value] : values) {
      const char* was = std::getenv(name);
      saved_.emplace(name, was ? std::optional<std::string>(was) : std::nullopt);
      value ? setenv(name, value, 1) : unsetenv(name);
    }
  }
  ~Environment() {
    for (const auto& [name, value] : saved_) value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
  }

 private:
  std::map<std::string, std::optional<std::string>> saved_;
};

constexpr std::pair<const char*, const char*> kNoXdg[] = {{"XDG_DATA_HOME", nullptr},   {"XDG_CONFIG_HOME", nullptr},
                                                          {"XDG_CACHE_HOME", nullptr},  {"XDG_RUNTIME_DIR", nullptr},
                                                          {"KOVANT_REGISTRY", nullptr}, {"KOVANT_HOME", nullptr}};

std::vector<std::string> EveryUserFolder() {
  std::vector<std::string> folders = {platform::UserDataFolder(),
                                      platform::UserConfigFolder(),
                                      platform::UserCacheFolder().value_or(""),
                                      platform::LockFolder().value_or(""),
                                      platform::CheckNotePath().value_or(""),
                                      platform::RegistryNoteRoot(),
                                      platform::InstanceLock::LockPath()};
  for (const std::string& f : platform::DictionaryFolders()) folders.push_back(f);
  return folders;
}

}  // namespace

// Every folder of the user's follows from one home: HOME, or the account's
// home without it. Never /tmp (where another user planted a dictionary
// that won), never the working folder, never a relative path; KOVANT_HOME
// moves the registry note with the settings.
TEST(FolderRules, EveryFolderFollowsOneHomeAndNoneIsShared) {
  const std::string home = test::TempFolder("rules-home");
  {
    Environment env{{"HOME", home.c_str()}};
    Environment none{kNoXdg[0], kNoXdg[1], kNoXdg[2], kNoXdg[3], kNoXdg[4], kNoXdg[5]};
    EXPECT_EQ(platform::UserDataFolder(), home + "/.local/share/kovant");
    EXPECT_EQ(platform::UserConfigFolder(), home + "/.config/kovant");
    EXPECT_EQ(platform::CheckNotePath(), home + "/.cache/kovant/checked");
    EXPECT_EQ(platform::RegistryNoteRoot(), home + "/.config/kovant/registry");
    EXPECT_EQ(platform::InstanceLock::LockPath(),
              home + "/.cache/kovant/kovant-" + std::to_string(geteuid()) + ".lock");
    Environment moved{{"KOVANT_HOME", (home + "/portable").c_str()}};
    EXPECT_EQ(platform::RegistryNoteRoot(), home + "/portable/registry");
    EXPECT_EQ(platform::SettingsFolder(), home + "/portable");
    EXPECT_EQ(platform::UserDictionaryFolder(), home + "/portable");
  }
  const auto account = platform::AccountHome();
  Environment env{{"HOME", nullptr}};
  Environment none{kNoXdg[0], kNoXdg[1], kNoXdg[2], kNoXdg[3], kNoXdg[4], kNoXdg[5]};
  const std::string cwd = std::filesystem::current_path().string();
  for (const std::string& folder : EveryUserFolder()) {
    if (folder.empty()) continue;
    EXPECT_EQ(folder.front(), '/') << folder;
    EXPECT_NE(folder.rfind("/tmp/", 0), 0u) << folder;
    if (account) {
      const bool underAccount = folder.rfind(*account + "/", 0) == 0;
      const bool systemWide = folder == platform::SystemDataFolder() || folder == platform::ExecutableFolder() ||
                              folder.find("/share/kovant") != std::string::npos;
      EXPECT_TRUE(underAccount || systemWide) << folder;
    }
  }
  if (account) {
    EXPECT_EQ(platform::UserDataFolder(), *account + "/.local/share/kovant");
  }
}

// Root run with a user's HOME (su without "-") takes its own home: nothing
// is made in a home of another user's, where a root-owned ~/.cache once
// locked the user out.
TEST(FolderRules, AHomeOfAnotherUserIsNotOurs) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to give a folder to another user";
  const std::string theirs = test::TempFolder("rules-theirs");
  ASSERT_EQ(chown(theirs.c_str(), 65534, 65534), 0);
  Environment env{{"HOME", theirs.c_str()}};
  Environment none{kNoXdg[0], kNoXdg[1], kNoXdg[2], kNoXdg[3], kNoXdg[4], kNoXdg[5]};
  Environment runtime{{"XDG_RUNTIME_DIR", theirs.c_str()}, {"XDG_CACHE_HOME", (theirs + "/.cache").c_str()}};
  for (const std::string& folder : EveryUserFolder()) EXPECT_NE(folder.rfind(theirs, 0), 0u) << folder;
  EXPECT_EQ(platform::UserHome(), platform::AccountHome());
  // What makes folders: the lock and the note of checked files.
  auto lock = platform::InstanceLock::Acquire();
  if (const auto note = platform::CheckNotePath()) {
    platform::NoteChecked(*note, platform::FileIdentity{1, 2, 3, 4, 5}, "probe", int64_t{1} << 62);
  }
  EXPECT_TRUE(std::filesystem::is_empty(theirs));
}

// The note of checked files vouches only on file systems whose change time
// the system alone sets; /proc is no such one (neither are FAT and exFAT
// through FUSE, which a test cannot mount).
TEST(ReadFile, ChangeTimeIsTheSystemsOnLocalFileSystemsAlone) {
  std::string error;
  const std::string path = test::TempFolder("fs") + "/file";
  std::ofstream(path) << "x";
  auto local = platform::ReadFile::Open(path, &error);
  ASSERT_TRUE(local) << error;
  EXPECT_TRUE(local->ChangeTimeKeptBySystem()) << "the temporary folder's file system";
  auto proc = platform::ReadFile::Open("/proc/self/status", &error);
  ASSERT_TRUE(proc) << error;
  EXPECT_FALSE(proc->ChangeTimeKeptBySystem());
  EXPECT_FALSE(platform::ReadFile::Open(test::TempFolder("fs-none") + "/missing", &error));
  EXPECT_FALSE(error.empty());
}

// A dictionary dated 2099 in the user's folder never wins over one with a
// plausible date, and kovant-lookup --info names it and why.
TEST(DictionaryChoice, AFutureDateNeverWinsAndInfoSaysWhy) {
  EXPECT_TRUE(dict::IsFutureDate("2099-01-31", "2026-12-10"));
  EXPECT_FALSE(dict::IsFutureDate("2026-12-11", "2026-12-10")) << "Japan's day may be ahead";
  EXPECT_FALSE(dict::IsFutureDate("2026-04-27", "2026-12-10"));
  const std::string home = test::TempFolder("future"), data = home + "/.local/share/kovant", system = home + "/system";
  std::filesystem::create_directories(data);
  std::filesystem::create_directories(system);
  std::string bytes = test::ReadAll(test::SampleDic());
  std::ofstream(system + "/KOVANT.DIC", std::ios::binary) << bytes;
  const std::string date = "2099-01-31";
  std::copy(date.begin(), date.end(), bytes.begin() + dict::header::kDataDate);
  std::ofstream(data + "/KOVANT.DIC", std::ios::binary) << bytes;
  Environment env{{"HOME", home.c_str()}, {"KOVANT_SYSTEM_DIR", system.c_str()}};
  Environment none{kNoXdg[0], kNoXdg[1], kNoXdg[2], kNoXdg[3], kNoXdg[4], kNoXdg[5]};
  const auto choice = dict::ChooseDictionaryFolder("2026-12-10");
  EXPECT_NE(choice.folder, data);
  ASSERT_EQ(choice.passedOver.size(), 1u);
  EXPECT_NE(choice.passedOver[0].find(data + "/KOVANT.DIC"), std::string::npos);
  EXPECT_NE(choice.passedOver[0].find(date), std::string::npos);
  // The tools see the same: the genuine one in use, the other named.
  const auto info = test::RunProcess(test::Bin("kovant-lookup") + " --info");
  EXPECT_EQ(info.status, 0);
  EXPECT_EQ(info.out.find("データ日付: " + date), std::string::npos) << info.out;
  EXPECT_NE(info.out.find(date + "）が今日より先"), std::string::npos) << info.out;
  // Only future ones: the newest of them still serves (the clock may be wrong).
  std::filesystem::remove(system + "/KOVANT.DIC");
  const auto onlyFuture = dict::ChooseDictionaryFolder("2026-12-10");
  if (platform::DictionaryFolders().size() == 1) {
    EXPECT_EQ(onlyFuture.folder, data);
  }
}
