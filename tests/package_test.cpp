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
  const std::string dpkg = "dpkg --root=" + Quote(root) + " --log=/dev/null --force-depends --force-not-root ";
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

  ProcessResult removed = RunProcess(dpkg + "--purge kovant");
  ASSERT_EQ(removed.status, 0) << removed.out << removed.err;
  std::vector<std::string> left;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    const std::string p = e.path().string().substr(root.size());
    if (p.rfind("/var/lib/dpkg", 0) != 0 && p != "/var/lib" && p != "/var") left.push_back(p);
  }
  EXPECT_TRUE(left.empty()) << left.front();
  fs::remove_all(dir);
}

}  // namespace
}  // namespace kovant::test
