#include "dict/listorder.h"

#include <algorithm>
#include <string_view>

#include "platform/sjis.h"

namespace kovant::dict {
// std::char_traits<char> compares as unsigned char, so plain string
// comparison is the byte order wanted here.

namespace {

// A text the batch conversion would change to keep texts apart: a line
// feed, or a lead byte with no trail byte after it.
bool SoundForBatch(std::string_view sjis) {
  for (size_t i = 0; i < sjis.size(); ++i) {
    const auto c = static_cast<unsigned char>(sjis[i]);
    if (c == '\n') return false;
    if (platform::IsSjisLeadByte(c)) {
      if (i + 1 >= sjis.size() || sjis[i + 1] == '\n') return false;
      ++i;
    }
  }
  return true;
}

}  // namespace

void FillTextsFromSortKeys(std::vector<ListEntry>& entries) {
  // Sound texts character by character through the decoder's table: a
  // long list's one conversion call cost more than the rest of the step.
  // Texts that are not go through the batch as before.
  if (std::all_of(entries.begin(), entries.end(), [](const ListEntry& e) { return SoundForBatch(e.sortKey); })) {
    for (ListEntry& e : entries) {
      e.text.clear();
      platform::SjisDecoder::Append(e.text, e.sortKey);
    }
    return;
  }
  std::vector<std::string_view> keys;
  keys.reserve(entries.size());
  for (const auto& e : entries) keys.push_back(e.sortKey);
  auto texts = platform::SjisToUtf8Batch(keys);
  for (size_t i = 0; i < entries.size(); ++i) entries[i].text = std::move(texts[i]);
}

void SortListEntries(std::vector<ListEntry>& entries) {
  // Sorting positions and moving each entry once is cheaper than moving the
  // entries through every merge. Most comparisons are settled by the first
  // eight bytes compared as one big-endian number (a shorter text padded with
  // zeros, which keeps byte order); only equal heads compare the whole texts.
  struct Key {
    uint64_t head;
    uint32_t index;
  };
  std::vector<Key> keys(entries.size());
  for (uint32_t i = 0; i < keys.size(); ++i) {
    const std::string& t = entries[i].sortKey;
    uint64_t head = 0;
    for (size_t b = 0; b < 8; ++b) head = (head << 8) | (b < t.size() ? static_cast<unsigned char>(t[b]) : 0u);
    keys[i] = {head, i};
  }
  std::stable_sort(keys.begin(), keys.end(), [&](const Key& a, const Key& b) {
    if (a.head != b.head) return a.head < b.head;
    return entries[a.index].sortKey < entries[b.index].sortKey;
  });
  std::vector<ListEntry> sorted;
  sorted.reserve(entries.size());
  for (const Key& k : keys) sorted.push_back(std::move(entries[k.index]));
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
