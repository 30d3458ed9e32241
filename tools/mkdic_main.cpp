// kovant-mkdic: builds KOVANT.DIC from Japan Post's national postal-code
// files, or downloads the current ones and installs the result (--update).
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "dict/census.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "update/builder.h"
#include "update/update.h"
#include "update/leftovers.h"
#include "tools/arguments.h"

using namespace kovant;
using namespace kovant::tools;

namespace {

// The folders it names are the folder rules' own (platform/folders.h).
std::string Usage() {
  const platform::FolderNames folders = platform::FolderRuleNames();
#ifdef _WIN32
  const std::string who;  // the folder's own permissions decide
#else
  const std::string who = "（root で実行）";
#endif
  return "使い方: kovant-mkdic [-o FILE | --install] [-q] [--date YYYY-MM-DD] [--offices JIGYOSYO] INPUT\n"
         "        kovant-mkdic --update [--system] [--from URL] [--timeout SECONDS] [-q]\n"
         "        kovant-mkdic --download FOLDER [--from URL] [--timeout SECONDS]\n"
         "        kovant-mkdic --version | --help\n"
         "  INPUT       ken_all.zip, or KEN_ALL.CSV (Shift-JIS or UTF-8)\n"
         "  -o FILE     書き出す辞書（既定: KOVANT.DIC）\n"
         "  --install   利用者のデータフォルダー（" +
         folders.userData +
         "）に書き出す\n"
         "  --offices   事業所の個別郵便番号を加える（jigyosyo.zip または JIGYOSYO.CSV）\n"
         "  --date      辞書のデータ日付（既定: zip の中の CSV の日付）\n"
         "  --update    日本郵便の最新のファイルをダウンロードし、確かめて辞書を作り、入れ替える\n"
         "              （KOVANT_HOME があればそこに、なければ利用者のデータフォルダーに）\n"
         "  --system    --update の書き出し先を全利用者の " +
         folders.system + " にする" + who +
         "\n"
         "  --download  最新のファイルをダウンロードして確かめ、FOLDER に保存するだけ\n"
         "  --from URL  URL/ken_all.zip と URL/jigyosyo.zip から取る（ミラー。KOVANT_DATA_URL でも可）\n"
         "  --timeout   接続とデータが止まったときに待つ秒数（既定: 60）\n"
         "  -q          要約を表示しない\n" +
         platform::FolderHelpText();
}

bool g_progress = false;
void Progress(const std::string& step) {
  if (g_progress) std::fprintf(stderr, "\r%-60s", step.c_str());
}
void EndProgress() {
  if (g_progress) std::fprintf(stderr, "\r%-60s\r", "");
}

int Fail(const std::string& message) {
  EndProgress();
  std::fprintf(stderr, "kovant-mkdic: %s\n", message.c_str());
  return 1;
}

// How messages name a row: "FILE:LINE", or "ARCHIVE:MEMBER:LINE" for a zip.
std::string SourceName(const std::string& path, const InputFile& file) {
  const std::string shown = platform::DisplayPath(path);
  return path.substr(platform::FileNameStart(path)) == file.name ? shown : shown + ":" + file.name;
}

void ReportSkipped(const BuildReport& report) {
  for (const std::string& row : report.skipped) {
    std::fprintf(stderr, "kovant-mkdic: 行 %s: Shift-JIS にない文字があるため除きました。\n", row.c_str());
  }
}

struct Args {
  std::string output = "KOVANT.DIC", input, offices, date, from, downloadFolder;
  bool quiet = false, install = false, update = false, system = false;
  long timeout = 60;
};

// Why the shared folder cannot be trusted ("" when it can): root writes
// there, so nobody but its owner, root or the service's own user running
// this, may change what is in it, and it is no link to somewhere else.
#ifndef _WIN32
std::string UntrustedFolder(const std::string& folder) {
  struct stat st {};
  const std::string shown = platform::DisplayPath(folder);
  if (lstat(folder.c_str(), &st) != 0) return shown + ": " + platform::SystemErrorText(errno) + "。";
  if (!S_ISDIR(st.st_mode)) return shown + ": フォルダーではありません（シンボリックリンクはたどりません）。";
  if (st.st_uid != 0 && st.st_uid != geteuid()) {
    return shown + ": root のものではないため使いません（所有者 uid " + std::to_string(st.st_uid) + "）。";
  }
  if ((st.st_mode & 022) != 0) return shown + ": 他の利用者も書き込めるため使いません。";
  return std::string();
}
#else
// On Windows the folder's own permissions decide who may write it.
std::string UntrustedFolder(const std::string&) { return std::string(); }
#endif

// The folder an update writes, or why it cannot. --system writes every
// user's folder: root (or the service's user owning it) only, unless a test
// moved it, and found trustworthy and writable before anything is
// downloaded. made tells that this run created it.
Result<std::string> UpdateFolder(bool system, bool* made) {
  if (!system) {
    const auto own = platform::UserDictionaryFolder();
    if (!own) return Error{std::string(platform::kNoUserFolderMessage)};
    return *own;
  }
  const std::string folder = platform::SystemDataFolder();
  std::error_code ec;
  const bool exists = std::filesystem::exists(std::filesystem::symlink_status(folder, ec));
#ifndef _WIN32
  struct stat st {};
  const bool ownedByUs = lstat(folder.c_str(), &st) == 0 && st.st_uid == geteuid();
  if (!platform::SystemDataFolderMoved() && geteuid() != 0 && !ownedByUs) {
    return Error{"--system は root で実行してください（root のシェルで kovant-mkdic --update --system）。"};
  }
  // Every user reads what root writes here, whatever root's umask.
  umask(022);
#endif
  // (On Windows the folder's own permissions decide: found writable below.)
  *made = !exists && std::filesystem::create_directories(folder, ec);
  if (ec)
    return Error{platform::DisplayPath(folder) + ": 作れません（" + platform::SystemErrorText(ec.value()) + "）。"};
  if (std::string why = UntrustedFolder(folder); !why.empty()) return Error{why};
  if (!platform::IsWritableFolder(folder)) {
    return Error{platform::DisplayPath(folder) + ": 書き込めません（" + platform::SystemErrorText(errno) + "）。"};
  }
  return folder;
}

// The update of the dictionary in use (or, with --download, the files
// saved), with its progress on the terminal and what changed.
int Update(const Args& args) {
  bool made = false;
  auto folder = UpdateFolder(args.system, &made);
  if (!folder) return Fail(folder.error().description);
  UpdateOptions options;
  options.folder = *folder;
  options.from = args.from;
  options.timeout = args.timeout;
  options.downloadFolder = args.downloadFolder;
  options.progress = [](const std::string& step, double) { Progress(step); };
  options.note = [](const std::string& note) {
    EndProgress();
    std::fprintf(stderr, "kovant-mkdic: %s\n", note.c_str());
  };
  auto report = UpdateDictionary(options);
  // A failed first update leaves no empty folder behind (rmdir keeps one
  // that is not empty).
  if (!report && made) rmdir(folder->c_str());
  if (!report) return Fail(report.error().description);
  EndProgress();
  if (!args.downloadFolder.empty()) {
    std::printf("%s: ken_all.zip, jigyosyo.zip（データ日付 %s）\n", platform::DisplayPath(report->target).c_str(),
                report->dateAfter.c_str());
    return 0;
  }
  for (const std::string& row : report->skipped) {
    std::fprintf(stderr, "kovant-mkdic: 行 %s: Shift-JIS にない文字があるため除きました。\n", row.c_str());
  }
  if (report->upToDate) {
    if (!args.quiet) {
      std::printf("最新です: %s（データ日付 %s）\n", platform::DisplayPath(report->target).c_str(),
                  report->dateAfter.c_str());
    }
    return 0;
  }
  if (!args.quiet) {
    std::printf("辞書を更新しました: %s\n", platform::DisplayPath(report->target).c_str());
    std::printf("データの日付: %s → %s\n", report->dateBefore.empty() ? "（なし）" : report->dateBefore.c_str(),
                report->dateAfter.c_str());
    std::printf("郵便番号: %zu 件追加、%zu 件削除（町域 %zu 件、事業所 %zu 件）\n", report->added, report->removed,
                report->towns, report->offices);
  }
  return 0;
}

int Build(Args args) {
  if (args.install) {
    const std::string folder = platform::UserDataFolder();
    if (folder.empty()) return Fail(std::string(platform::kNoUserFolderMessage));
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) return Fail(platform::DisplayPath(folder) + ": " + platform::SystemErrorText(ec.value()) + "。");
    args.output = platform::JoinPath(folder, "KOVANT.DIC");
  }
  auto start = std::chrono::steady_clock::now();
  Progress("読み込み中...");
  auto file = ReadInputFile(args.input);
  if (!file) return Fail(file.error().description);
  Result<InputFile> officeFile = Error{""};
  if (!args.offices.empty()) {
    officeFile = ReadInputFile(args.offices);
    if (!officeFile) return Fail(officeFile.error().description);
  }
  Progress("辞書を作成中...");
  const std::string source = SourceName(args.input, *file);
  // The file is handed over: the build lets its bytes go once they are text.
  auto built = BuildFromInputs(std::move(*file), source, officeFile ? &*officeFile : nullptr,
                               officeFile ? SourceName(args.offices, *officeFile) : std::string(), args.date);
  if (!built) return Fail(built.error().description);
  Progress("書き出し中...");
  RemoveLeftoverTemporaries(args.output);
  std::string err = platform::WriteFileAtomically(args.output, built->bytes);
  if (!err.empty()) return Fail(platform::DisplayPath(args.output) + ": " + err);
  EndProgress();
  ReportSkipped(built->report);
  if (!args.quiet) {
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    const BuildReport& r = built->report;
    std::fprintf(stderr,
                 "%s: %zu バイト（うち索引 %zu、読み仮名 %zu）、町域 %zu、事業所 %zu、市区町村 %zu、短縮 %zu、除外 "
                 "%zu、データ日付 %s、"
                 "%.0f ms\n",
                 platform::DisplayPath(args.output).c_str(), built->bytes.size(), r.sectionBytes, r.readingBytes,
                 r.towns, r.offices, r.cities, r.shortened.size(), r.skipped.size(), built->dataDate.c_str(), ms);
  }
  return 0;
}

// --timeout's seconds, 1 to 3600; false when said to be wrong.
bool ParseTimeout(const std::string& number, long& timeout) {
  char* end = nullptr;
  timeout = std::strtol(number.c_str(), &end, 10);
  if (*end == '\0' && timeout >= 1 && timeout <= 3600) return true;
  std::fprintf(stderr, "kovant-mkdic: --timeout は 1 から 3600 までの秒数です: %s\n", number.c_str());
  return false;
}

int ShowVersion() {
  const std::string dic = dict::DictionaryPathIn(dict::LocateDictionaryFolder());
  auto census = dict::DicFile::Open(dic);
  auto header = census ? (*census)->ReadHeader() : dict::Result<dict::DicHeader>(dict::Error{""});
  std::printf("kovant-mkdic %s（使用中の辞書: %s、データ日付 %s）\n", KOVANT_VERSION,
              platform::DisplayPath(dic).c_str(), header ? header->DataDate.c_str() : "なし");
  return 0;
}

}  // namespace

int main(int rawArgc, char** rawArgv) {
  Arguments arguments(rawArgc, rawArgv);
  const int argc = arguments.argc();
  char** argv = arguments.argv();
  Args args;
  auto usage = [](int status) {
    std::fputs(Usage().c_str(), status == 0 ? stdout : stderr);
    return status;
  };
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string number;
    if (a == "-o" || a == "--output") {
      if (!value(args.output)) return usage(2);
    } else if (a == "--install") {
      args.install = true;
    } else if (a == "--update") {
      args.update = true;
    } else if (a == "--system") {
      args.system = true;
    } else if (a == "--download") {
      if (!value(args.downloadFolder)) return usage(2);
      args.update = true;
    } else if (a == "--from") {
      if (!value(args.from)) return usage(2);
    } else if (a == "--timeout") {
      if (!value(number)) return usage(2);
      if (!ParseTimeout(number, args.timeout)) return 2;
    } else if (a == "--date") {
      if (!value(args.date)) return usage(2);
      if (!IsDataDate(args.date)) {
        std::fprintf(stderr, "kovant-mkdic: --date は YYYY-MM-DD の形で指定してください: %s\n", args.date.c_str());
        return 2;
      }
    } else if (a == "--offices") {
      if (!value(args.offices)) return usage(2);
    } else if (a == "-q" || a == "--quiet") {
      args.quiet = true;
    } else if (a == "-h" || a == "--help") {
      return usage(0);
    } else if (a == "--version") {
      return ShowVersion();
    } else if (!a.empty() && a[0] == '-') {
      return usage(2);
    } else if (args.input.empty()) {
      args.input = a;
    } else {
      return usage(2);
    }
  }
  g_progress = !args.quiet && isatty(STDERR_FILENO);
  if (args.system && (!args.update || !args.downloadFolder.empty())) return usage(2);
  if (args.update) return args.input.empty() ? Update(args) : usage(2);
  if (args.input.empty()) return usage(2);
  return Build(args);
}
