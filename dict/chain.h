// Walking the record chains of KOVANT.DIC.
#pragma once

#include <optional>
#include <unordered_set>

#include "dict/reader.h"

namespace kovant::dict {

// No real dictionary lists more in one list or result (the national data's
// largest: 1,209 entries in a city with its offices, 577 towns for a former
// code), nor reads more records in one operation (147,000 in all). A damaged
// or crafted file that would is stopped with a read error.
inline constexpr size_t kMaxListRows = 20000;
inline constexpr size_t kMaxRecordsPerOperation = 1000000;

// What one operation may still read, and which town records it read: cities
// of a damaged file may share one chain, which must not be listed twice.
class WalkBudget {
 public:
  std::optional<Error> Spend(int64_t pos) {
    if (++read_ > kMaxRecordsPerOperation) return Error{"辞書の町域の並びが長すぎます（壊れています）。"};
    if (!seen_.insert(pos).second) return Error{"辞書の町域の並びが重なっています（壊れています）。"};
    return std::nullopt;
  }

 private:
  size_t read_ = 0;
  std::unordered_set<int64_t> seen_;
};

// Calls fn(record, position) for each city record from pos on while its
// PrefNo is prefNo and not above 47; fn returns false to stop early. Past the
// end every record reads as zeros; stopping there keeps a chain whose owner
// number is 0 from running forever.
template <typename Fn>
Result<bool> ForEachCity(DicFile& dic, int64_t pos, int prefNo, Fn&& fn) {
  while (pos <= dic.Size()) {
    auto rec = dic.ReadCity(pos);
    if (!rec) return rec.error();
    if (rec->PrefNo != prefNo || rec->PrefNo > kPrefectureCount) break;
    if (!fn(*rec, pos)) break;
    pos += kCityFixed + rec->NameLength;
  }
  return true;
}

// The same for the town records of one city; fn gets the fixed part only
// and reads the whole record at the position when it needs the name. With a
// budget, every record is charged to it and a record read before ends the
// walk with an error.
template <typename Fn>
Result<bool> ForEachTown(DicFile& dic, int64_t pos, int cityNo, Fn&& fn, WalkBudget* budget = nullptr) {
  while (pos <= dic.Size()) {
    TownHead rec;
    if (const uint8_t* bytes = dic.MemoryAt(pos, kTownFixed)) {
      rec = DicFile::ParseTownHead(bytes);  // a whole-file walk: no block reads
    } else {
      auto read = dic.ReadTownHead(pos);
      if (!read) return read.error();
      rec = *read;
    }
    if (rec.CityNo != cityNo) break;
    if (budget) {
      if (auto spent = budget->Spend(pos)) return *spent;
    }
    if (!fn(rec, pos)) break;
    pos += kTownFixed + rec.NameLength;
  }
  return true;
}

}  // namespace kovant::dict
