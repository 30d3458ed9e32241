// The order of the sorted lists (search results, cities, towns, profiles).
//
// Entries compare by the unsigned bytes of their Shift-JIS text; equal texts
// keep the order in which they were added. Shift-JIS orders kana by the
// syllabary and the common kanji by their usual reading, and a text that
// begins with a blank (the entry for a town without a name) comes first.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kovant::dict {

struct ListEntry {
  std::string text;     // UTF-8, as shown
  std::string sortKey;  // the same text in Shift-JIS
  int32_t itemData = 0;
  std::string readingKey = {};  // the reading, folded for the head search; "" without one
};

// Fills the text of every entry from its sortKey, in one conversion.
void FillTextsFromSortKeys(std::vector<ListEntry>& entries);

// Sorts by sortKey, the order of the lists.
void SortListEntries(std::vector<ListEntry>& entries);

// Sorts plain UTF-8 texts the same way (for lists without item data).
void SortTexts(std::vector<std::string>& texts);

}  // namespace kovant::dict
