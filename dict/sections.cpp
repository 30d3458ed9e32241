#include "dict/sections.h"

#include <algorithm>

namespace kovant::dict {

Result<std::vector<Section>> ReadSectionTable(DicFile& dic) {
  uint8_t head[kHeaderSize];
  if (auto read = dic.ReadAt(1, sizeof head, head); !read) return read.error();
  std::vector<Section> sections;
  if (std::string_view(reinterpret_cast<const char*>(head + header::kSectionMagic), 4) != kSectionMagicText) {
    return sections;
  }
  const int64_t tablePos = ReadI32(head + header::kSectionTable);
  const int32_t count = ReadI32(head + header::kSectionCount);
  auto inside = [&](int64_t pos, int64_t length) {
    return pos > kHeaderSize && length >= 0 && pos - 1 + length <= dic.Size();
  };
  if (count < 0 || count > kMaxSections || !inside(tablePos, int64_t{count} * kSectionEntrySize)) {
    return Error{"辞書の追加部の表が壊れています。"};
  }
  for (int32_t i = 0; i < count; ++i) {
    uint8_t entry[kSectionEntrySize];
    if (auto read = dic.ReadAt(tablePos + i * int64_t{kSectionEntrySize}, sizeof entry, entry); !read) {
      return read.error();
    }
    Section s{std::string(reinterpret_cast<const char*>(entry), 4), ReadI32(entry + 4), ReadI32(entry + 8)};
    if (!inside(s.pos, s.length)) return Error{"辞書の追加部 " + s.tag + " がファイルの外を指しています。"};
    sections.push_back(std::move(s));
  }
  return sections;
}

const Section* FindSection(const std::vector<Section>& sections, std::string_view tag) {
  auto it = std::find_if(sections.begin(), sections.end(), [&](const Section& s) { return s.tag == tag; });
  return it == sections.end() ? nullptr : &*it;
}

Result<bool> AppendSections(std::string& dictionary, const std::vector<SectionBytes>& sections) {
  if (dictionary.size() < static_cast<size_t>(kHeaderSize) || sections.size() > kMaxSections) {
    return Error{"辞書に追加部を付けられません。"};
  }
  std::vector<std::pair<int64_t, int64_t>> placed;
  for (const SectionBytes& s : sections) {
    if (s.tag.size() != 4) return Error{"追加部の名前は 4 文字です: " + s.tag};
    placed.emplace_back(static_cast<int64_t>(dictionary.size()) + 1, static_cast<int64_t>(s.bytes.size()));
    dictionary += s.bytes;
  }
  const int64_t tablePos = static_cast<int64_t>(dictionary.size()) + 1;
  for (size_t i = 0; i < sections.size(); ++i) {
    dictionary += sections[i].tag;
    AppendI32(dictionary, placed[i].first);
    AppendI32(dictionary, placed[i].second);
  }
  if (dictionary.size() > 0x7FFFFFFF) return Error{"辞書が大きすぎます。"};
  dictionary.replace(header::kSectionMagic, 4, kSectionMagicText);
  PatchI32(dictionary, header::kSectionTable, tablePos);
  PatchI32(dictionary, header::kSectionCount, static_cast<int64_t>(sections.size()));
  return true;
}

}  // namespace kovant::dict
