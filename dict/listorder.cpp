#include "dict/listorder.h"

#include <algorithm>
#include <string_view>

#include "platform/sjis.h"

namespace kovant::dict {
namespace {
bool BytesLess(std::string_view a, std::string_view b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
  });
}
}  // namespace

bool ListOrderLess(const ListEntry& a, const ListEntry& b) { return BytesLess(a.sortKey, b.sortKey); }

void SortListEntries(std::vector<ListEntry>& entries) {
  std::stable_sort(entries.begin(), entries.end(), ListOrderLess);
}

void SortTexts(std::vector<std::string>& texts) {
  std::vector<ListEntry> entries;
  entries.reserve(texts.size());
  for (auto& t : texts) entries.push_back({t, platform::Utf8ToSjis(t), 0});
  SortListEntries(entries);
  for (size_t i = 0; i < texts.size(); ++i) texts[i] = std::move(entries[i].text);
}

}  // namespace kovant::dict
