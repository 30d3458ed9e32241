// Walking the record chains of KOVANT.DIC.
#pragma once

#include "dict/reader.h"

namespace kovant::dict {

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
// and reads the whole record at the position when it needs the name.
template <typename Fn>
Result<bool> ForEachTown(DicFile& dic, int64_t pos, int cityNo, Fn&& fn) {
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
    if (!fn(rec, pos)) break;
    pos += kTownFixed + rec.NameLength;
  }
  return true;
}

}  // namespace kovant::dict
