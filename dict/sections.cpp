#include "dict/sections.h"

#include <algorithm>
#include <bit>
#include <cstring>

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

namespace {

uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return std::endian::native == std::endian::little ? v : __builtin_bswap64(v);
}

// Four independent lanes, so that the multiplications overlap. A round
// multiplies on both sides of the rotation: a change in any bit of a word
// reaches every bit of its lane.
constexpr uint64_t kPrime1 = 0x9E3779B185EBCA87ull, kPrime2 = 0xC2B2AE3D27D4EB4Full;
uint64_t Round(uint64_t lane, uint64_t word) { return std::rotl(lane + word * kPrime2, 31) * kPrime1; }
uint64_t Mix(uint64_t h) {
  h ^= h >> 33;
  h *= kPrime2;
  h ^= h >> 29;
  h *= kPrime1;
  return h ^ (h >> 32);
}

}  // namespace

void Digester::Add(const uint8_t* bytes, size_t n) {
  total_ += n;
  if (pendingCount_ > 0) {
    const size_t take = std::min(n, sizeof pending_ - pendingCount_);
    std::memcpy(pending_ + pendingCount_, bytes, take);
    pendingCount_ += take;
    bytes += take;
    n -= take;
    if (pendingCount_ < sizeof pending_) return;
    Blocks(pending_, sizeof pending_);
    pendingCount_ = 0;
  }
  const size_t whole = n - n % 32;
  Blocks(bytes, whole);
  std::memcpy(pending_, bytes + whole, n - whole);
  pendingCount_ = n - whole;
}

void Digester::Blocks(const uint8_t* bytes, size_t n) {
  // Lanes in locals, not members: kept in registers.
  uint64_t a = lanes_[0], b = lanes_[1], c = lanes_[2], d = lanes_[3];
  for (size_t i = 0; i + 32 <= n; i += 32) {
    a = Round(a, Load64(bytes + i));
    b = Round(b, Load64(bytes + i + 8));
    c = Round(c, Load64(bytes + i + 16));
    d = Round(d, Load64(bytes + i + 24));
  }
  lanes_[0] = a, lanes_[1] = b, lanes_[2] = c, lanes_[3] = d;
}

uint64_t Digester::Finish() {
  std::memset(pending_ + pendingCount_, 0, sizeof pending_ - pendingCount_);
  Blocks(pending_, sizeof pending_);
  uint64_t h = total_ * kPrime2;
  for (uint64_t lane : lanes_) h = Round(h, Mix(lane));
  return Mix(h);
}

uint64_t Digest(const uint8_t* bytes, size_t n) {
  Digester d;
  d.Add(bytes, n);
  return d.Finish();
}

bool Vouched(const DicFile& dic, const std::vector<Section>& sections, const Section& vouched) {
  const Section* d = FindSection(sections, kDigestTag);
  if (!d || d->length != static_cast<int64_t>(digest::kSize)) return false;
  const uint8_t* entry = dic.MemoryAt(d->pos, digest::kSize);
  const int64_t end = vouched.pos - 1 + vouched.length;  // inside the file: ReadSectionTable checked it
  if (!entry || end <= kHeaderSize) return false;
  if (std::string_view(reinterpret_cast<const char*>(entry + digest::kCovers), 4) != vouched.tag) return false;
  Digester digester;
  auto read =
      dic.Stream(kHeaderSize + 1, end - kHeaderSize, [&](const uint8_t* bytes, size_t n) { digester.Add(bytes, n); });
  return read && Load64(entry + digest::kValue) == digester.Finish();
}

Result<bool> AppendSections(std::string& dictionary, const std::vector<SectionBytes>& sections,
                            std::string_view vouchFor) {
  if (dictionary.size() < static_cast<size_t>(kHeaderSize) || sections.size() + 1 > kMaxSections) {
    return Error{"辞書に追加部を付けられません。"};
  }
  std::vector<std::pair<int64_t, int64_t>> placed;
  std::vector<std::string> tags;
  std::string digestBytes;
  for (const SectionBytes& s : sections) {
    if (s.tag.size() != 4) return Error{"追加部の名前は 4 文字です: " + s.tag};
    placed.emplace_back(static_cast<int64_t>(dictionary.size()) + 1, static_cast<int64_t>(s.bytes.size()));
    tags.push_back(s.tag);
    dictionary += s.bytes;
    if (s.tag == vouchFor) {
      digestBytes = s.tag;
      const uint64_t d =
          Digest(reinterpret_cast<const uint8_t*>(dictionary.data()) + kHeaderSize, dictionary.size() - kHeaderSize);
      for (int b = 0; b < 8; ++b) digestBytes += static_cast<char>((d >> (8 * b)) & 0xFF);
    }
  }
  if (!digestBytes.empty()) {
    placed.emplace_back(static_cast<int64_t>(dictionary.size()) + 1, static_cast<int64_t>(digestBytes.size()));
    tags.emplace_back(kDigestTag);
    dictionary += digestBytes;
  }
  const int64_t tablePos = static_cast<int64_t>(dictionary.size()) + 1;
  for (size_t i = 0; i < tags.size(); ++i) {
    dictionary += tags[i];
    AppendI32(dictionary, placed[i].first);
    AppendI32(dictionary, placed[i].second);
  }
  if (dictionary.size() > 0x7FFFFFFF) return Error{"辞書が大きすぎます。"};
  dictionary.replace(header::kSectionMagic, 4, kSectionMagicText);
  PatchI32(dictionary, header::kSectionTable, tablePos);
  PatchI32(dictionary, header::kSectionCount, static_cast<int64_t>(tags.size()));
  return true;
}

}  // namespace kovant::dict
