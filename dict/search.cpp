#include "dict/search.h"

#include <algorithm>
#include <memory>
#include <mutex>

#include "dict/chain.h"
#include "dict/codec.h"
#include "dict/codeindex.h"
#include "dict/codeinput.h"
#include "platform/clock.h"
#include "platform/readfile.h"
#include "platform/sjis.h"

namespace kovant::dict {
namespace {

struct Query {
  std::string code;
  size_t length = 0;
  int value = 0;  // the code as a number
  int p2 = 0;     // first two digits
  int d = 0;      // third digit
};

std::optional<std::string> CheckQuery(std::string_view code, Query& q) {
  q.code = std::string(code);
  if (auto problem = CodeInputProblem(code)) return problem;
  q.length = code.size();
  q.p2 = (code[0] - '0') * 10 + (code[1] - '0');
  q.d = code[2] - '0';
  q.value = std::stoi(q.code);
  return std::nullopt;
}

bool CityQualifies(const CityRecord& city, const Query& q) {
  int flag = DigitFlag(city.DigitFlags, q.d);
  // A damaged file's other values (4 and up) count for current codes only.
  return q.length == 7 ? flag >= kDigitHasCurrent
                       : (flag == kDigitHasFormer || flag == (kDigitHasFormer | kDigitHasCurrent));
}

bool TownMatches(const TownHead& town, const Query& q) { return HoldsCode(town, q.code, q.value); }

Result<ListEntry> MakeRow(const PrefectureRow& pref, const std::string& citySjis, const TownRecord& town, int64_t pos) {
  auto name = ExpandText(town.Name, town.NameLength);
  if (!name) return name.error();
  ListEntry row;
  row.sortKey = pref.NameSjis + " " + citySjis + " " + *name;
  row.itemData = static_cast<int32_t>(pos);
  return row;
}

// Adds the rows of a city's towns that hold the code.
Result<bool> AddMatchingTowns(DicFile& dic, const PrefectureRow& pref, const CityRecord& city, const Query& q,
                              WalkBudget& budget, std::vector<ListEntry>& rows) {
  // Names are expanded only for matches.
  std::optional<std::string> cityName;
  WalkError failure;
  auto towns = ForEachTown(
      dic, city.TownListPos, city.CityNo,
      [&](const TownHead& head, int64_t pos) {
        if (!TownMatches(head, q)) return true;
        auto town = dic.ReadTown(pos);
        if (!town) return failure.Stop(town.error());
        if (!cityName) {
          auto name = ExpandText(city.Name, city.NameLength);
          if (!name) return failure.Stop(name.error());
          cityName = std::move(name.value());
        }
        auto row = MakeRow(pref, *cityName, *town, pos);
        if (!row) return failure.Stop(row.error());
        rows.push_back(std::move(row.value()));
        if (rows.size() > kMaxListRows) return failure.Stop(Error{"該当する町域が多すぎます（辞書が壊れています）。"});
        return true;
      },
      &budget);
  failure.Note(towns);
  if (failure) return failure.error();
  return true;
}

// The window's code index: the dictionary read into memory once, not
// mapped (a file cut short under a mapping would kill the window), and
// read again when the file at the path is no longer the one read (by its
// change time too: records rewritten in place with the modification time
// put back are another version).
struct WindowIndex {
  std::string path;
  platform::FileIdentity identity;
  std::string bytes;
  std::optional<CodeIndex> index;  // over bytes; nullopt when they are no dictionary it can read
};

// The whole file, when it is a size a dictionary can be.
std::optional<std::string> ReadWhole(const platform::ReadFile& file) {
  if (file.Size() < 0 || file.Size() > kMaxDictionaryBytes) return std::nullopt;
  std::string bytes(static_cast<size_t>(file.Size()), '\0');
  std::string error;
  if (file.ReadAt(0, bytes.data(), bytes.size(), &error) != file.Size()) return std::nullopt;
  return bytes;
}

// A file changed within the clock's last tick or two could change again
// and keep its size and times: it is scanned until it has settled.
bool Settled(const platform::FileIdentity& id) {
  constexpr int64_t kSettleNs = 100'000'000;
  return std::max(id.mtimeNs, id.changeNs) < platform::NowNs() - kSettleNs;
}

std::unique_ptr<WindowIndex> LoadWindowIndex(const std::string& path) {
  std::string error;
  const auto file = platform::ReadFile::Open(path, &error);
  if (!file) return nullptr;
  const auto identity = file->Identity();
  if (!identity || !Settled(*identity)) return nullptr;
  auto bytes = ReadWhole(*file);
  if (!bytes || file->Identity() != identity) return nullptr;  // changed while read
  auto w = std::make_unique<WindowIndex>();
  w->path = path;
  w->identity = *identity;
  w->bytes = std::move(*bytes);
  if (auto built = CodeIndex::Build(DicFile::FromBytes(w->bytes)); built) w->index = std::move(*built);
  return w;
}

// The rows of a code from the index, or nullopt for the scan to answer.
std::optional<RowList> ListFromIndex(const std::string& path, const PrefectureTable& table, std::string_view code) {
  static std::mutex mutex;
  static std::unique_ptr<WindowIndex> cached;
  const auto identity = platform::IdentityOfPath(path);
  if (!identity) return std::nullopt;
  std::lock_guard lock(mutex);
  if (!cached || cached->path != path || cached->identity != *identity) {
    cached.reset();  // its memory is free before the next file is read
    cached = LoadWindowIndex(path);
  }
  if (!cached || !cached->index) return std::nullopt;
  auto listed = cached->index->ListCode(code, table);
  if (!listed) return std::nullopt;
  return std::move(*listed);
}

}  // namespace

std::string ResultHeading(size_t count) { return "該　当　住　所 （" + std::to_string(count) + " 件）"; }

SearchOutcome SearchPostalCode(const std::string& dictionaryPath, const PrefectureTable& table, std::string_view code) {
  SearchOutcome out;
  if (auto problem = CodeInputProblem(code)) {
    out.warning = *problem;
    return out;
  }
  auto rows = ListFromIndex(dictionaryPath, table, code);
  if (!rows) return ScanPostalCode(dictionaryPath, table, code);
  out.rows = std::move(*rows);
  out.heading = ResultHeading(out.rows.size());
  return out;
}

SearchOutcome ScanPostalCode(const std::string& dictionaryPath, const PrefectureTable& table, std::string_view code) {
  SearchOutcome out;
  Query q;
  if (auto warning = CheckQuery(code, q)) {
    out.warning = *warning;
    return out;
  }
  auto opened = DicFile::Open(dictionaryPath);
  if (!opened) {
    out.readError = opened.error();
    return out;
  }
  DicFile& dic = **opened;
  WalkBudget budget;
  std::vector<ListEntry> rows;
  auto finish = [&](std::optional<Error> error) {
    out.readError = std::move(error);
    FillTextsFromSortKeys(rows);
    SortListEntries(rows);
    out.rows = RowsOf(rows);
    out.heading = ResultHeading(out.rows.size());
    return std::move(out);  // the captured rows, not a copy of them
  };
  for (size_t p = 1; p <= table.rows.size() && p <= kPrefectureCount; ++p) {
    const PrefectureRow& pref = table.rows[p - 1];
    int count = std::min<int>(pref.PrefixCount, kMaxPrefixes);
    for (int k = 0; k < count; ++k) {
      if (pref.Prefixes[static_cast<size_t>(k)] != q.p2) continue;
      // A prefix listed twice (a damaged file) must not list the
      // prefecture's towns twice: it is scanned once.
      if (std::find(pref.Prefixes.begin(), pref.Prefixes.begin() + k, q.p2) != pref.Prefixes.begin() + k) break;
      WalkError failure;
      auto walked = ForEachCity(dic, pref.CityListPos, static_cast<int>(p), [&](const CityRecord& city, int64_t) {
        if (!CityQualifies(city, q)) return true;
        auto added = AddMatchingTowns(dic, pref, city, q, budget, rows);
        return added ? true : failure.Stop(added.error());
      });
      failure.Note(walked);
      if (failure) return finish(failure.Take());
    }
  }
  return finish(std::nullopt);
}

Result<CurrentResult> ShowPickedResult(const std::string& dictionaryPath, RowView row, const std::string& supplement) {
  auto opened = DicFile::Open(dictionaryPath);
  if (!opened) return opened.error();
  auto town = (*opened)->ReadTown(row.itemData);
  if (!town) return town.error();
  opened->reset();

  CurrentResult r;
  r.OldCode = FormerCodeText(*town);
  r.NewCode = CurrentCodeText(*town);
  const std::string_view text = row.text;
  size_t b1 = text.find(' ');
  r.Address1 = text.substr(0, b1);
  if (b1 != std::string::npos) {
    size_t b2 = text.find(' ', b1 + 1);
    r.Address2 = text.substr(b1 + 1, b2 == std::string::npos ? std::string::npos : b2 - b1 - 1);
    if (b2 != std::string::npos) r.Address3 = text.substr(b2 + 1);
  }
  r.Supplement = supplement;
  static const std::string kOpen = "（", kClose = "）";
  size_t h = r.Address3.find(kOpen);
  if (h != std::string::npos) {
    std::string inner = r.Address3.substr(h + kOpen.size());
    // Only a closing parenthesis at the very end is dropped: a name cut
    // elsewhere keeps all of its text.
    if (inner.size() >= kClose.size() && inner.compare(inner.size() - kClose.size(), kClose.size(), kClose) == 0) {
      inner.resize(inner.size() - kClose.size());
    }
    r.Supplement = inner;
    r.Address3.resize(h);
  }
  return r;
}

}  // namespace kovant::dict
