#include "dict/census.h"

#include <algorithm>

#include "dict/chain.h"
#include "platform/files.h"

namespace kovant::dict {

Result<Census> TakeCensus(const std::string& dictionaryPath) {
  auto loaded = LoadDictionary(dictionaryPath);
  if (!loaded) return loaded.error();
  if (loaded->versionMismatch) return Error{std::string(kVersionMessage)};
  auto opened = DicFile::Open(dictionaryPath);
  if (!opened) return opened.error();
  DicFile& dic = **opened;
  Census census;
  census.header = loaded->header;
  for (const PrefectureRow& pref : loaded->table.rows) {
    struct CityChain {
      int cityNo;
      int64_t townListPos;
    };
    std::vector<CityChain> cities;
    auto walked = ForEachCity(dic, pref.CityListPos, pref.PrefNo, [&](const CityRecord& city, int64_t) {
      cities.push_back({city.CityNo, city.TownListPos});
      return true;
    });
    if (!walked) return walked.error();
    census.cities += cities.size();
    for (const auto& city : cities) {
      auto towns = ForEachTown(dic, city.townListPos, city.cityNo, [&](const TownHead& head, int64_t pos) {
        bool office = false;
        if (head.NameLength > 0) {
          auto field = dic.Peek(pos + kTownFixed, kTownNameField);
          office = field && IsOfficeName({reinterpret_cast<const char*>(*field), kTownNameField}, head.NameLength);
        }
        (office ? census.offices : census.towns)++;
        if (auto codes = DecodeCodes(head)) census.codes.push_back(codes->current);
        return true;
      });
      if (!towns) return towns.error();
    }
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

std::string LocateDictionaryFolder() {
  if (platform::HomeOverride()) return platform::DictionaryFolders().front();
  std::string best, bestDate;
  for (const std::string& folder : platform::DictionaryFolders()) {
    auto dic = DicFile::Open(DictionaryPathIn(folder));
    if (!dic) continue;
    auto header = (*dic)->ReadHeader();
    if (!header || header->Version != kDicVersion) continue;
    if (best.empty() || header->DataDate > bestDate) {
      best = folder;
      bestDate = header->DataDate;
    }
  }
  return best.empty() ? platform::ExecutableFolder() : best;
}

}  // namespace kovant::dict
