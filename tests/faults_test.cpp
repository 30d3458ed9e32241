// The settings file under faults: a read-only or full file system, and a
// process killed while it writes. The old file or the new one stays whole.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "platform/files.h"
#include "platform/registry.h"
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

TEST(SettingsFaults, AFileTooLargeToReadIsNeverRewrittenFromNothing) {
  const std::string folder = TempFolder("huge-ini");
  const std::string path = folder + "/KOVANT.INI";
  std::string text = "[Other]\r\nKeep=1\r\n[Parms]\r\nMarkSet=1\r\n";
  text += "[Padding]\r\n" + std::string(5u << 20, 'x') + "\r\n";
  std::ofstream(path, std::ios::binary) << text;
  EXPECT_FALSE(settings::SaveSettings(settings::DefaultSettings(), folder, "KOVANT.INI"));
  EXPECT_EQ(ReadAll(path), text);
}

TEST(WriteFileAtomically, APrivateFileIsOnlyTheUsersEvenWhenItWasNot) {
  const std::string path = TempFolder("write-private") + "/portal-token";
  std::ofstream(path) << "old";
  ASSERT_EQ(chmod(path.c_str(), 0644), 0);
  EXPECT_EQ(platform::WritePrivateFileAtomically(path, "new"), "");
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_EQ(ReadAll(path), "new");
}

TEST(WriteFileAtomically, ReplacesOnlyRegularFilesWithTheRightModes) {
  const std::string folder = TempFolder("write-modes");
  // Not a device, a pipe or a folder, even as root.
  const std::string fifo = folder + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_NE(platform::WriteFileAtomically(fifo, "x"), "");
  struct stat st {};
  ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_NE(platform::WriteFileAtomically(folder, "x"), "");
  // A new file follows the umask; a replaced one keeps its mode, less set-ID bits.
  const mode_t old = umask(077);
  EXPECT_EQ(platform::WriteFileAtomically(folder + "/new", "x"), "");
  umask(old);
  ASSERT_EQ(stat((folder + "/new").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  const std::string suid = folder + "/suid";
  std::ofstream(suid) << "old";
  chmod(suid.c_str(), 04755);
  EXPECT_EQ(platform::WriteFileAtomically(suid, "new"), "");
  ASSERT_EQ(stat(suid.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0755u);
  // The user's own link is written through; the link stays a link.
  const std::string target = folder + "/target.ini", link = folder + "/KOVANT.INI";
  std::ofstream(target) << "old";
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
  EXPECT_EQ(platform::WriteFileAtomically(link, "new"), "");
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(ReadAll(target), "new");
}

TEST(SettingsFaults, NamedPipesInPlaceOfFilesNeverHang) {
  const std::string folder = TempFolder("fifos");
  auto fifo = [&](const std::string& path) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0) << path;
  };
  // Each would block for good in a plain open() with no writer.
  fifo(folder + "/KOVANT.INI");
  settings::Settings s;
  s.MarkSet = 9;
  EXPECT_TRUE(settings::LoadSettings(s, folder, "KOVANT.INI"));
  EXPECT_EQ(s, settings::DefaultSettings());
  EXPECT_FALSE(settings::SaveSettings(s, folder, "KOVANT.INI"));
  platform::Registry registry(folder + "/registry");
  ASSERT_TRUE(registry.SetValue("HKEY_LOCAL_MACHINE\\SOFTWARE", "Morvix\\KOVANT\\RunPath", "x"));
  const std::string value = folder + "/registry/HKEY_LOCAL_MACHINE/SOFTWARE/Morvix/KOVANT/RunPath/@";
  std::filesystem::remove(value);
  fifo(value);
  EXPECT_FALSE(registry.QueryValue("HKEY_LOCAL_MACHINE\\SOFTWARE", "Morvix\\KOVANT\\RunPath", 128).has_value());
  fifo(folder + "/dic/KOVANT.DIC");
  auto r =
      RunProcess("timeout 20 " + Bin("kovant-lookup") + " --dic " + Quote(folder + "/dic/KOVANT.DIC") + " 1000001");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("辞書の読み込みでエラーが発生しました。"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace kovant::test
