#include "update/update.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <string_view>
#include <utility>

#include "dict/census.h"
#include "platform/clock.h"
#include "dict/checkstamp.h"
#include "dict/freshness.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "update/builder.h"
#include "update/download.h"
#include "update/leftovers.h"

namespace kovant::tools {
namespace {

using dict::Error;
using dict::Result;

bool Cancelled(const UpdateOptions& options) { return options.cancel && options.cancel->load(); }

void Step(const UpdateOptions& options, const std::string& line, double share) {
  if (options.progress) options.progress(line, share);
}

// Japan Post's CSVs inflate to 12 MB and 3 MB: a download that inflates
// past this is no such file, and stops here rather than at the service's
// memory limit.
constexpr size_t kMaxDownloadedCsv = size_t{96} << 20;

// One of Japan Post's files, downloaded and checked: a zip holding the
// expected CSV. name is how the file is published ("ken_all.zip"); the
// download fills the share from `from` to `to`.
Result<InputFile> FetchChecked(const UpdateOptions& options, const std::string& url, const std::string& name,
                               const std::string& csvName, std::pair<double, double> span, std::string* raw) {
  DownloadOptions download;
  download.connectSeconds = options.timeout;
  download.stallSeconds = options.timeout;
  download.cancel = options.cancel;
  download.progress = [&](size_t done, size_t total) {
    char line[96];
    if (total > 0) {
      std::snprintf(line, sizeof line, "%s: %.1f / %.1f MB", name.c_str(), done / 1e6, total / 1e6);
    } else {
      std::snprintf(line, sizeof line, "%s: %.1f MB", name.c_str(), done / 1e6);
    }
    const double part = total > 0 ? static_cast<double>(done) / static_cast<double>(total) : 0;
    Step(options, line, span.first + (span.second - span.first) * part);
  };
  auto body = Download(url, download);
  if (Cancelled(options)) return Error{kUpdateCancelled};
  if (!body) return body.error();
  if (body->size() < 4 || body->compare(0, 4, "PK\x03\x04") != 0) {
    return Error{url + ": zip ファイルではありません（エラーページかもしれません）。"};
  }
  if (raw) *raw = *body;
  auto file = ReadInputBytes(std::move(*body), url, name, std::string(), kMaxDownloadedCsv);
  if (!file) return file.error();
  std::string upper = file->name;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper != csvName) return Error{url + ": " + csvName + " がありません（" + file->name + "）。"};
  return file;
}

// The latest data date that can be genuine: tomorrow in UTC, a day of slack
// for Japan's clock being ahead of ours.
std::string LatestPlausibleDate() { return platform::UtcDate(std::time(nullptr) + 24 * 60 * 60); }

// Why a download is no plausible successor of the dictionary in use ("" when
// it is one, or when there is none to compare with).
std::string Implausible(const BuiltDictionary& built, const Result<dict::Census>& before, const DataUrls& urls) {
  if (built.report.cities == 0 || built.report.prefectures < 47)
    return urls.towns + ": 47 都道府県がそろっていません。";
  if (built.dataDate > LatestPlausibleDate()) {
    return "ダウンロードしたデータの日付（" + built.dataDate + "）は未来の日付のため、入れ替えません。";
  }
  if (!before) return std::string();
  if (built.townRows * 10 < before->towns * 9) {
    return urls.towns + ": 行が " + std::to_string(built.townRows) + " しかありません（使用中の辞書は町域 " +
           std::to_string(before->towns) + " 件）。";
  }
  if (built.officeRows * 10 < before->offices * 9) {
    return urls.offices + ": 行が " + std::to_string(built.officeRows) + " しかありません（使用中の辞書は事業所 " +
           std::to_string(before->offices) + " 件）。";
  }
  // A dictionary in use dated in the future (a clock set wrong, a file made
  // by hand) is no measure: it would refuse every genuine update for good.
  if (built.dataDate < before->header.DataDate && before->header.DataDate <= LatestPlausibleDate()) {
    return "ダウンロードしたデータ（" + built.dataDate + "）は使用中の辞書（" + before->header.DataDate +
           "）より古いため、入れ替えません。";
  }
  return std::string();
}

// The folder the update writes (options.folder, KOVANT_HOME or the user's).
// Empty without a user folder (UpdateDictionary refuses then).
std::string TargetFolder(const UpdateOptions& options) {
  if (!options.folder.empty()) return options.folder;
  return platform::UserDictionaryFolder().value_or(std::string());
}

// Writes the new dictionary where the programs look first and tells what
// changed.
Result<UpdateReport> Install(const UpdateOptions& options, const BuiltDictionary& built,
                             const Result<dict::Census>& before) {
  const std::string folder = TargetFolder(options);
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  const std::string target = dict::DictionaryPathIn(folder);
  RemoveLeftoverTemporaries(target);
  // The shared dictionary is readable by every user whatever mode a file
  // it replaces had.
  std::string err = folder == platform::SystemDataFolder() ? platform::WriteSharedFileAtomically(target, built.bytes)
                                                           : platform::WriteFileAtomically(target, built.bytes);
  if (!err.empty()) return Error{platform::DisplayPath(target) + ": " + err};
  auto after = dict::TakeCensus(target);
  if (!after) return Error{dict::ReadErrorMessage(target, after.error())};
  const auto changes =
      before ? dict::CompareCodes(before->codes, after->codes) : dict::CodeChanges{after->codes.size(), 0};
  UpdateReport report;
  report.target = target;
  report.dateBefore = before ? before->header.DataDate : std::string();
  report.dateAfter = after->header.DataDate;
  report.added = changes.added;
  report.removed = changes.removed;
  report.towns = after->towns;
  report.offices = after->offices;
  report.skipped = built.report.skipped;
  return report;
}

// The download saved as it came, for `--download FOLDER`.
Result<UpdateReport> Save(const UpdateOptions& options, const BuiltDictionary& built, const std::string& rawTowns,
                          const std::string& rawOffices) {
  for (const auto& [name, bytes] : {std::pair{"ken_all.zip", &rawTowns}, std::pair{"jigyosyo.zip", &rawOffices}}) {
    std::string path = platform::JoinPath(options.downloadFolder, name);
    RemoveLeftoverTemporaries(path);
    std::string err = platform::WriteFileAtomically(path, *bytes);
    if (!err.empty()) return Error{platform::DisplayPath(path) + ": " + err};
  }
  UpdateReport report;
  report.target = options.downloadFolder;
  report.dateAfter = built.dataDate;
  return report;
}

// The dictionary in use, the measure of a plausible download; notes why it
// is no measure when it cannot be read or is dated in the future.
Result<dict::Census> InUse(const UpdateOptions& options) {
  const std::string inUsePath = dict::DictionaryPathIn(dict::LocateDictionaryFolder());
  auto before = dict::TakeCensus(inUsePath);
  auto note = [&](const std::string& text) {
    if (options.note) options.note(text);
  };
  // One that cannot be read is no measure (and refusing genuine data would
  // keep it): it is replaced without the comparison.
  if (std::error_code ec; !before && std::filesystem::exists(inUsePath, ec)) {
    note("使用中の辞書を読めないため、比べずに入れ替えます: " + platform::DisplayPath(inUsePath) + " " +
         before.error().description);
  }
  if (before && before->header.DataDate > LatestPlausibleDate()) {
    note("使用中の辞書のデータ日付（" + before->header.DataDate + "）は未来の日付のため、日付を比べずに確かめます。");
  }
  return before;
}

// Notes in the update's folder that the data was found current today, so
// that it is not called stale while it is. A note that cannot be written is
// said, but fails no update: the dictionary is as it should be.
void NoteChecked(const UpdateOptions& options, const std::string& dataDate) {
  const std::string folder = TargetFolder(options);
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  const std::string path = platform::JoinPath(folder, dict::kCheckStampName);
  RemoveLeftoverTemporaries(path);
  const std::string err = platform::WriteFileAtomically(path, dict::CheckStampText(dict::LocalToday(), dataDate));
  if (!err.empty() && options.note)
    options.note("確認の記録を書けません: " + platform::DisplayPath(path) + ": " + err + "。");
}

// The report of a download that is the dictionary in use already: nothing
// to write (a copy of it in another folder would only take room).
// Only a dictionary the target's readers find too counts: not the one
// beside this program (a build's), nor, for every user, root's own.
std::optional<UpdateReport> SameAsInUse(const BuiltDictionary& built, const Result<dict::Census>& before,
                                        const std::string& target) {
  if (!before || before->header.DataDate != built.dataDate) return std::nullopt;
  const std::string folder = dict::LocateDictionaryFolder();
  const bool shared =
      folder == target || (folder != platform::ExecutableFolder() &&
                           !(target == platform::SystemDataFolder() && folder == platform::UserDataFolder()));
  if (!shared) return std::nullopt;
  const std::string inUse = dict::DictionaryPathIn(folder);
  const auto bytes = platform::ReadWholeFile(inUse, built.bytes.size() + 1);
  if (!bytes || *bytes != built.bytes) return std::nullopt;
  UpdateReport report;
  report.target = inUse;
  report.dateBefore = report.dateAfter = built.dataDate;
  report.towns = before->towns;
  report.offices = before->offices;
  report.upToDate = true;
  return report;
}

}  // namespace

Result<UpdateReport> UpdateDictionary(const UpdateOptions& options) {
  if (TargetFolder(options).empty()) return Error{std::string(platform::kNoUserFolderMessage)};
  const char* env = std::getenv("KOVANT_DATA_URL");
  const DataUrls urls = PublishedDataUrls(!options.from.empty() ? options.from : env ? env : "");
  // The downloads themselves are kept only to be saved as they came.
  std::string rawTowns, rawOffices;
  const bool keep = !options.downloadFolder.empty();
  auto towns = FetchChecked(options, urls.towns, "ken_all.zip", "KEN_ALL.CSV", {0.0, 0.6}, keep ? &rawTowns : nullptr);
  if (!towns) return towns.error();
  auto offices =
      FetchChecked(options, urls.offices, "jigyosyo.zip", "JIGYOSYO.CSV", {0.6, 0.85}, keep ? &rawOffices : nullptr);
  if (!offices) return offices.error();
  auto before = InUse(options);

  Step(options, "辞書を作成中...", 0.85);
  auto built = BuildFromInputs(*towns, urls.towns + ":" + towns->name, &*offices, urls.offices + ":" + offices->name,
                               std::string());
  if (!built) return built.error();
  if (std::string why = Implausible(*built, before, urls); !why.empty()) return Error{why};
  // The last moment a cancel can keep the dictionary in use.
  if (Cancelled(options)) return Error{kUpdateCancelled};
  if (!keep) {
    if (auto same = SameAsInUse(*built, before, TargetFolder(options))) {
      NoteChecked(options, built->dataDate);
      Step(options, "", 1.0);
      return *same;
    }
  }
  Step(options, "書き出し中...", 0.95);
  auto report = keep ? Save(options, *built, rawTowns, rawOffices) : Install(options, *built, before);
  if (report && !keep) NoteChecked(options, report->dateAfter);
  if (report) Step(options, "", 1.0);
  return report;
}

}  // namespace kovant::tools
