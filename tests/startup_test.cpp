#include <sys/stat.h>
#include <unistd.h>
#include <filesystem>
#include <fstream>

#include "fakedesktop.h"
#include "platform/instance.h"
#include "platform/linkitems.h"
#include "platform/registry.h"
#include "ui/startup.h"
#include "uifixture.h"

namespace kovant::test {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct RegistryNote : ::testing::Test {
  std::string root = TempFolder("registry");
  platform::Registry registry{root};
  std::string note = root + "/HKEY_LOCAL_MACHINE/SOFTWARE/Morvix/KOVANT/RunPath/@";
  void Store(const std::string& value) { ASSERT_TRUE(registry.SetValue(ui::kSoftwareKey, ui::kRunPathKey, value)); }
};

TEST_F(RegistryNote, WrittenWhenMissingAndKeptWhenEqualButForTrailingBlanksOrNuls) {
  ASSERT_TRUE(ui::NoteProgramFolder(registry, "/opt/kovant"));
  EXPECT_EQ(ReadFile(note), "/opt/kovant");
  for (std::string stored : {std::string("/opt/kovant   "), std::string("/opt/kovant\0\0junk", 17)}) {
    Store(stored);
    ASSERT_TRUE(ui::NoteProgramFolder(registry, "/opt/kovant"));
    EXPECT_EQ(ReadFile(note), stored);
  }
}

TEST_F(RegistryNote, RewrittenWhenItDiffersInCaseOrIsTooLongForTheBuffer) {
  Store("/OPT/kovant");
  ASSERT_TRUE(ui::NoteProgramFolder(registry, "/opt/kovant"));
  EXPECT_EQ(ReadFile(note), "/opt/kovant");
  Store(std::string(200, 'x'));
  ASSERT_TRUE(ui::NoteProgramFolder(registry, "/opt/kovant"));
  EXPECT_EQ(ReadFile(note), "/opt/kovant");
}

TEST_F(RegistryNote, ARootThatCannotBeOpenedEndsTheProgram) {
  std::ofstream(root + "/HKEY_LOCAL_MACHINE") << "a file, not a key";
  EXPECT_FALSE(ui::NoteProgramFolder(registry, "/opt/kovant"));
  // Key names never leave the root.
  EXPECT_FALSE(registry.SetValue("..\\x", "y", "z"));
  EXPECT_FALSE(registry.QueryValue("a/b", "c", 128).has_value());
}

TEST_F(RegistryNote, ANoteThatCannotBeWrittenIsSaidAndTheProgramRunsOn) {
  // A file where the vendor's key would go: no one, root included, makes a
  // key below it.
  std::filesystem::create_directories(root + "/HKEY_LOCAL_MACHINE/SOFTWARE");
  std::ofstream(root + "/HKEY_LOCAL_MACHINE/SOFTWARE/Morvix") << "a file, not a key";
  const auto noted = ui::NoteProgramFolder(registry, "/opt/kovant");
  ASSERT_TRUE(noted.has_value());
  EXPECT_FALSE(noted->empty());
  EXPECT_TRUE(noted->ends_with("。"));
  EXPECT_FALSE(std::filesystem::exists(note));
}

TEST(InstanceLock, OneHolderPerUserUntilItEnds) {
  const std::string dir = TempFolder("lock");
  setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
  auto first = platform::InstanceLock::Acquire();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(platform::InstanceLock::Acquire(), nullptr);
  first.reset();
  EXPECT_NE(platform::InstanceLock::Acquire(), nullptr);
  // A runtime folder that cannot be used does not keep the program from starting.
  setenv("XDG_RUNTIME_DIR", (dir + "/missing/deeper").c_str(), 1);
  EXPECT_NE(platform::InstanceLock::Acquire(), nullptr);
  unsetenv("XDG_RUNTIME_DIR");
}

TEST(InstanceLock, WhatOthersPutInTheLocksPlaceNeitherHangsNorStopsTheStart) {
  const std::string dir = TempFolder("lock-attack");
  // Without a runtime folder the lock lives in a private folder of the user's.
  unsetenv("XDG_RUNTIME_DIR");
  setenv("XDG_CACHE_HOME", (dir + "/cache").c_str(), 1);
  const std::string path = platform::InstanceLock::LockPath();
  EXPECT_EQ(path.rfind(dir + "/cache/kovant/", 0), 0u) << path;
  struct stat st {};
  ASSERT_EQ(stat((dir + "/cache/kovant").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  {
    auto lock = platform::InstanceLock::Acquire();
    ASSERT_NE(lock, nullptr);
    EXPECT_TRUE(lock->Trusted());
  }
  // A named pipe in its place: no hang, a start without single instance.
  unlink(path.c_str());
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  auto piped = platform::InstanceLock::Acquire();
  ASSERT_NE(piped, nullptr);
  EXPECT_FALSE(piped->Trusted());
  // A lock folder others may write to is not trusted either.
  setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
  chmod(dir.c_str(), 0777);
  auto shared = platform::InstanceLock::Acquire();
  ASSERT_NE(shared, nullptr);
  EXPECT_FALSE(shared->Trusted());
  chmod(dir.c_str(), 0755);
  unsetenv("XDG_RUNTIME_DIR");
  unsetenv("XDG_CACHE_HOME");
}

TEST(HandOver, ActivatesTheWindowWhoseCaptionBeginsWithTheNameAndSendsCtrlF1) {
  FakeDesktop d;
  d.windows = {{1, "エディタ - ぴこらん.txt"}, {2, "ぴこらん Ver. 1.31"}};
  EXPECT_TRUE(ui::HandOver(d));
  EXPECT_EQ(d.log, (std::vector<std::string>{"activate 2", "ctrl+F1"}));
  FakeDesktop none;
  EXPECT_FALSE(ui::HandOver(none));
  EXPECT_TRUE(none.log.empty());
}

TEST(LinkItems, ExactNamesOnly) {
  using platform::LinkItem;
  EXPECT_EQ(platform::ParseLinkItem("Cmd"), LinkItem::Cmd);
  EXPECT_EQ(platform::ParseLinkItem("DistName"), LinkItem::DistName);
  EXPECT_EQ(platform::ParseLinkItem("Addr(0)"), LinkItem::Addr0);
  EXPECT_EQ(platform::ParseLinkItem("Addr(5)"), LinkItem::Addr5);
  EXPECT_EQ(platform::AddrIndex(LinkItem::Addr5), 5);
  for (const char* bad : {"Addr(6)", "Addr(-1)", "addr(0)", "Addr0", "Addr(0", "Addr(00)", "", "cmd", "Cmd "}) {
    EXPECT_EQ(platform::ParseLinkItem(bad), LinkItem::Unknown) << bad;
  }
  EXPECT_FALSE(platform::IsPokable(LinkItem::Addr0));
}

using Shutdown = UiFixture;

TEST_F(Shutdown, ExitSavesTheSettingsAndTheCloseBoxDoesNot) {
  settings::Settings work = settings::DefaultSettings();
  work.MarkSet = 1;
  WriteProfile("a", settings::DefaultSettings());
  WriteProfile("work", work);
  app.Settings.Profile = "a.prm";
  ASSERT_TRUE(Open(0));
  window->close();
  EXPECT_FALSE(std::filesystem::exists(folder + "/KOVANT.INI"));
  ASSERT_TRUE(Open(0));
  window->Combo1->setCurrentIndex(1);  // switched to while running
  window->Command3_Click();
  settings::Settings saved = settings::DefaultSettings();
  ASSERT_TRUE(settings::LoadSettings(saved, folder, "KOVANT.INI"));
  EXPECT_EQ(saved.Profile, "work.prm");
  EXPECT_EQ(saved.MarkSet, 1);
  EXPECT_EQ(saved, app.Settings);
}

TEST_F(Shutdown, ExitIntoAFolderThatCannotBeWrittenKeepsTheWindowOpenAndSaysWhy) {
  ASSERT_TRUE(Open(0));
  // Under a regular file: not even root writes there.
  std::ofstream(folder + "/file") << "x";
  app.SettingsFolder = folder + "/file/settings";
  window->Command3_Click();
  EXPECT_TRUE(window->isVisible());
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find(app.SettingsFolder + "/KOVANT.INI"), std::string::npos) << warnings[0];
  // The close box still ends, without saving.
  EXPECT_TRUE(window->close());
  EXPECT_FALSE(window->isVisible());
}

}  // namespace
}  // namespace kovant::test
