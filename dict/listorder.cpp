#include "dict/listorder.h"

#include <algorithm>
#include <string_view>

#include "platform/sjis.h"

namespace kovant::dict {
// std::char_traits<char> compares as unsigned char, so plain string
// comparison is the byte order wanted here.
bool ListOrderLess(const ListEntry& a, const ListEntry& b) { return a.sortKey < b.sortKey; }

void FillTextsFromSortKeys(std::vector<ListEntry>& entries) {
  std::vector<std::string_view> keys;
  keys.reserve(entries.size());
  for (const auto& e : entries) keys.push_back(e.sortKey);
  auto texts = platform::SjisToUtf8Batch(keys);
  for (size_t i = 0; i < entries.size(); ++i) entries[i].text = std::move(texts[i]);
}

void SortListEntries(std::vector<ListEntry>& entries) {
  // Sorting positions and moving each entry once is cheaper than moving the
  // entries through every merge.
  std::vector<uint32_t> order(entries.size());
  for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](uint32_t a, uint32_t b) { return entries[a].sortKey < entries[b].sortKey; });
  std::vector<ListEntry> sorted;
  sorted.reserve(entries.size());
  for (uint32_t i : order) sorted.push_back(std::move(entries[i]));
  entries = std::move(sorted);
}

void SortTexts(std::vector<std::string>& texts) {
  std::vector<ListEntry> entries;
  entries.reserve(texts.size());
  for (auto& t : texts) entries.push_back({t, platform::Utf8ToSjis(t), 0});
  SortListEntries(entries);
  for (size_t i = 0; i < texts.size(); ++i) texts[i] = std::move(entries[i].text);
}

}  // namespace kovant::dict
