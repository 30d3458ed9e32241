#include "dict/census.h"

#include "dict/freshness.h"

#include <algorithm>
#include <cstdint>

#include "dict/chain.h"
#include "platform/files.h"

namespace kovant::dict {

namespace {

// The cities of every prefecture, as many as the batch index and the
// gazetteer take (their numbers are 16-bit).
struct CityChain {
  int cityNo;
  int64_t townListPos;
};

Result<std::vector<CityChain>> CitiesOf(DicFile& dic, const PrefectureTable& table) {
  std::vector<CityChain> cities;
  for (const PrefectureRow& pref : table.rows) {
    auto walked = ForEachCity(dic, pref.CityListPos, pref.PrefNo, [&](const CityRecord& city, int64_t) {
      cities.push_back({city.CityNo, city.TownListPos});
      return cities.size() < UINT16_MAX;
    });
    if (!walked) return walked.error();
    if (cities.size() >= UINT16_MAX) return Error{"市区町村が多すぎます（辞書が壊れています）。"};
  }
  return cities;
}

}  // namespace

// Bounded as the search is: a file over the size any dictionary has, more
// records than the country's many times over, or one record reached twice
// (cities sharing a chain) is an error, never a long count.
Result<Census> TakeCensus(const std::string& dictionaryPath) {
  auto opened = DicFile::Open(dictionaryPath);
  if (!opened) return opened.error();
  DicFile& dic = **opened;
  if (dic.Size() > kMaxDictionaryBytes) return Error{std::string(kTooLargeMessage)};
  auto loaded = LoadDictionary(dic);
  if (!loaded) return loaded.error();
  if (loaded->versionMismatch) return Error{std::string(kVersionMessage)};
  auto cities = CitiesOf(dic, loaded->table);
  if (!cities) return cities.error();
  Census census;
  census.header = loaded->header;
  census.cities = cities->size();
  WalkBudget budget;
  for (const CityChain& city : *cities) {
    WalkError failure;
    auto towns = ForEachTown(
        dic, city.townListPos, city.cityNo,
        [&](const TownHead& head, int64_t pos) {
          bool office = false;
          if (head.NameLength > 0) {
            auto field = dic.Peek(pos + kTownFixed, kTownNameField);
            if (!field) return failure.Stop(field.error());
            office = IsOfficeName({reinterpret_cast<const char*>(*field), kTownNameField}, head.NameLength);
          }
          (office ? census.offices : census.towns)++;
          if (auto codes = DecodeCodes(head)) census.codes.push_back(codes->current);
          return true;
        },
        &budget);
    failure.Note(towns);
    if (failure) return failure.error();
  }
  std::sort(census.codes.begin(), census.codes.end());
  census.codes.erase(std::unique(census.codes.begin(), census.codes.end()), census.codes.end());
  return census;
}

CodeChanges CompareCodes(const std::vector<int32_t>& before, const std::vector<int32_t>& after) {
  std::vector<int32_t> diff;
  std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::back_inserter(diff));
  CodeChanges changes;
  changes.added = diff.size();
  diff.clear();
  std::set_difference(before.begin(), before.end(), after.begin(), after.end(), std::back_inserter(diff));
  changes.removed = diff.size();
  return changes;
}

DictionaryChoice ChooseDictionaryFolder(std::string_view today) {
  if (platform::HomeOverride()) return {platform::DictionaryFolders().front(), {}};
  struct Candidate {
    std::string folder, date;
  };
  std::optional<Candidate> best, bestFuture;
  std::vector<Candidate> future;
  for (const std::string& folder : platform::DictionaryFolders()) {
    auto dic = DicFile::Open(DictionaryPathIn(folder));
    if (!dic) continue;
    auto header = (*dic)->ReadHeader();
    if (!header || header->Version != kDicVersion) continue;
    const bool inFuture = IsFutureDate(header->DataDate, today);
    auto& slot = inFuture ? bestFuture : best;
    if (!slot || header->DataDate > slot->date) slot = Candidate{folder, header->DataDate};
    if (inFuture) future.push_back({folder, header->DataDate});
  }
  DictionaryChoice choice;
  // Dates in the future only: the clock may be what is wrong, so the newest
  // of them still serves.
  if (!best) best = bestFuture;
  choice.folder = best ? best->folder : platform::ExecutableFolder();
  for (const Candidate& c : future) {
    if (c.folder == choice.folder) continue;
    choice.passedOver.push_back(platform::DisplayPath(DictionaryPathIn(c.folder)) + " はデータ日付（" + c.date +
                                "）が今日より先の日付のため使いません。");
  }
  return choice;
}

std::string LocateDictionaryFolder() { return ChooseDictionaryFolder(LocalToday()).folder; }

}  // namespace kovant::dict
