// The readings section: the reading of each prefecture, city and town
// record (an office's: its name's), in full-width katakana, found by the
// record's position. Bytes: a Long n; n entries of a Long record position
// and a Long offset into the texts, by position; then the texts, each a
// length byte and that many bytes of Shift-JIS. Records with one reading
// share its text.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "dict/reader.h"
#include "dict/sections.h"

namespace kovant::dict {

inline constexpr std::string_view kReadingSectionTag = "READ";

// (record position, reading in Shift-JIS) in any order; empty readings and
// readings over 255 bytes are left out.
std::string MakeReadingSection(std::vector<std::pair<int64_t, std::string>> readings);

// The folded readings of the records at positions, in their order ("" for
// a record without one), read in one pass: a list's records stand together
// in the file. All "" for a file without readings, with a broken section,
// or with more than most entries in between: the readings help the head
// search, no list needs them.
std::vector<std::string> ReadingKeysAt(DicFile& dic, const std::vector<int64_t>& positions, size_t most);

// The folded readings of the prefectures, for the head search of the walk's
// first list, as ReadingKeysAt gives them.
void AddPrefectureReadings(const std::string& dictionaryPath, PrefectureTable& table);

class ReadingTable {
 public:
  // The file's readings, or a table without any (Has() false) for a file
  // without the section. The table reads through dic, which must outlive it.
  static Result<ReadingTable> Open(DicFile& dic);
  bool Has() const { return count_ > 0; }

  // The readings (Shift-JIS) of the records from position first to last, by
  // position: one search, then the entries in a row, as the records of a
  // list stand in the file. More than most entries there is a broken file
  // (an error), never a long wait.
  Result<std::vector<std::pair<int64_t, std::string>>> Between(int64_t first, int64_t last, size_t most) const;

  // Calls fn(position, reading in Shift-JIS) for every entry, by position;
  // the reading's bytes are valid during the call only.
  Result<bool> ForEach(const std::function<void(int64_t, std::string_view)>& fn) const;

 private:
  Result<std::string_view> TextOf(size_t entry, std::string& scratch) const;
  Result<int64_t> PositionOf(int64_t entry) const;
  // The first entry at or after pos.
  Result<int64_t> FirstAtOrAfter(int64_t pos) const;
  DicFile* dic_ = nullptr;
  Section section_;
  int64_t count_ = 0;
};

}  // namespace kovant::dict
