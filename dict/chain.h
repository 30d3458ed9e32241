// Walking the record chains of KOVANT.DIC.
#pragma once

#include <algorithm>
#include <climits>
#include <cstdint>
#include <optional>
#include <vector>

#include "dict/reader.h"

namespace kovant::dict {

// No real dictionary lists more in one list or result (the national data's
// largest: 1,591 entries in a city with its offices, 577 towns for a former
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
    if (!Insert(pos)) return Error{"辞書の町域の並びが重なっています（壊れています）。"};
    return std::nullopt;
  }

 private:
  // The positions read, open-addressed: a search reads thousands of
  // records, and a node allocated for each once cost half its time.
  static constexpr int64_t kEmpty = INT64_MIN;
  bool Insert(int64_t pos) {
    if (2 * (read_ + 1) > slots_.size()) Grow();
    const size_t mask = slots_.size() - 1;
    for (size_t i = Slot(pos, mask);; i = (i + 1) & mask) {
      if (slots_[i] == pos) return false;
      if (slots_[i] == kEmpty) {
        slots_[i] = pos;
        return true;
      }
    }
  }
  static size_t Slot(int64_t pos, size_t mask) {
    return static_cast<size_t>((static_cast<uint64_t>(pos) * 0x9E3779B97F4A7C15ull) >> 32) & mask;
  }
  void Grow() {
    std::vector<int64_t> old(std::max<size_t>(64, 2 * slots_.size()), kEmpty);
    old.swap(slots_);
    const size_t mask = slots_.size() - 1;
    for (int64_t pos : old) {
      if (pos == kEmpty) continue;
      size_t i = Slot(pos, mask);
      while (slots_[i] != kEmpty) i = (i + 1) & mask;
      slots_[i] = pos;
    }
  }
  size_t read_ = 0;             // also the positions held: each read is a new one or ends the walk
  std::vector<int64_t> slots_;  // a power of two of them, at most half full
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
