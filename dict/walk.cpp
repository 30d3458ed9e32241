#include "dict/walk.h"

#include <algorithm>
#include <map>

#include "dict/chain.h"
#include "dict/codec.h"
#include "dict/fold.h"
#include "dict/readingsection.h"
#include "platform/sjis.h"

namespace kovant::dict {
namespace {

// The folded readings of listed records, when the file has them.
void AddReadings(DicFile& dic, const std::vector<ListEntry*>& entries, const std::vector<int64_t>& positions) {
  std::vector<std::string> keys = ReadingKeysAt(dic, positions, 2 * kMaxListRows);
  for (size_t i = 0; i < entries.size(); ++i) entries[i]->readingKey = std::move(keys[i]);
}

// The wards of a designated city ("大阪市北区") are found by the ward's own
// reading as well ("kita"): the reading the city's wards share is the
// city's, and what follows it the ward's, kept as a second key.
void AddWardReadings(std::vector<ListEntry>& cities) {
  static const std::string kShi = "市", kKu = "区";
  std::map<std::string, std::vector<ListEntry*>> wardsOf;
  for (ListEntry& e : cities) {
    const size_t shi = e.text.find(kShi);
    if (shi == std::string::npos || e.readingKey.empty() || e.text.size() <= shi + kShi.size() ||
        e.text.compare(e.text.size() - kKu.size(), kKu.size(), kKu) != 0) {
      continue;
    }
    wardsOf[e.text.substr(0, shi + kShi.size())].push_back(&e);
  }
  for (auto& [city, wards] : wardsOf) {
    if (wards.size() < 2) continue;
    std::string common = wards[0]->readingKey;
    for (const ListEntry* w : wards) {
      size_t n = 0;
      while (n < common.size() && n < w->readingKey.size() && common[n] == w->readingKey[n]) ++n;
      common.resize(n - n % 3);  // whole kana: three bytes each
    }
    for (ListEntry* w : wards) {
      if (w->readingKey.size() > common.size()) w->readingKey += kKeySeparator + w->readingKey.substr(common.size());
    }
  }
}

}  // namespace

CityListing LoadCities(const std::string& dictionaryPath, const PrefectureTable& table, int prefNo) {
  CityListing out;
  auto finish = [&](std::optional<Error> error) {
    out.readError = std::move(error);
    FillTextsFromSortKeys(out.entries);
    SortListEntries(out.entries);
    AddWardReadings(out.entries);
    out.heading = "住所２（ " + std::to_string(out.entries.size()) + " 件）";
    return std::move(out);  // the captured list, not a copy of it
  };
  if (prefNo < 1 || static_cast<size_t>(prefNo) > table.rows.size()) return finish(std::nullopt);
  auto opened = DicFile::Open(dictionaryPath);
  if (!opened) return finish(opened.error());
  WalkError failure;
  std::vector<int64_t> positions;
  auto walked = ForEachCity(
      **opened, table.rows[static_cast<size_t>(prefNo - 1)].CityListPos, prefNo,
      [&](const CityRecord& city, int64_t pos) {
        auto name = ExpandText(city.Name, city.NameLength);
        if (!name) return failure.Stop(name.error());
        out.cityTable.push_back({city.CityNo, city.TownListPos});
        out.entries.push_back({std::string(), std::move(name.value()), static_cast<int32_t>(out.cityTable.size())});
        positions.push_back(pos);
        if (out.entries.size() > kMaxListRows)
          return failure.Stop(Error{"市区町村が多すぎます（辞書が壊れています）。"});
        return true;
      });
  failure.Note(walked);
  std::vector<ListEntry*> listed;
  for (ListEntry& e : out.entries) listed.push_back(&e);
  AddReadings(**opened, listed, positions);
  return finish(failure.Take());
}

namespace {
// The reading keys of towns and offices alike, read in one pass over both.
void AddReadingsToTowns(DicFile& dic, std::vector<ListEntry>& towns, std::vector<ListEntry>& offices) {
  std::vector<ListEntry*> listed;
  std::vector<int64_t> positions;
  for (auto* list : {&towns, &offices}) {
    for (ListEntry& e : *list) {
      listed.push_back(&e);
      positions.push_back(e.itemData);
    }
  }
  AddReadings(dic, listed, positions);
}
}  // namespace

TownListing LoadTowns(const std::string& dictionaryPath, const CityTableEntry& city, bool withOffices,
                      bool withReadings) {
  TownListing out;
  std::vector<ListEntry> offices;
  auto finish = [&](std::optional<Error> error) {
    out.readError = std::move(error);
    SortListEntries(out.entries);
    SortListEntries(offices);
    out.entries.insert(out.entries.end(), std::make_move_iterator(offices.begin()),
                       std::make_move_iterator(offices.end()));
    FillTextsFromSortKeys(out.entries);
    out.heading = "住所３（ " + std::to_string(out.entries.size()) + " 件）";
    return std::move(out);
  };
  auto opened = DicFile::Open(dictionaryPath);
  if (!opened) return finish(opened.error());
  static const std::string kNoTownSjis = platform::Utf8ToSjis(kNoTownEntry);
  WalkError failure;
  DicFile& dic = **opened;
  auto walked = ForEachTown(dic, city.TownListPos, city.CityNo, [&](const TownHead& head, int64_t pos) {
    ListEntry entry;
    entry.itemData = static_cast<int32_t>(pos);
    bool office = false;
    if (head.NameLength == 0) {
      entry.sortKey = kNoTownSjis;
    } else {
      // The name straight from the file's buffer: no copy of the record.
      auto bytes = dic.Peek(pos + kTownFixed, kTownNameField);
      if (!bytes) return failure.Stop(bytes.error());
      const std::string_view field(reinterpret_cast<const char*>(*bytes), kTownNameField);
      office = IsOfficeName(field, head.NameLength);
      if (office && !withOffices) {
        if (++out.officesLeftOut > kMaxListRows) return failure.Stop(Error{"町域が多すぎます（辞書が壊れています）。"});
        return true;
      }
      auto name = ExpandText(field, head.NameLength);
      if (!name) return failure.Stop(name.error());
      entry.sortKey = std::move(name.value());
    }
    (office ? offices : out.entries).push_back(std::move(entry));
    if (out.entries.size() + offices.size() + out.officesLeftOut > kMaxListRows) {
      return failure.Stop(Error{"町域が多すぎます（辞書が壊れています）。"});
    }
    return true;
  });
  failure.Note(walked);
  if (withReadings) AddReadingsToTowns(dic, out.entries, offices);
  return finish(failure.Take());
}

std::vector<std::string> TownReadingKeys(const std::string& dictionaryPath, const std::vector<int64_t>& positions) {
  auto opened = DicFile::Open(dictionaryPath);
  if (!opened) return std::vector<std::string>(positions.size());
  return ReadingKeysAt(**opened, positions, 2 * kMaxListRows);
}

Result<CurrentResult> ShowTownResult(const std::string& dictionaryPath, const std::string& address1,
                                     const std::string& address2, const ListEntry& entry, const std::string& supplement,
                                     bool inputClear) {
  CurrentResult r;
  r.Supplement = inputClear ? supplement : std::string();
  r.Address1 = address1;
  r.Address2 = address2;
  r.Address3 = entry.text;
  if (r.Address3.rfind(" 以下に", 0) == 0) r.Address3.clear();

  auto opened = DicFile::Open(dictionaryPath);
  if (!opened) return opened.error();
  auto town = (*opened)->ReadTown(entry.itemData);
  if (!town) return town.error();
  opened->reset();
  r.OldCode = FormerCodeText(*town);
  r.NewCode = CurrentCodeText(*town);

  size_t h = r.Address3.find("（");
  if (h != std::string::npos) {
    r.Supplement = r.Address3.substr(h);
    r.Address3.resize(h);
  }
  return r;
}

}  // namespace kovant::dict
