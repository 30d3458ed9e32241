// The settings file under faults: a read-only or full file system, and a
// process killed while it writes. The old file or the new one stays whole.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "platform/files.h"
#include "process.h"
#include "settings/settings.h"
#include "testdata.h"

namespace kovant::test {
namespace {

using settings::Settings;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A small file system of our own (tmpfs), mounted for the test; root only.
struct SmallFileSystem {
  std::string dir;
  bool mounted = false;
  explicit SmallFileSystem(const std::string& options) {
    dir = TempFolder("fs");
    mounted = RunProcess("mount -t tmpfs -o " + options + " tmpfs " + Quote(dir)).status == 0;
  }
  ~SmallFileSystem() {
    if (mounted) RunProcess("umount " + Quote(dir));
  }
};

Settings Variant(int which) {
  Settings s = settings::DefaultSettings();
  s.MarkSet = static_cast<int16_t>(which);
  s.FindCaption = which == 1 ? "メモ帳" : "エディタ";
  s.SepText[1] = std::string(which == 1 ? 3 : 9, 'x');
  return s;
}

TEST(SettingsFaults, ReadOnlyFileSystemLeavesTheOldFileWhole) {
  SmallFileSystem fs("size=64k");
  if (!fs.mounted) GTEST_SKIP() << "cannot mount a file system here (needs root): skipped";
  ASSERT_TRUE(settings::SaveSettings(Variant(1), fs.dir, "KOVANT.INI"));
  const std::string before = ReadAll(fs.dir + "/KOVANT.INI");
  ASSERT_EQ(RunProcess("mount -o remount,ro " + Quote(fs.dir)).status, 0);
  EXPECT_FALSE(settings::SaveSettings(Variant(2), fs.dir, "KOVANT.INI"));
  EXPECT_EQ(ReadAll(fs.dir + "/KOVANT.INI"), before);
  Settings loaded = settings::DefaultSettings();
  settings::LoadSettings(loaded, fs.dir, "KOVANT.INI");
  EXPECT_EQ(loaded, Variant(1));
  RunProcess("mount -o remount,rw " + Quote(fs.dir));
}

TEST(SettingsFaults, FullFileSystemLeavesTheOldFileWholeAndNoTemporaryFile) {
  SmallFileSystem fs("size=16k");
  if (!fs.mounted) GTEST_SKIP() << "cannot mount a file system here (needs root): skipped";
  ASSERT_TRUE(settings::SaveSettings(Variant(1), fs.dir, "KOVANT.INI"));
  const std::string before = ReadAll(fs.dir + "/KOVANT.INI");
  // Fill what is left.
  {
    std::ofstream filler(fs.dir + "/filler", std::ios::binary);
    std::string block(1024, 'f');
    for (int i = 0; i < 64 && filler; ++i) filler.write(block.data(), static_cast<std::streamsize>(block.size()));
  }
  EXPECT_FALSE(settings::SaveSettings(Variant(2), fs.dir, "KOVANT.INI"));
  EXPECT_EQ(ReadAll(fs.dir + "/KOVANT.INI"), before);
  size_t files = 0;
  for (const auto& e : std::filesystem::directory_iterator(fs.dir)) files += e.is_regular_file();
  EXPECT_EQ(files, 2u);  // KOVANT.INI and the filler
}

TEST(SettingsFaults, KilledWhileSavingLeavesTheOldOrTheNewFileWhole) {
  const std::string folder = TempFolder("killed");
  ASSERT_TRUE(settings::SaveSettings(Variant(1), folder, "KOVANT.INI"));
  const std::string one = ReadAll(folder + "/KOVANT.INI");
  ASSERT_TRUE(settings::SaveSettings(Variant(2), folder, "KOVANT.INI"));
  const std::string two = ReadAll(folder + "/KOVANT.INI");
  std::mt19937 rng(42);
  std::uniform_int_distribution<int> delay(0, 3000);
  for (int round = 0; round < 100; ++round) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int i = 0;; ++i) settings::SaveSettings(Variant(1 + i % 2), folder, "KOVANT.INI");
    }
    usleep(static_cast<useconds_t>(delay(rng)));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    const std::string now = ReadAll(folder + "/KOVANT.INI");
    ASSERT_TRUE(now == one || now == two) << "round " << round << ": " << now.size() << " bytes";
  }
}

}  // namespace
}  // namespace kovant::test
