// The command-line programs, run as processes.
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <tuple>
#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <gtest/gtest.h>

#include "dict/freshness.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/sjis.h"
#include "process.h"
#include "settings/settings.h"
#include "testdata.h"

using namespace kovant::test;

namespace {

class Tools : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = TempFolder("tools");
    auto r = RunProcess(Bin("kovant-mkdic") + " -q -o " + Quote(folder_ + "/KOVANT.DIC") + " " + Quote(SamplePath()));
    ASSERT_EQ(r.status, 0) << r.err;
  }
  ProcessResult Lookup(const std::string& args) {
    return RunProcess(Bin("kovant-lookup") + " --dic " + Quote(folder_ + "/KOVANT.DIC") + " " + args);
  }
  static std::string folder_;
};
std::string Tools::folder_;

TEST_F(Tools, LookupPrintsOneLinePerTown) {
  auto r = Lookup("1000001");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "100-0001\t100\t東京都\t千代田区\t千代田\n");
  r = Lookup("0600042 06401");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "060-0042\t060\t北海道\t札幌市中央区\t大通西（１～１９丁目）\n"
            "064-0942\t064-01\t北海道\t札幌市南区\t南沢\n");
  // A nameless town has an empty last field.
  r = Lookup("6040000");
  EXPECT_EQ(r.out, "604-0000\t604\t京都府\t京都市中京区\t\n");
}

TEST_F(Tools, LookupExitStatus) {
  // A code that matches nothing, or is none, still gives its line.
  auto none = Lookup("9999999");
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.out, "9999999\t\t\t\t\t該当なし\n");
  auto length = Lookup("1234");
  EXPECT_EQ(length.status, 1);
  EXPECT_EQ(length.out, "1234\t\t\t\t\t不正\n");
  EXPECT_NE(length.err.find("入力された桁数が正しくありません。"), std::string::npos);
  auto digits = Lookup("12a");
  EXPECT_EQ(digits.status, 1);
  EXPECT_NE(digits.err.find("数字を入力してください。"), std::string::npos);
  auto missing = RunProcess(Bin("kovant-lookup") + " --dic /nonexistent/KOVANT.DIC 1000001");
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("辞書の読み込みでエラーが発生しました。"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists("/nonexistent/KOVANT.DIC"));
  EXPECT_EQ(Lookup("--column 0 x").status, 2);
  EXPECT_EQ(Lookup("--bogus").status, 2);
}

TEST_F(Tools, LookupJson) {
  auto r = Lookup("--json 1000001");
  EXPECT_EQ(r.out,
            "{\"input\":\"1000001\",\"code\":\"1000001\",\"status\":\"一致\",\"matches\":[{\"new\":\"100-0001\","
            "\"old\":\"100\",\"prefecture\":\"東京都\",\"city\":\"千代田区\",\"town\":\"千代田\"}]}\n");
}

TEST_F(Tools, CodesFromStandardInputGiveALinePerInputInOrder) {
  const std::string input = Quote("100-0001\r\n9999999\r\n〒１６９－００７５\r\nabc\r\n");
  auto r = RunProcess("printf %s " + input + " | " + Bin("kovant-lookup") + " --dic " + Quote(folder_ + "/KOVANT.DIC"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out,
            "100-0001\t100\t東京都\t千代田区\t千代田\n"
            "9999999\t\t\t\t\t該当なし\n"
            "169-0075\t169\t東京都\t新宿区\t高田馬場\n"
            "169-0075\t169\t東京都\t新宿区\t高田馬場南\n"
            "169-0075\t169\t東京都\t新宿区\t高田馬場北\n"
            "abc\t\t\t\t\t不正\n");
  auto json = RunProcess("printf %s " + input + " | " + Bin("kovant-lookup") + " --json - --dic " +
                         Quote(folder_ + "/KOVANT.DIC"));
  EXPECT_EQ(std::count(json.out.begin(), json.out.end(), '\n'), 4);
  for (const char* status : {"\"一致\"", "\"該当なし\"", "\"複数\"", "\"不正\""}) {
    EXPECT_NE(json.out.find(status), std::string::npos) << status;
  }
  auto all = RunProcess("printf '1000001\\n0600042\\n' | " + Bin("kovant-lookup") + " --dic " +
                        Quote(folder_ + "/KOVANT.DIC"));
  EXPECT_EQ(all.status, 0);
  // A full disk is an error; a reader that stops early ends it quietly.
  auto full = Lookup("1000001 > /dev/full");
  EXPECT_EQ(full.status, 2);
  EXPECT_NE(full.err.find("書き込めません"), std::string::npos);
  auto pipe = RunProcess("yes 1000001 | head -n 200000 | " + Bin("kovant-lookup") + " --dic " +
                         Quote(folder_ + "/KOVANT.DIC") + " | head -n 1");
  EXPECT_EQ(pipe.out, "100-0001\t100\t東京都\t千代田区\t千代田\n");
  EXPECT_EQ(pipe.err, "");
}

// The search by name or reading, and addresses one by one or as a column.
TEST_F(Tools, FindAndAddressesFromTheCommandLine) {
  auto find = Lookup("--find 高田馬場 --limit 2");
  EXPECT_EQ(find.status, 0);
  EXPECT_EQ(find.out,
            "169-0075\t169\t東京都\t新宿区\t高田馬場\n"
            "169-0075\t169\t東京都\t新宿区\t高田馬場南\n");
  auto reading = Lookup("--find takadanobabakita");
  EXPECT_EQ(reading.out, "169-0075\t169\t東京都\t新宿区\t高田馬場北\n");
  EXPECT_EQ(Lookup("--find 存在しない町").status, 1);

  auto one = Lookup("--address 東京都新宿区高田馬場１－２－３ 東京都ほげ区");
  EXPECT_EQ(one.status, 1);  // the second is no address
  EXPECT_EQ(one.out,
            "169-0075\t169\t東京都\t新宿区\t高田馬場\t一致\n"
            "\t\t東京都\t\t\t該当なし（市区町村が分かりません。）\n");
  const std::string csv = folder_ + "/addresses.csv";
  std::ofstream(csv, std::ios::binary)
      << "名前,住所\r\n甲,札幌市中央区大通西5丁目\r\n乙,\"新宿区西新宿3-20-2, 東京オペラシティ1階\"\r\n";
  auto column = Lookup("--address-column 2 --header " + Quote(csv));
  EXPECT_EQ(column.status, 0);
  EXPECT_EQ(
      column.out,
      "名前,住所,郵便番号,都道府県,市区町村,町域,状態\r\n"
      "甲,札幌市中央区大通西5丁目,060-0042,北海道,札幌市中央区,大通西,一致（１～１９丁目）\r\n"
      "乙,\"新宿区西新宿3-20-2, 東京オペラシティ1階\",163-1401,東京都,新宿区,西新宿東京オペラシティ１階,一致\r\n");
}

// A batch maps the dictionary; a file cut short under it ends the run with
// a read error and status 2, never a crash. The file is cut once the
// program has answered the first batch from the mapping and waits for
// more input: cut while the index is still being made, the first page
// would read as zeros past the cut and give a plain read error instead.
TEST_F(Tools, ADictionaryCutShortDuringABatchEndsItWithAnError) {
  const std::string dir = TempFolder("shrunk");
  std::filesystem::copy_file(folder_ + "/KOVANT.DIC", dir + "/KOVANT.DIC");
  const std::string script =
      "cd " + Quote(dir) + "; mkfifo in; " + Bin("kovant-lookup") +
      " --dic KOVANT.DIC < in > out 2> err & pid=$!; exec 3> in; yes 1000001 | head -n 256 >&3; n=0;"
      " waiting() { grep -q KOVANT.DIC /proc/$pid/maps && { grep -q pipe_read /proc/$pid/wchan ||"
      " grep -q '^0 0x0 ' /proc/$pid/syscall; }; };"
      " while ! waiting && [ $n -lt 1000 ]; do sleep 0.01; n=$((n+1)); done;"
      " truncate -s 200 KOVANT.DIC; yes 1690075 | head -n 256 >&3; exec 3>&-; wait $pid; echo $?; cat err";
  auto r = RunProcess("sh -c " + Quote(script));
  EXPECT_EQ(r.out, "2\nkovant-lookup: 辞書が読み込み中に短くなりました。\n");
}

TEST_F(Tools, ColumnConversionAppendsFiveColumnsAndKeepsEveryRowByteForByte) {
  // What a spreadsheet on Windows saves: Shift-JIS, CRLF, quotes, a code
  // that lost its leading zero.
  const std::vector<std::string> rows = {"名前,〒,備考",  "山田,\"100-0001\",\"東京, 本社\"",
                                         "佐藤,600042,",  "鈴木,1690075,",
                                         "田中,9999999,", "高橋,abc,\"複数\n行\""};
  std::string sjis;
  for (const auto& row : rows) sjis += kovant::platform::Utf8ToSjis(row) + "\r\n";
  const std::string file = folder_ + "/list.csv";
  std::ofstream(file, std::ios::binary) << sjis;
  auto r = Lookup("--column 2 --header " + Quote(file));
  EXPECT_EQ(r.status, 1);
  const std::vector<std::string> added = {",郵便番号,都道府県,市区町村,町域,状態",
                                          ",100-0001,東京都,千代田区,千代田,一致",
                                          ",060-0042,北海道,札幌市中央区,大通西,一致（１～１９丁目）（先頭の0を補完）",
                                          ",169-0075,東京都,新宿区,高田馬場／高田馬場南／高田馬場北,複数",
                                          ",999-9999,,,,該当なし",
                                          ",,,,,不正"};
  std::string want;
  for (size_t i = 0; i < rows.size(); ++i) {
    want += kovant::platform::Utf8ToSjis(rows[i]) + kovant::platform::Utf8ToSjis(added[i]) + "\r\n";
  }
  EXPECT_EQ(r.out, want) << kovant::platform::SjisToUtf8(r.out);
  // UTF-8 with a byte order mark and LF, as TSV: kept as it came.
  const std::string tsv = folder_ + "/list.tsv";
  std::ofstream(tsv, std::ios::binary) << "\xEF\xBB\xBF"
                                          "1000001\tA\n";
  auto t = RunProcess("cat " + Quote(tsv) + " | " + Bin("kovant-lookup") + " --dic " + Quote(folder_ + "/KOVANT.DIC") +
                      " --tsv --column 1");
  EXPECT_EQ(t.status, 0);
  EXPECT_EQ(t.out,
            "\xEF\xBB\xBF"
            "1000001\tA\t100-0001\t東京都\t千代田区\t千代田\t一致\n");
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// The exit status of a shell command and the largest resident size (kB) of
// it or anything it ran.
std::pair<int, long> PeakKilobytes(const std::string& command) {
  pid_t pid = 0;
  const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
  if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return {-1, 0};
  int st = 0;
  rusage usage{};
  if (wait4(pid, &st, 0, &usage) != pid) return {-1, 0};
  return {WIFEXITED(st) ? WEXITSTATUS(st) : -1, usage.ru_maxrss};
}

// The national build with offices, as the package's build runs it: the
// same dictionary as the build's own, and under 100 MB at its peak (it once
// held the rows of the files three times over: 254 MB).
TEST_F(Tools, TheNationalBuildHoldsUnder100Megabytes) {
  const std::string data = std::string(KOVANT_SOURCE_DIR) + "/data/japanpost/";
  const std::string out = folder_ + "/national.dic";
  auto [status, kilobytes] = PeakKilobytes(Bin("kovant-mkdic") + " -q -o " + Quote(out) + " --offices " +
                                           Quote(data + "jigyosyo.zip") + " " + Quote(data + "ken_all.zip"));
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(ReadAll(out) == ReadAll(Bin("KOVANT.DIC")));
  if (!kSanitized) {
    EXPECT_LT(kilobytes, 100 * 1024);
  }
}

// 32 MiB of addresses on standard input are answered line by line: the
// program holds a chunk of answers, never the input or all the output
// (200 MB once took 1 GB).
TEST_F(Tools, AddressesFromStandardInputHoldLittleMemory) {
  const std::string file = folder_ + "/addresses.txt", tail = folder_ + "/addresses.tail";
  const std::string lines = "東京都千代田区千代田1-1\n大阪市北区梅田3丁目1-1 ビル5F\n〒999-9999 どこでもない町\n";
  {
    std::ofstream out(file, std::ios::binary);
    for (size_t size = 0; size < (size_t{32} << 20); size += lines.size()) out << lines;
  }
  auto [status, kilobytes] =
      PeakKilobytes(Bin("kovant-lookup") + " --dic " + Quote(folder_ + "/KOVANT.DIC") + " --address - < " +
                    Quote(file) + " 2>/dev/null | tail -n 3 > " + Quote(tail));
  std::filesystem::remove(file);
  EXPECT_EQ(status, 0);  // tail's
  EXPECT_EQ(ReadAll(tail).rfind("100-0001\t100\t東京都\t千代田区\t千代田\t一致\n", 0), 0u) << ReadAll(tail);
  if (!kSanitized) {
    EXPECT_LT(kilobytes, 16 * 1024);
  }
}

// A 64 MiB table is read, answered and written row by row: the program
// holds a few rows, never the file (nor each of its fields).
TEST_F(Tools, ColumnConversionOfALargeFileHoldsLittleMemory) {
  const std::string file = folder_ + "/large.csv", tail = folder_ + "/large.tail";
  std::string row = "1000001";
  for (int i = 0; i < 500; ++i) row += ",x";
  row += "\n";
  {
    std::ofstream out(file, std::ios::binary);
    for (size_t size = 0; size < (size_t{64} << 20); size += row.size()) out << row;
  }
  // AddressSanitizer reserves terabytes of address space and keeps freed
  // memory aside, so there only the answer is checked, not the memory.
  const std::string limit = kSanitized ? "" : "ulimit -v 1048576; ";
  auto [status, kilobytes] =
      PeakKilobytes(limit + "{ " + Bin("kovant-lookup") + " --dic " + Quote(folder_ + "/KOVANT.DIC") + " --column 1 " +
                    Quote(file) + "; echo $? >&2; } 2>" + Quote(tail + ".err") + " | tail -c 52 > " + Quote(tail));
  std::filesystem::remove(file);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadAll(tail + ".err"), "0\n");
  EXPECT_EQ(ReadAll(tail), ",x,100-0001,東京都,千代田区,千代田,一致\n");
  if (!kSanitized) {
    EXPECT_LT(kilobytes, 64000);
  }
}

// Against the national dictionary: a former three-digit code (060, the
// whole of central Sapporo and more) keeps every cell short and says how
// many; a table that has a 郵便番号 and a 町域 already gets columns of other
// names.
TEST_F(Tools, ColumnCellsStayBoundedAndAddedHeadersNeverRepeatTheInputs) {
  const std::string file = folder_ + "/former.csv";
  std::ofstream(file, std::ios::binary) << "郵便番号,町域\n060,x\n1000001,y\n";
  ProcessResult r =
      RunProcess(Bin("kovant-lookup") + " --dic " + Quote(Bin("KOVANT.DIC")) + " --header --column 1 " + Quote(file));
  EXPECT_EQ(r.status, 0) << r.err;
  std::istringstream lines(r.out);
  std::string header, former, plain;
  std::getline(lines, header);
  std::getline(lines, former);
  std::getline(lines, plain);
  EXPECT_EQ(header, "郵便番号,町域,郵便番号_2,都道府県,市区町村,町域_2,状態");
  EXPECT_LT(former.size(), 200u) << former.substr(0, 400);
  EXPECT_TRUE(std::regex_search(former, std::regex("^060,x,060,北海道,[^,]*,複数（[0-9]+ 件）,複数$"))) << former;
  EXPECT_EQ(plain, "1000001,y,100-0001,東京都,千代田区,千代田,一致");
}

TEST(ToolManners, EveryToolPrintsHelpAndVersionOnStandardOutput) {
  for (const char* tool : {"kovant-lookup", "kovant-mkdic", "kovant-link"}) {
    auto help = RunProcess(Bin(tool) + " --help");
    EXPECT_EQ(help.status, 0) << tool;
    EXPECT_NE(help.out.find("使い方"), std::string::npos) << tool;
    EXPECT_EQ(help.err, "") << tool;
    auto version = RunProcess(Bin(tool) + " --version");
    EXPECT_EQ(version.status, 0) << tool;
    EXPECT_NE(version.out.find(std::string(tool) + " 1.31"), std::string::npos) << tool << version.out;
  }
  EXPECT_NE(RunProcess(Bin("kovant-lookup") + " --version").out.find("辞書データ 2026-04-27"), std::string::npos);
  for (const char* bad : {"0", "-1", "nan", "inf", "1e9", "x"}) {
    EXPECT_EQ(RunProcess(Bin("kovant-link") + " --timeout " + bad).status, 2) << bad;
  }
}

TEST_F(Tools, LookupWalk) {
  auto prefs = Lookup("--walk");
  EXPECT_EQ(prefs.status, 0);
  EXPECT_EQ(prefs.out.substr(0, prefs.out.find('\n')), "北海道");
  EXPECT_EQ(std::count(prefs.out.begin(), prefs.out.end(), '\n'), 47);
  auto cities = Lookup("--walk 東京都");
  EXPECT_EQ(cities.out, "新宿区\n千代田区\n利島村\n");
  auto towns = Lookup("--walk 京都府 京都市中京区");
  EXPECT_EQ(towns.status, 0);
  EXPECT_NE(towns.out.find("604-0000\t604\t京都府\t京都市中京区\t\n"), std::string::npos) << towns.out;
  auto unknown = Lookup("--walk 東京都 大阪市");
  EXPECT_EQ(unknown.status, 1);
  EXPECT_NE(unknown.err.find("大阪市"), std::string::npos);
  EXPECT_EQ(Lookup("--walk 東京府").status, 1);
}

TEST_F(Tools, LookupCopyUsesTheSettingsFile) {
  auto r = Lookup("--copy 0600042");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "〒060-0042北海道札幌市中央区大通西\n");  // the 丁目 range is a note, no address
  std::string ini = folder_ + "/custom.ini";
  std::ofstream(ini) << "[Parms]\r\nMarkSet=1\r\nSep2=3\r\nSeq5=0\r\n";
  r = Lookup("--copy --old --ini " + Quote(ini) + " 06401");
  EXPECT_EQ(r.out, "064-01   北海道札幌市南区南沢\n");  // the tail "01" and two blanks, then Sep2
}

TEST_F(Tools, MkdicRefusesBadInputAndKeepsTheOldFile) {
  std::string out = folder_ + "/out.dic";
  std::ofstream(out) << "old";
  std::string bad = folder_ + "/bad.csv";
  std::ofstream(bad) << "13101,\"100  \",\"1000001\"\r\n";
  auto r = RunProcess(Bin("kovant-mkdic") + " -o " + Quote(out) + " " + Quote(bad));
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("bad.csv:1:"), std::string::npos) << r.err;
  EXPECT_EQ(*kovant::platform::ReadWholeFile(out), "old");
  // Nothing half-written is left beside it.
  for (const auto& e : std::filesystem::directory_iterator(folder_)) {
    EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos);
  }
  std::string fresh = folder_ + "/fresh.dic";
  EXPECT_NE(RunProcess(Bin("kovant-mkdic") + " -o " + Quote(fresh) + " /nonexistent.zip").status, 0);
  EXPECT_FALSE(std::filesystem::exists(fresh));
  EXPECT_NE(RunProcess(Bin("kovant-mkdic")).status, 0);
  // A device is never replaced by a file, whoever runs the builder.
  auto device = RunProcess(Bin("kovant-mkdic") + " -q -o /dev/null " + Quote(SamplePath()));
  EXPECT_EQ(device.status, 1);
  EXPECT_NE(device.err.find("通常のファイルではありません"), std::string::npos) << device.err;
  struct stat st {};
  ASSERT_EQ(stat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
}

TEST(MkdicLeftovers, AnInterruptedWritesTemporariesGoOnTheNextRunAndNothingElse) {
  namespace fs = std::filesystem;
  const std::string folder = TempFolder("mkdic-leftovers");
  const auto ago = [](int minutes) { return fs::file_time_type::clock::now() - std::chrono::minutes(minutes); };
  auto make = [&](const std::string& name, int minutes) {
    std::ofstream(folder + "/" + name) << "half";
    fs::last_write_time(folder + "/" + name, ago(minutes));
  };
  make("KOVANT.DIC.tmpAb12Cd", 120);  // an hour and more: gone
  make("KOVANT.DIC.tmpQw34Er", 5);    // its writer gone: gone
  make("KOVANT.DIC.tmpZx56Vb", 5);    // still held by its writer: kept
  const int held = open((folder + "/KOVANT.DIC.tmpZx56Vb").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  // Whatever is not a temporary of ours stays, however old.
  const std::vector<std::string> others = {"KOVANT.DIC.tmp",
                                           "KOVANT.DIC.tmpAb12C",
                                           "KOVANT.DIC.tmpAb12Cde",
                                           "KOVANT.DIC.tmpAb-2Cd",
                                           "KOVANT.INI.tmpAb12Cd",
                                           "OTHER.DIC.tmpAb12Cd",
                                           "notes.txt"};
  for (const auto& name : others) make(name, 120);
  make("elsewhere", 120);
  fs::create_symlink(folder + "/elsewhere", folder + "/KOVANT.DIC.tmpLn12Ab");
  fs::create_directory(folder + "/KOVANT.DIC.tmpDr12Ab");
  fs::last_write_time(folder + "/KOVANT.DIC.tmpDr12Ab", ago(120));

  auto r = RunProcess(Bin("kovant-mkdic") + " -q -o " + Quote(folder + "/KOVANT.DIC") + " " + Quote(SamplePath()));
  ASSERT_EQ(r.status, 0) << r.err;
  close(held);
  EXPECT_FALSE(fs::exists(folder + "/KOVANT.DIC.tmpAb12Cd"));
  EXPECT_FALSE(fs::exists(folder + "/KOVANT.DIC.tmpQw34Er"));
  EXPECT_TRUE(fs::exists(folder + "/KOVANT.DIC.tmpZx56Vb"));
  for (const auto& name : others) EXPECT_TRUE(fs::exists(folder + "/" + name)) << name;
  EXPECT_TRUE(fs::is_symlink(folder + "/KOVANT.DIC.tmpLn12Ab"));
  EXPECT_TRUE(fs::is_directory(folder + "/KOVANT.DIC.tmpDr12Ab"));
  EXPECT_TRUE(fs::exists(folder + "/elsewhere"));
}

}  // namespace

namespace kovant::test {
namespace {

TEST(MkdicInstall, BuildsIntoTheUserDataFolderWhereTheProgramsFindIt) {
  const std::string dir = TempFolder("mkdic-install");
  const std::string data = dir + "/data", bin = dir + "/bin";
  std::filesystem::create_directories(bin);
  std::filesystem::copy_file(Bin("kovant-lookup"), bin + "/kovant-lookup");
  const std::string env = "env -u KOVANT_HOME XDG_DATA_HOME=" + Quote(data) + " HOME=" + Quote(dir) + " ";
  // Nothing installed yet: the copy beside no dictionary finds none.
  EXPECT_EQ(RunProcess(env + Quote(bin + "/kovant-lookup") + " 1000001").status, 2);
  ProcessResult made = RunProcess(env + Quote(Bin("kovant-mkdic")) + " -q --install " + Quote(SamplePath()));
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_TRUE(std::filesystem::exists(data + "/kovant/KOVANT.DIC"));
  ProcessResult found = RunProcess(env + Quote(bin + "/kovant-lookup") + " 1000001");
  EXPECT_EQ(found.status, 0) << found.err;
  EXPECT_EQ(found.out, "100-0001\t100\t東京都\t千代田区\t千代田\n");
}

// A copy of the programs in dir/bin, user folders in dir, and the
// environment that points at them.
struct Installed {
  std::string dir, bin, data, config, env;
  explicit Installed(const std::string& name) : dir(TempFolder(name)) {
    bin = dir + "/bin";
    data = dir + "/data/kovant";
    config = dir + "/config/kovant";
    for (const auto& f : {bin, data, config}) std::filesystem::create_directories(f);
    std::filesystem::copy_file(Bin("kovant-lookup"), bin + "/kovant-lookup");
    // The machine's own shared folder stays out of it.
    env = "env -u KOVANT_HOME XDG_DATA_HOME=" + Quote(dir + "/data") + " XDG_CONFIG_HOME=" + Quote(dir + "/config") +
          " HOME=" + Quote(dir) + " KOVANT_SYSTEM_DIR=" + Quote(dir + "/system") + " ";
  }
  // The sample dictionary dated date, into folder.
  void Dictionary(const std::string& folder, const std::string& date) const {
    ProcessResult r = RunProcess(Quote(Bin("kovant-mkdic")) + " -q --date " + date + " -o " +
                                 Quote(folder + "/KOVANT.DIC") + " " + Quote(SamplePath()));
    ASSERT_EQ(r.status, 0) << r.err;
  }
  ProcessResult Lookup(const std::string& args) const {
    return RunProcess(env + Quote(bin + "/kovant-lookup") + " " + args);
  }
};

TEST(DictionaryChoice, TheNewestValidDictionaryIsUsedUnlessKovantHomeIsSet) {
  Installed in("newest");
  in.Dictionary(in.bin, "2025-01-31");
  in.Dictionary(in.data, "2026-06-30");
  ProcessResult info = in.Lookup("--info");
  EXPECT_NE(info.out.find("辞書: " + in.data + "/KOVANT.DIC\nデータ日付: 2026-06-30\n町域: 208"), std::string::npos)
      << info.out;
  // A newer file of another version is no dictionary to choose.
  RawDic other(101);
  other.bytes.replace(16, 10, "2099-12-31");
  other.Write(in.data + "/KOVANT.DIC");
  EXPECT_NE(in.Lookup("--info").out.find("データ日付: 2025-01-31"), std::string::npos);
  // KOVANT_HOME is taken as it stands, even when older.
  const std::string home = in.dir + "/home";
  std::filesystem::create_directories(home);
  in.Dictionary(home, "2020-01-01");
  ProcessResult chosen = RunProcess("KOVANT_HOME=" + Quote(home) + " " + Quote(in.bin + "/kovant-lookup") + " --info");
  EXPECT_NE(chosen.out.find("データ日付: 2020-01-01"), std::string::npos) << chosen.out;
}

// Japan Post publishes monthly: data more than two months older than today
// is flagged, counted in calendar months with the month's end standing in
// for days it lacks.
TEST(StaleData, TwoCalendarMonthsAfterTheDataDateAndInfoSaysSo) {
  const std::vector<std::tuple<const char*, const char*, bool>> cases = {
      {"2026-04-27", "2026-06-27", false}, {"2026-04-27", "2026-06-28", true},  {"2026-12-31", "2027-02-28", false},
      {"2026-12-31", "2027-03-01", true},  {"2027-12-31", "2028-02-29", false}, {"2027-12-31", "2028-03-01", true},
      {"2026-11-30", "2027-01-30", false}, {"2026-11-30", "2027-01-31", true},  {"2026-08-31", "2026-10-31", false},
      {"2026-08-31", "2026-11-01", true},  {"2026-04-27", "2026-04-01", false},  // data dated after today
      {"", "2027-01-01", false},           {"2026-02-30", "2027-01-01", false}, {"2026-04-27", "today", false},
  };
  for (const auto& [data, today, stale] : cases) {
    EXPECT_EQ(dict::IsStaleData(data, today), stale) << data << " / " << today;
  }
  EXPECT_EQ(dict::StaleDataNotice("2026-04-27", "2026-07-01", "X"),
            "辞書のデータ日付（2026-04-27）から 2 か月以上たっています。X");
  EXPECT_EQ(dict::StaleDataNotice("2026-04-27", "2026-06-27", "X"), "");

  Installed in("stale");
  in.Dictionary(in.data, "2020-01-31");
  ProcessResult old = in.Lookup("--info");
  EXPECT_NE(old.out.find("郵便番号: 205\n注意: 辞書のデータ日付（2020-01-31）から 2 か月以上たっています。"
                         "kovant-mkdic --update で更新できます。\n"),
            std::string::npos)
      << old.out;
  in.Dictionary(in.data, dict::LocalToday());
  EXPECT_EQ(in.Lookup("--info").out.find("注意"), std::string::npos);
}

// Messages and --help name paths as this system writes them: with "/"
// here (the Windows build's test sees "\\" there), and the folders by the
// XDG rules that platform/folders.h follows.
TEST(Paths, MessagesAndHelpNameThePathsAndFoldersOfThisSystem) {
  Installed in("paths");
  const std::string blocker = in.dir + "/blocker";
  ASSERT_TRUE(platform::WriteFileAtomically(blocker, "x").empty());
  // An update into a folder that cannot be made (a file stands in its way)
  // fails before any download and names the folder.
  ProcessResult update = RunProcess("KOVANT_SYSTEM_DIR=" + Quote(blocker + "/sub") + " " + Quote(Bin("kovant-mkdic")) +
                                    " --update --system --from http://127.0.0.1:9/");
  EXPECT_EQ(update.status, 1);
  EXPECT_EQ(update.err.rfind("kovant-mkdic: " + blocker + "/sub: 作れません（", 0), 0u) << update.err;
  // The same for --install's folder, in Japanese like every message.
  ProcessResult install = RunProcess("XDG_DATA_HOME=" + Quote(blocker) + " " + Quote(Bin("kovant-mkdic")) +
                                     " -q --install " + Quote(SamplePath()));
  EXPECT_EQ(install.status, 1);
  EXPECT_TRUE(std::regex_match(install.err, std::regex("kovant-mkdic: " + blocker + "/kovant: [^A-Za-z]+。\n")))
      << install.err;
  in.Dictionary(in.data, "2026-04-27");
  EXPECT_NE(in.Lookup("--info").out.find("辞書: " + in.data + "/KOVANT.DIC\n"), std::string::npos);

  const std::string folders = platform::FolderHelpText();
  for (const char* named : {"${XDG_DATA_HOME:-~/.local/share}/kovant", "${XDG_CONFIG_HOME:-~/.config}/kovant",
                            "/var/lib/kovant", "/share/kovant", "KOVANT_HOME"}) {
    EXPECT_NE(folders.find(named), std::string::npos) << named;
  }
  EXPECT_EQ(folders.find('%'), std::string::npos) << folders;
  for (const char* tool : {"kovant-mkdic", "kovant-lookup"}) {
    EXPECT_NE(RunProcess(Bin(tool) + " --help").out.find(folders), std::string::npos) << tool;
  }
  const std::string mkdic = RunProcess(Bin("kovant-mkdic") + " --help").out;
  EXPECT_NE(mkdic.find("（${XDG_DATA_HOME:-~/.local/share}/kovant）に書き出す"), std::string::npos) << mkdic;
  EXPECT_NE(mkdic.find("全利用者の /var/lib/kovant にする（root で実行）"), std::string::npos) << mkdic;
}

// The options a program's --help names, and those its man pages name in the
// synopsis and the options, English and Japanese, are the same.
TEST(ManPages, NameTheOptionsTheHelpOfKovantMkdicAndKovantLinkNames) {
  auto names = [](const std::string& text) {
    std::set<std::string> found;
    const std::regex option(R"((^|[^\w-])(--[a-z][a-z-]*|-[a-z])\b)");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option); it != std::sregex_iterator(); ++it) {
      found.insert((*it)[2]);
    }
    return found;
  };
  // The text between from and the next section heading.
  auto section = [](const std::string& man, const std::string& from) {
    const size_t start = man.find(from);
    if (start == std::string::npos) return std::string();
    return man.substr(start, man.find("\n.SH ", start + 1) - start);
  };
  for (const std::string program : {"kovant-mkdic", "kovant-link"}) {
    if (!std::filesystem::exists(Bin(program))) continue;  // no window, no kovant-link
    const std::set<std::string> help = names(RunProcess(Quote(Bin(program)) + " --help").out);
    EXPECT_TRUE(help.count("--version")) << program;
    for (const auto& [page, synopsis, options] :
         {std::tuple{"", ".SH SYNOPSIS", ".SH OPTIONS"}, std::tuple{"ja/", ".SH 書式", ".SH オプション"}}) {
      const std::string path = std::string(KOVANT_SOURCE_DIR) + "/docs/man/" + page + program + ".1";
      const std::string man = platform::ReadWholeFile(path).value_or("");
      ASSERT_FALSE(man.empty()) << path;
      const std::string named =
          std::regex_replace(section(man, synopsis) + section(man, options), std::regex(R"(\\-)"), "-");
      EXPECT_EQ(names(named), help) << path;
    }
  }
}

// The service and timer the package ships pass systemd's own check, with
// ExecStart naming this build's kovant-mkdic as the install names its own;
// and a unit naming a program that is not there is caught, so the check
// checks.
TEST(SystemUnits, TheMonthlyUpdateServiceAndTimerVerify) {
  const std::string dir = TempFolder("units");
  const std::string service =
      platform::ReadWholeFile(std::string(KOVANT_SOURCE_DIR) + "/packaging/kovant-update.service.in").value_or("");
  ASSERT_NE(service.find("ExecStart=@KOVANT_BINDIR@/kovant-mkdic --update --system\n"), std::string::npos);
  auto write = [&](const std::string& bindir) {
    std::ofstream(dir + "/kovant-update.service") << std::regex_replace(service, std::regex("@KOVANT_BINDIR@"), bindir);
  };
  std::filesystem::copy_file(std::string(KOVANT_SOURCE_DIR) + "/packaging/kovant-update.timer",
                             dir + "/kovant-update.timer");
  // --man=no: the pages are not installed where the test runs.
  const std::string verify =
      "cd " + Quote(dir) + " && systemd-analyze verify --man=no kovant-update.service kovant-update.timer";
  write(KOVANT_BIN_DIR);
  ProcessResult ok = RunProcess(verify);
  EXPECT_EQ(ok.status, 0) << ok.out << ok.err;
  EXPECT_TRUE(ok.err.empty()) << ok.err;
  write(dir + "/nowhere");
  ProcessResult broken = RunProcess(verify);
  EXPECT_NE(broken.status, 0);
  EXPECT_NE(broken.err.find("nowhere/kovant-mkdic"), std::string::npos) << broken.err;
  // Disabled as installed: nothing but the timer's [Install] enables it.
  EXPECT_EQ(service.find("[Install]"), std::string::npos);
}

TEST(DictionaryChoice, SettingsStayInTheConfigFolderWhenTheDataFolderHoldsTheDictionary) {
  Installed in("settings-place");
  in.Dictionary(in.data, "2026-06-30");
  // The data folder is writable and holds the dictionary (after
  // kovant-mkdic --install), yet the settings are read from the config folder.
  std::ofstream(in.data + "/KOVANT.INI") << "[Parms]\r\nMarkSet=0\r\n";
  std::ofstream(in.config + "/KOVANT.INI") << "[Parms]\r\nMarkSet=1\r\n";
  ProcessResult r = in.Lookup("--copy 0600042");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.find("〒"), std::string::npos) << r.out;
  // A portable copy with its dictionary beside it keeps its settings there.
  in.Dictionary(in.bin, "2026-06-30");
  std::ofstream(in.bin + "/KOVANT.INI") << "[Parms]\r\nMarkSet=0\r\n";
  EXPECT_EQ(in.Lookup("--copy 0600042").out.rfind("〒", 0), 0u);
}

TEST(MoveFormerSettings, SettingsLeftBesideAnOldDictionaryMoveOnce) {
  const std::string dir = TempFolder("move-settings");
  const std::string old = dir + "/old", now = dir + "/now";
  std::filesystem::create_directories(old);
  std::ofstream(old + "/KOVANT.INI") << "[Parms]\r\nMarkSet=1\r\n";
  std::ofstream(old + "/仕事.prm") << "[Parms]\r\nMarkSet=1\r\n";
  std::ofstream(old + "/KOVANT.DIC") << "not moved";
  EXPECT_EQ(settings::MoveFormerSettings(now, {dir + "/none", old}), old);
  EXPECT_TRUE(std::filesystem::exists(now + "/KOVANT.INI"));
  EXPECT_TRUE(std::filesystem::exists(now + "/仕事.prm"));
  EXPECT_FALSE(std::filesystem::exists(old + "/KOVANT.INI"));
  EXPECT_FALSE(std::filesystem::exists(old + "/仕事.prm"));
  EXPECT_TRUE(std::filesystem::exists(old + "/KOVANT.DIC"));
  // Once there, settings are never overwritten from an old place again.
  std::ofstream(old + "/KOVANT.INI") << "[Parms]\r\nMarkSet=0\r\n";
  EXPECT_EQ(settings::MoveFormerSettings(now, {old}), "");
  EXPECT_TRUE(std::filesystem::exists(old + "/KOVANT.INI"));
}

TEST(Install, ReinstallingKeepsADictionaryWithNewerData) {
  const std::string prefix = TempFolder("install-keep");
  const std::string dic = prefix + "/share/kovant/KOVANT.DIC";
  auto install = [&] {
    return RunProcess("cmake --install " + Quote(KOVANT_BUILD_DIR) + " --prefix " + Quote(prefix) +
                      " --component Unspecified");
  };
  ASSERT_EQ(install().status, 0);
  ProcessResult first = RunProcess(Quote(Bin("kovant-lookup")) + " --dic " + Quote(dic) + " --info");
  EXPECT_NE(first.out.find("データ日付: 2026-04-27"), std::string::npos) << first.out;
  // Newer data (an update installed into this folder) stays.
  ASSERT_EQ(
      RunProcess(Quote(Bin("kovant-mkdic")) + " -q --date 2099-01-31 -o " + Quote(dic) + " " + Quote(SamplePath()))
          .status,
      0);
  ASSERT_EQ(install().status, 0);
  EXPECT_NE(RunProcess(Quote(Bin("kovant-lookup")) + " --dic " + Quote(dic) + " --info").out.find("2099-01-31"),
            std::string::npos);
  // Older data is replaced.
  ASSERT_EQ(
      RunProcess(Quote(Bin("kovant-mkdic")) + " -q --date 2020-01-31 -o " + Quote(dic) + " " + Quote(SamplePath()))
          .status,
      0);
  ASSERT_EQ(install().status, 0);
  EXPECT_NE(RunProcess(Quote(Bin("kovant-lookup")) + " --dic " + Quote(dic) + " --info").out.find("2026-04-27"),
            std::string::npos);
}

}  // namespace
}  // namespace kovant::test
