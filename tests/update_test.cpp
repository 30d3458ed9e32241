// kovant-mkdic --update against an HTTP server of the test's own on the
// loopback address (httpserver.h): the national files, error pages, a cut transfer, a
// redirect, a server that never answers and one that trickles.
#include <arpa/inet.h>
#include <atomic>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>
#include <zip.h>

#include "platform/files.h"
#include "httpserver.h"
#include "process.h"
#include "update/download.h"
#include "testdata.h"
#include "zipdata.h"

namespace kovant::test {
namespace {

std::string FileBytes(const std::string& path) { return platform::ReadWholeFile(path, size_t{64} << 20).value_or(""); }

// The zip with the uncompressed size its headers state changed to size.
std::string SizesSaid(std::string zip, uint32_t size) {
  for (auto [sig, at] : {std::pair{std::string("PK\x01\x02", 4), 24}, std::pair{std::string("PK\x03\x04", 4), 22}}) {
    const auto pos = zip.find(sig);
    for (int i = 0; i < 4; ++i) zip[pos + at + i] = static_cast<char>((size >> (8 * i)) & 0xFF);
  }
  return zip;
}

class Update : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const std::string ken = FileBytes(NationalFile()), jig = FileBytes(NationalOfficeFile());
    const Answer zipOk{"HTTP/1.1 200 OK\r\nContent-Type: application/zip", ""};
    auto ok = [&](const std::string& body) { return Answer{zipOk.head, body}; };
    const std::string sampleCsv = FileBytes(SamplePath());
    // The national towns again, their CSV dated the last day of 2099.
    std::tm lastDay{};
    lastDay.tm_year = 2099 - 1900;
    lastDay.tm_mon = 11;
    lastDay.tm_mday = 31;
    lastDay.tm_hour = 12;
    auto kenCsv = tools::ReadInputFile(NationalFile());
    const std::string future = ZipOf("KEN_ALL.CSV", kenCsv ? kenCsv->bytes : std::string(), std::mktime(&lastDay));
    server_ = new HttpServer({
        {"/good/ken_all.zip", ok(ken)},
        {"/good/jigyosyo.zip", ok(jig)},
        {"/moved/ken_all.zip", {"HTTP/1.1 302 Found\r\nLocation: /good/ken_all.zip", ""}},
        {"/moved/jigyosyo.zip", {"HTTP/1.1 301 Moved Permanently\r\nLocation: /good/jigyosyo.zip", ""}},
        {"/html/ken_all.zip",
         {"HTTP/1.1 200 OK\r\nContent-Type: text/html", "<html><body>メンテナンス中</body></html>"}},
        {"/html/jigyosyo.zip", ok(jig)},
        {"/cut/ken_all.zip",
         {"HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(ken.size()), ken.substr(0, ken.size() / 2)}},
        {"/cut/jigyosyo.zip", ok(jig)},
        {"/half/ken_all.zip", ok(ken.substr(0, ken.size() / 2))},
        {"/half/jigyosyo.zip", ok(jig)},
        {"/few/ken_all.zip", ok(ZipOf("KEN_ALL.CSV", sampleCsv))},
        {"/few/jigyosyo.zip", ok(jig)},
        {"/hang/ken_all.zip", {"", "", true}},
        // 2 bytes a second, and 20 KB a second of a file that would take ten
        // seconds at that.
        {"/trickle/ken_all.zip", {zipOk.head, std::string(40, 'x'), false, 2}},
        {"/slow/ken_all.zip", {zipOk.head, std::string(200000, 'x'), false, 20000}},
        {"/future/ken_all.zip", ok(future)},
        {"/future/jigyosyo.zip", ok(jig)},
        // 100 MB of zeros in 100 KB: honest about its size, and still no
        // file of Japan Post's.
        {"/bomb/ken_all.zip", ok(ZipOf("KEN_ALL.CSV", std::string(size_t{100} << 20, '0')))},
        {"/bomb/jigyosyo.zip", ok(jig)},
        {"/lying/ken_all.zip", ok(SizesSaid(ZipOf("KEN_ALL.CSV", std::string(size_t{100} << 20, '0')), 1000))},
        {"/lying/jigyosyo.zip", ok(jig)},
    });
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }

  // Runs the update with KOVANT_HOME holding the dictionary in use.
  ProcessResult RunUpdate(const std::string& home, const std::string& args) {
    return RunProcess("env KOVANT_HOME=" + Quote(home) + " " + Quote(Bin("kovant-mkdic")) + " --update " + args);
  }

  static HttpServer* server_;
};
HttpServer* Update::server_ = nullptr;

TEST_F(Update, InstallsTheCheckedNationalDataAndSaysWhatChanged) {
  // In use: the small sample, dated before the national data.
  const std::string home = TempFolder("update-good");
  BuildInto(home, TownsOf(SamplePath()));
  ProcessResult r = RunUpdate(home, "--from " + Quote(server_->Url("moved")));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("データの日付: 2026-01-01 → 2026-04-27"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("件削除"), std::string::npos) << r.out;
  ProcessResult info = RunProcess("env KOVANT_HOME=" + Quote(home) + " " + Quote(Bin("kovant-lookup")) + " --info");
  EXPECT_NE(info.out.find("事業所: 22420"), std::string::npos) << info.out;
  ProcessResult umeda = RunProcess("env KOVANT_HOME=" + Quote(home) + " " + Quote(Bin("kovant-lookup")) + " 5300001");
  EXPECT_EQ(umeda.out, "530-0001\t530\t大阪府\t大阪市北区\t梅田\n");
  const auto before = platform::StampOf(home + "/KOVANT.DIC");
  ASSERT_TRUE(before);
  // The mirror named by KOVANT_DATA_URL serves the same data.
  ProcessResult again =
      RunProcess("env KOVANT_HOME=" + Quote(home) + " KOVANT_DATA_URL=" + Quote(server_->Url("good")) + " " +
                 Quote(Bin("kovant-mkdic")) + " --update");
  ASSERT_EQ(again.status, 0) << again.err;
  // The same data: said so, and nothing written (the file in use stays the
  // very file); nor is it called stale, however old its date.
  EXPECT_EQ(again.out, "最新です: " + home + "/KOVANT.DIC（データ日付 2026-04-27）\n");
  EXPECT_EQ(platform::StampOf(home + "/KOVANT.DIC"), before);
  ProcessResult fresh = RunProcess("env KOVANT_HOME=" + Quote(home) + " " + Quote(Bin("kovant-lookup")) + " --info");
  EXPECT_EQ(fresh.out.find("注意:"), std::string::npos) << fresh.out;
}

// A dictionary in use that cannot be read is no measure: genuine data
// replaces it, with a note. (Its census once counted 300,000 towns out of a
// crafted chain read over and over, and the update refused the country's
// 124,000 as too few.)
TEST_F(Update, ADictionaryInUseThatCannotBeReadIsReplaced) {
  const std::string home = TempFolder("update-unreadable");
  SharedChainDictionary(300, 1000).Write(home + "/KOVANT.DIC");
  ProcessResult r = RunUpdate(home, "--from " + Quote(server_->Url("good")));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("使用中の辞書を読めない"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("データの日付: （なし） → 2026-04-27"), std::string::npos) << r.out;
  ProcessResult umeda = RunProcess("env KOVANT_HOME=" + Quote(home) + " " + Quote(Bin("kovant-lookup")) + " 5300001");
  EXPECT_EQ(umeda.out, "530-0001\t530\t大阪府\t大阪市北区\t梅田\n");
}

TEST_F(Update, AFailedOrImplausibleDownloadLeavesTheDictionaryInUseAlone) {
  const std::string home = TempFolder("update-bad");
  std::filesystem::copy_file(Bin("KOVANT.DIC"), home + "/KOVANT.DIC");
  const std::string before = FileBytes(home + "/KOVANT.DIC");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"missing", "HTTP 404"},
      {"html", "zip ファイルではありません"},
      {"cut", "ダウンロードできませんでした"},
      {"half", "zip を開けません"},
      {"few", "行が 209 しかありません"},
      {"future", "ダウンロードしたデータの日付（2099-12-31）は未来の日付のため"},
  };
  for (const auto& [folder, message] : cases) {
    ProcessResult r = RunUpdate(home, "--from " + Quote(server_->Url(folder)));
    EXPECT_EQ(r.status, 1) << folder;
    EXPECT_NE(r.err.find(message), std::string::npos) << folder << ": " << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << folder << ": " << r.err;
    EXPECT_TRUE(r.out.empty()) << folder;
    EXPECT_TRUE(FileBytes(home + "/KOVANT.DIC") == before) << folder;
  }
  auto start = std::chrono::steady_clock::now();
  ProcessResult hung = RunUpdate(home, "--timeout 2 --from " + Quote(server_->Url("hang")));
  EXPECT_EQ(hung.status, 1);
  EXPECT_NE(hung.err.find("応答がないため中止しました"), std::string::npos) << hung.err;
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  EXPECT_TRUE(FileBytes(home + "/KOVANT.DIC") == before);
  EXPECT_EQ(RunUpdate(home, "--timeout 0").status, 2);
  // Nothing but the dictionary itself is left in the folder.
  size_t files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(home)) ++files;
  EXPECT_EQ(files, 1u);
}

// A server that keeps sending, but too little or for too long, is left
// with a message that says which, soon after the limits given.
TEST_F(Update, ADownloadTooSlowOrTooLongEnds) {
  tools::DownloadOptions options;
  options.stallSeconds = 2;
  auto start = std::chrono::steady_clock::now();
  auto trickled = tools::Download(server_->Url("trickle/ken_all.zip"), options);
  ASSERT_FALSE(trickled);
  EXPECT_NE(trickled.error().description.find("転送が遅すぎるため中止しました"), std::string::npos)
      << trickled.error().description;
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(6));

  options.stallSeconds = 60;
  options.totalSeconds = 2;
  start = std::chrono::steady_clock::now();
  auto slow = tools::Download(server_->Url("slow/ken_all.zip"), options);
  ASSERT_FALSE(slow);
  EXPECT_NE(slow.error().description.find("時間がかかりすぎるため中止しました"), std::string::npos)
      << slow.error().description;
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(6));
}

// The settings window's cancel: set from another thread, the transfer ends
// at curl's next report, long before the ten seconds it would take.
TEST_F(Update, ACancelledDownloadEndsWithoutWaitingForTheTransfer) {
  std::atomic<bool> cancel{false};
  tools::DownloadOptions options;
  options.cancel = &cancel;
  options.progress = [&](size_t done, size_t) {
    if (done > 0) cancel = true;
  };
  auto start = std::chrono::steady_clock::now();
  auto cancelled = tools::Download(server_->Url("slow/ken_all.zip"), options);
  ASSERT_FALSE(cancelled);
  EXPECT_NE(cancelled.error().description.find("中止しました"), std::string::npos) << cancelled.error().description;
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(6));
}

TEST_F(Update, ADictionaryInUseDatedInTheFutureDoesNotBlockAGenuineUpdate) {
  const std::string home = TempFolder("update-future");
  BuildInto(home, TownsOf(SamplePath()), nullptr, "2099-12-31");
  ProcessResult r = RunUpdate(home, "--from " + Quote(server_->Url("good")));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("使用中の辞書のデータ日付（2099-12-31）は未来の日付のため"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("データの日付: 2099-12-31 → 2026-04-27"), std::string::npos) << r.out;
}

// kovant-mkdic --update --system as the monthly service runs it: the shared
// folder (moved for the test as KOVANT_SYSTEM_DIR) gets a dictionary every
// user can read, and a user whose own data is older is served from it.
TEST_F(Update, TheSystemUpdateServesEveryUserAndRefusesWhereItCannotWrite) {
  const std::string dir = TempFolder("update-system");
  const std::string system = dir + "/var/lib/kovant", bin = dir + "/bin";
  std::filesystem::create_directories(bin);
  std::filesystem::create_directories(dir + "/data/kovant");
  std::filesystem::copy_file(Bin("kovant-lookup"), bin + "/kovant-lookup");
  BuildInto(dir + "/data/kovant", TownsOf(SamplePath()));
  const std::string env = "env -u KOVANT_HOME HOME=" + Quote(dir) + " XDG_DATA_HOME=" + Quote(dir + "/data") +
                          " KOVANT_SYSTEM_DIR=" + Quote(system) + " ";
  // Run under a umask that would keep the file from other users.
  ProcessResult r = RunProcess("umask 077; " + env + Quote(Bin("kovant-mkdic")) + " --update --system --from " +
                               Quote(server_->Url("good")));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("辞書を更新しました: " + system + "/KOVANT.DIC"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("→ 2026-04-27"), std::string::npos) << r.out;
  const auto perms = std::filesystem::status(system + "/KOVANT.DIC").permissions();
  EXPECT_EQ(perms & std::filesystem::perms::all, std::filesystem::perms(0644));
  EXPECT_EQ(std::filesystem::status(system).permissions() & std::filesystem::perms::all, std::filesystem::perms(0755));
  ProcessResult info = RunProcess(env + Quote(bin + "/kovant-lookup") + " --info");
  EXPECT_NE(info.out.find("辞書: " + system + "/KOVANT.DIC\nデータ日付: 2026-04-27"), std::string::npos) << info.out;
  EXPECT_EQ(RunProcess(env + Quote(bin + "/kovant-lookup") + " 5300001").out,
            "530-0001\t530\t大阪府\t大阪市北区\t梅田\n");

  // A folder that cannot be made is refused before anything is fetched.
  std::ofstream(dir + "/file") << "x";
  const std::string blocked =
      "env -u KOVANT_HOME HOME=" + Quote(dir) + " KOVANT_SYSTEM_DIR=" + Quote(dir + "/file/kovant");
  ProcessResult refused = RunProcess(blocked + " " + Quote(Bin("kovant-mkdic")) + " --update --system --from " +
                                     Quote(server_->Url("missing")));
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find(dir + "/file/kovant: 作れません"), std::string::npos) << refused.err;
  EXPECT_EQ(refused.err.find("HTTP 404"), std::string::npos) << refused.err;
  // The real folder wants root: another user is told so (as root, the test
  // becomes nobody for it).
  const std::string asUser = geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
  ProcessResult notRoot =
      RunProcess(asUser + "env -u KOVANT_SYSTEM_DIR HOME=/nonexistent " + Quote(Bin("kovant-mkdic")) +
                 " --update --system --from " + Quote(server_->Url("missing")));
  EXPECT_EQ(notRoot.status, 1);
  EXPECT_NE(notRoot.err.find("--system は root で実行してください"), std::string::npos) << notRoot.err;
  EXPECT_EQ(notRoot.err.find("sudo"), std::string::npos) << notRoot.err;
  EXPECT_EQ(RunProcess(env + Quote(Bin("kovant-mkdic")) + " --system " + Quote(SamplePath())).status, 2);
}

// Root writes the shared folder: one that others can change (where a link
// could send root's write elsewhere) is refused before anything is fetched,
// and a failed first update leaves no empty folder.
TEST_F(Update, TheSystemFolderMustBeItsOwnersAloneAndAFailureLeavesNoFolder) {
  namespace fs = std::filesystem;
  const std::string dir = TempFolder("update-system-trust");
  const std::string open = dir + "/open", secret = dir + "/secret";
  fs::create_directories(open);
  fs::permissions(open, fs::perms(0777));
  std::ofstream(secret) << "root only";
  fs::permissions(secret, fs::perms(0600));
  fs::create_symlink(secret, open + "/KOVANT.DIC");
  const std::string env = "env -u KOVANT_HOME HOME=" + Quote(dir) + " XDG_DATA_HOME=" + Quote(dir + "/data") + " ";
  ProcessResult r = RunProcess(env + "KOVANT_SYSTEM_DIR=" + Quote(open) + " " + Quote(Bin("kovant-mkdic")) +
                               " --update --system --from " + Quote(server_->Url("good")));
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.err.find(open + ": 他の利用者も書き込めるため使いません。"), std::string::npos) << r.err;
  EXPECT_TRUE(fs::is_symlink(open + "/KOVANT.DIC"));
  EXPECT_EQ(fs::status(secret).permissions() & fs::perms::all, fs::perms(0600));
  // A link in place of the folder is not followed either.
  fs::create_directories(dir + "/real");
  fs::create_symlink(dir + "/real", dir + "/linked");
  r = RunProcess(env + "KOVANT_SYSTEM_DIR=" + Quote(dir + "/linked") + " " + Quote(Bin("kovant-mkdic")) +
                 " --update --system --from " + Quote(server_->Url("good")));
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.err.find("シンボリックリンクはたどりません"), std::string::npos) << r.err;

  const std::string fresh = dir + "/new/kovant";
  r = RunProcess(env + "KOVANT_SYSTEM_DIR=" + Quote(fresh) + " " + Quote(Bin("kovant-mkdic")) +
                 " --update --system --from " + Quote(server_->Url("missing")));
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(fs::exists(fresh)) << r.err;
}

// A download that inflates far past any file of Japan Post's stops at what
// was really inflated, long before the service's memory limit.
TEST_F(Update, ADownloadThatInflatesTooFarIsStoppedByWhatCameOut) {
  const std::string home = TempFolder("update-bomb");
  ProcessResult r = RunUpdate(home, "--from " + Quote(server_->Url("bomb")));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("KEN_ALL.CSV が大きすぎます（展開すると 96 MB を超えます）。"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(home + "/KOVANT.DIC"));
  // The same zip saying it holds 1,000 bytes.
  ProcessResult lying = RunUpdate(home, "--from " + Quote(server_->Url("lying")));
  EXPECT_EQ(lying.status, 1);
  EXPECT_NE(lying.err.find("KEN_ALL.CSV が大きすぎます（展開すると 96 MB を超えます）。"), std::string::npos)
      << lying.err;
  EXPECT_FALSE(std::filesystem::exists(home + "/KOVANT.DIC"));
}

// Sizes a download states are not believed: 0xFFFFFFFF (the mark of a
// 64-bit record that is missing) is named as the archive's fault, and a
// stated size far beyond the real one ends at what was inflated.
TEST(UpdateZip, SizeFieldsThatLieAreTheArchivesFault) {
  const std::string csv = FileBytes(SamplePath());
  auto patched = [&](uint32_t size) { return SizesSaid(ZipOf("KEN_ALL.CSV", csv), size); };
  auto marked = tools::ReadInputBytes(patched(0xFFFFFFFF), "ken_all.zip", "ken_all.zip", "");
  ASSERT_FALSE(marked);
  EXPECT_EQ(marked.error().description, "ken_all.zip: zip が壊れています（大きさの欄が読めません）。");
  auto lying = tools::ReadInputBytes(patched(400u << 20), "ken_all.zip", "ken_all.zip", "", 1 << 20);
  if (lying) {
    EXPECT_EQ(lying->bytes, csv);
    EXPECT_LE(lying->bytes.capacity(), size_t{64} << 20);
  }
}

}  // namespace
}  // namespace kovant::test
