#include "dict/chain.h"

namespace kovant::dict {

Result<bool> ForEachCity(DicFile& dic, int64_t pos, int prefNo,
                         const std::function<bool(const CityRecord&, int64_t)>& fn) {
  // Past the end every record reads as zeros; stopping there keeps a chain
  // whose owner number is 0 from running forever.
  while (pos <= dic.Size()) {
    auto rec = dic.ReadCity(pos);
    if (!rec) return rec.error();
    if (rec->PrefNo != prefNo || rec->PrefNo > kPrefectureCount) break;
    if (!fn(*rec, pos)) break;
    pos += kCityFixed + rec->NameLength;
  }
  return true;
}

Result<bool> ForEachTown(DicFile& dic, int64_t pos, int cityNo,
                         const std::function<bool(const TownRecord&, int64_t)>& fn) {
  while (pos <= dic.Size()) {
    auto rec = dic.ReadTown(pos);
    if (!rec) return rec.error();
    if (rec->CityNo != cityNo) break;
    if (!fn(*rec, pos)) break;
    pos += kTownFixed + rec->NameLength;
  }
  return true;
}

}  // namespace kovant::dict
