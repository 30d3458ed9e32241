// The Debian package as a packager and a user meet it: lintian has nothing
// to say at its default level, and the package installs into a throwaway
// root, runs from there and leaves nothing behind when removed.
#include <filesystem>
#include <gtest/gtest.h>

#include "process.h"

namespace kovant::test {
namespace {

namespace fs = std::filesystem;

TEST(Package, LintianCleanInstallsRunsAndRemovesWithoutTrace) {
  char folder[] = "/tmp/kovant-package-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string dir = folder;
  ProcessResult made = RunProcess("cpack --config " + Quote(std::string(KOVANT_BUILD_DIR) + "/CPackConfig.cmake") +
                                  " -B " + Quote(dir + "/out"));
  ASSERT_EQ(made.status, 0) << made.out << made.err;
  std::string deb;
  for (const auto& e : fs::directory_iterator(dir + "/out")) {
    if (e.path().extension() == ".deb") deb = e.path().string();
  }
  ASSERT_FALSE(deb.empty());
  EXPECT_EQ(fs::path(deb).filename().string().rfind("kovant_1.31-1_", 0), 0u) << deb;

  ProcessResult lint = RunProcess("lintian --fail-on error,warning " + Quote(deb));
  EXPECT_EQ(lint.status, 0) << lint.out << lint.err;
  ProcessResult appstream =
      RunProcess("appstreamcli validate --pedantic --no-net " +
                 Quote(std::string(KOVANT_SOURCE_DIR) + "/packaging/io.github.kovant.kovant.metainfo.xml"));
  EXPECT_EQ(appstream.status, 0) << appstream.out << appstream.err;

  // A root of our own with an empty package database.
  const std::string root = dir + "/root";
  for (const char* d : {"/var/lib/dpkg/info", "/var/lib/dpkg/updates", "/var/lib/dpkg/triggers"}) {
    fs::create_directories(root + d);
  }
  RunProcess("touch " + Quote(root + "/var/lib/dpkg/status") + " " + Quote(root + "/var/lib/dpkg/available"));
  // The maintainer scripts run here, not chrooted, told the root by DPKG_ROOT.
  const std::string dpkg =
      "dpkg --root=" + Quote(root) + " --log=/dev/null --force-depends --force-not-root --force-script-chrootless ";
  ProcessResult installed = RunProcess(dpkg + "-i " + Quote(deb));
  ASSERT_EQ(installed.status, 0) << installed.out << installed.err;
  for (const char* f : {"/usr/bin/kovant-lookup", "/usr/share/kovant/KOVANT.DIC", "/usr/share/doc/kovant/copyright",
                        "/usr/share/man/man1/kovant-lookup.1.gz", "/usr/share/man/ja/man1/kovant-lookup.1.gz",
                        "/usr/share/man/ja/man1/kovant-mkdic.1.gz", "/usr/lib/systemd/system/kovant-update.service",
                        "/usr/lib/systemd/system/kovant-update.timer"}) {
    EXPECT_TRUE(fs::exists(root + f)) << f;
  }
  // The installed program finds the installed dictionary of its prefix.
  ProcessResult run = RunProcess("env -u KOVANT_HOME HOME=" + Quote(dir) + " XDG_DATA_HOME=" + Quote(dir + "/none") +
                                 " KOVANT_SYSTEM_DIR=" + Quote(dir + "/none") + " " +
                                 Quote(root + "/usr/bin/kovant-lookup") + " 5300001");
  EXPECT_EQ(run.out, "530-0001\t530\t大阪府\t大阪市北区\t梅田\n") << run.err;

  EXPECT_TRUE(fs::exists(root + "/etc/default/kovant"));
  EXPECT_NE(RunProcess("dpkg-deb -I " + Quote(deb) + " conffiles").out.find("/etc/default/kovant"), std::string::npos);
  // The service's own user, made by the package (kept on purge, as Debian
  // keeps system users: a number reused could own what it left).
  EXPECT_NE(RunProcess("cat " + Quote(root + "/etc/passwd")).out.find("kovant:"), std::string::npos);

  // The administrator enables the timer, and the update has written the
  // shared dictionary: purge takes both away.
  ProcessResult enabled = RunProcess("systemctl --root=" + Quote(root) + " enable kovant-update.timer");
  ASSERT_EQ(enabled.status, 0) << enabled.out << enabled.err;
  const std::string link = root + "/etc/systemd/system/timers.target.wants/kovant-update.timer";
  EXPECT_TRUE(fs::is_symlink(link));
  fs::create_directories(root + "/var/lib/kovant");
  fs::copy_file(root + "/usr/share/kovant/KOVANT.DIC", root + "/var/lib/kovant/KOVANT.DIC");

  ProcessResult removed = RunProcess(dpkg + "--purge kovant");
  ASSERT_EQ(removed.status, 0) << removed.out << removed.err;
  std::vector<std::string> left;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    const std::string p = e.path().string().substr(root.size());
    const bool users = p == "/etc" || p.rfind("/etc/passwd", 0) == 0 || p.rfind("/etc/group", 0) == 0 ||
                       p.rfind("/etc/shadow", 0) == 0 || p.rfind("/etc/gshadow", 0) == 0 || p == "/etc/.pwd.lock";
    // Folders of systemd's own (empty: anything in them is listed too).
    const bool systemds = p == "/etc/systemd" || p == "/etc/systemd/system" || p == "/var/lib/systemd";
    if (p.rfind("/var/lib/dpkg", 0) != 0 && p != "/var/lib" && p != "/var" && !users && !systemds) left.push_back(p);
  }
  std::string all;
  for (const auto& p : left) all += p + "\n";
  EXPECT_TRUE(left.empty()) << all;
  EXPECT_FALSE(fs::is_symlink(link));
  fs::remove_all(dir);
}

// The monthly service runs as its own user with what the download and the
// build need: systemd rates its exposure low (its scale: 0 safe, 10 exposed).
TEST(Package, TheUpdateServiceIsConfinedToItsFolder) {
  char folder[] = "/tmp/kovant-unit-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string unit = std::string(folder) + "/kovant-update.service";
  ProcessResult made = RunProcess("sed 's|@KOVANT_BINDIR@|/usr/bin|' " +
                                  Quote(std::string(KOVANT_SOURCE_DIR) + "/packaging/kovant-update.service.in") +
                                  " > " + Quote(unit) + " && cat " + Quote(unit));
  ASSERT_EQ(made.status, 0) << made.err;
  ProcessResult rated = RunProcess("systemd-analyze security --offline=true --no-pager " + Quote(unit));
  const std::string overall = "Overall exposure level for kovant-update.service: ";
  const auto at = rated.out.find(overall);
  ASSERT_NE(at, std::string::npos) << rated.out << rated.err;
  EXPECT_LE(std::stod(rated.out.substr(at + overall.size())), 2.5) << rated.out;
  // Its own user owns the folder, made readable for every reader; the mirror
  // and the proxy come from one file; a lying zip meets a memory limit.
  for (const char* needed : {"User=kovant", "StateDirectory=kovant", "StateDirectoryMode=0755",
                             "EnvironmentFile=-/etc/default/kovant", "MemoryMax="}) {
    EXPECT_NE(made.out.find(needed), std::string::npos) << needed;
  }
  fs::remove_all(folder);
}

}  // namespace
}  // namespace kovant::test
