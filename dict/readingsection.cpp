#include "dict/readingsection.h"

#include <algorithm>
#include <map>
#include <unordered_map>

#include "dict/fold.h"
#include "platform/sjis.h"

namespace kovant::dict {
namespace {

constexpr size_t kEntrySize = 8;

}  // namespace

std::string MakeReadingSection(std::vector<std::pair<int64_t, std::string>> readings) {
  std::erase_if(readings, [](const auto& r) { return r.second.empty() || r.second.size() > 255; });
  std::stable_sort(readings.begin(), readings.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::string entries, texts;
  // Only looked up, never walked: a hash keeps a national file's readings
  // at a lookup each rather than a search of string comparisons.
  std::unordered_map<std::string, size_t> placed;
  placed.reserve(readings.size());
  for (const auto& [pos, text] : readings) {
    auto [it, added] = placed.try_emplace(text, texts.size());
    if (added) {
      texts += static_cast<char>(text.size());
      texts += text;
    }
    AppendI32(entries, pos);
    AppendI32(entries, static_cast<int64_t>(it->second));
  }
  std::string out;
  AppendI32(out, static_cast<int64_t>(readings.size()));
  return out + entries + texts;
}

std::vector<std::string> ReadingKeysAt(DicFile& dic, const std::vector<int64_t>& positions, size_t most) {
  std::vector<std::string> keys(positions.size());
  if (positions.empty()) return keys;
  auto table = ReadingTable::Open(dic);
  if (!table || !table->Has()) return keys;
  const auto [low, high] = std::minmax_element(positions.begin(), positions.end());
  auto found = table->Between(*low, *high, most);
  if (!found) return keys;
  for (size_t i = 0; i < positions.size(); ++i) {
    auto it = std::lower_bound(found->begin(), found->end(), positions[i],
                               [](const auto& e, int64_t p) { return e.first < p; });
    if (it != found->end() && it->first == positions[i]) keys[i] = FoldReadingSjis(it->second);
  }
  return keys;
}

void AddPrefectureReadings(const std::string& dictionaryPath, PrefectureTable& table) {
  auto dic = DicFile::Open(dictionaryPath);
  if (!dic) return;
  std::vector<int64_t> positions;
  for (const PrefectureRow& row : table.rows) positions.push_back(row.Pos);
  std::vector<std::string> keys = ReadingKeysAt(**dic, positions, positions.size());
  for (size_t n = 0; n < keys.size(); ++n) table.rows[n].ReadingKey = std::move(keys[n]);
}

Result<ReadingTable> ReadingTable::Open(DicFile& dic) {
  ReadingTable table;
  table.dic_ = &dic;
  auto sections = ReadSectionTable(dic);
  if (!sections) return sections.error();
  const Section* s = FindSection(*sections, kReadingSectionTag);
  if (!s) return table;
  uint8_t head[4];
  if (auto read = dic.ReadAt(s->pos, sizeof head, head); !read) return read.error();
  const int64_t count = ReadI32(head);
  if (s->length < 4 || count < 0 || count > (s->length - 4) / static_cast<int64_t>(kEntrySize)) {
    return Error{"辞書の読み仮名が壊れています。"};
  }
  table.section_ = *s;
  table.count_ = count;
  return table;
}

Result<std::string_view> ReadingTable::TextOf(size_t entry, std::string& scratch) const {
  const int64_t textsPos = section_.pos + 4 + count_ * static_cast<int64_t>(kEntrySize);
  const int64_t textsLength = section_.length - 4 - count_ * static_cast<int64_t>(kEntrySize);
  uint8_t e[kEntrySize];
  if (auto read = dic_->ReadAt(section_.pos + 4 + static_cast<int64_t>(entry * kEntrySize), sizeof e, e); !read) {
    return read.error();
  }
  const int64_t offset = ReadI32(e + 4);
  uint8_t length = 0;
  if (offset < 0 || offset >= textsLength) return Error{"辞書の読み仮名が壊れています。"};
  if (auto read = dic_->ReadAt(textsPos + offset, 1, &length); !read) return read.error();
  if (offset + 1 + length > textsLength) return Error{"辞書の読み仮名が壊れています。"};
  if (const uint8_t* bytes = dic_->MemoryAt(textsPos + offset + 1, length)) {
    return std::string_view(reinterpret_cast<const char*>(bytes), length);
  }
  scratch.resize(length);
  if (auto read = dic_->ReadAt(textsPos + offset + 1, length, reinterpret_cast<uint8_t*>(scratch.data())); !read) {
    return read.error();
  }
  return std::string_view(scratch);
}

Result<int64_t> ReadingTable::PositionOf(int64_t entry) const {
  uint8_t p[4];
  if (auto read = dic_->ReadAt(section_.pos + 4 + entry * static_cast<int64_t>(kEntrySize), 4, p); !read) {
    return read.error();
  }
  return static_cast<int64_t>(ReadI32(p));
}

Result<int64_t> ReadingTable::FirstAtOrAfter(int64_t pos) const {
  int64_t low = 0, count = count_;
  while (count > 0) {
    const int64_t half = count / 2;
    auto at = PositionOf(low + half);
    if (!at) return at.error();
    if (*at < pos) {
      low += half + 1;
      count -= half + 1;
    } else {
      count = half;
    }
  }
  return low;
}

Result<std::vector<std::pair<int64_t, std::string>>> ReadingTable::Between(int64_t first, int64_t last,
                                                                           size_t most) const {
  std::vector<std::pair<int64_t, std::string>> out;
  auto entry = FirstAtOrAfter(first);
  if (!entry) return entry.error();
  std::string scratch;
  for (int64_t e = *entry; e < count_; ++e) {
    auto pos = PositionOf(e);
    if (!pos) return pos.error();
    if (*pos > last) break;
    if (out.size() >= most) return Error{"辞書の読み仮名が多すぎます（壊れています）。"};
    auto text = TextOf(static_cast<size_t>(e), scratch);
    if (!text) return text.error();
    out.emplace_back(*pos, *text);
  }
  return out;
}

Result<bool> ReadingTable::ForEach(const std::function<void(int64_t, std::string_view)>& fn) const {
  std::string scratch;
  for (int64_t i = 0; i < count_; ++i) {
    uint8_t p[4];
    if (auto read = dic_->ReadAt(section_.pos + 4 + i * static_cast<int64_t>(kEntrySize), 4, p); !read) {
      return read.error();
    }
    auto text = TextOf(static_cast<size_t>(i), scratch);
    if (!text) return text.error();
    fn(ReadI32(p), *text);
  }
  return true;
}

}  // namespace kovant::dict
