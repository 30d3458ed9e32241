#include "dict/codeindex.h"

#include <algorithm>
#include <chrono>
#include <optional>

#include "dict/chain.h"
#include "dict/codec.h"
#include "dict/sections.h"
#include "platform/sjis.h"

namespace kovant::dict {
namespace {

// Current codes by their first five digits; former codes as one number,
// 3-digit codes below 1000 and 5-digit ones from 1000 on, by tens.
constexpr uint32_t kNewBuckets = 100000, kNewDivisor = 100;
constexpr uint32_t kFiveDigitBase = 1000, kOldBuckets = (kFiveDigitBase + 100000) / 10, kOldDivisor = 10;
constexpr size_t kMaxTowns = 2000000;

// The code section: a Long holding the bucket count (kSectionBuckets),
// then a Long per bucket and one more: where the entries of the codes
// whose first four digits are the bucket's number begin, in entries; then
// the entries, kSectionEntry bytes each: an Integer with the code's last
// three digits and a Long with the town record's position, sorted by code
// and then in list order.
constexpr uint32_t kSectionBuckets = 10000, kSectionDivisor = 1000;
constexpr size_t kSectionEntry = 6;
constexpr size_t kSectionHead = 4 + 4 * (kSectionBuckets + 1);

// keyOf gives a town's key, or kNoKey to leave it out.
constexpr uint32_t kNoKey = UINT32_MAX;

// ForEachCity, with the records read a window at a time from the file
// rather than through the mapping: the cities lie in a run per prefecture
// spread over the file, and a page fault a run cost a one-code lookup a
// tenth of its time.
template <typename Fn>
Result<bool> ForEachCityRead(DicFile& dic, int64_t pos, int prefNo, Fn&& fn) {
  constexpr int64_t kWindow = 4096, kRecord = kCityFixed + kCityNameField;
  uint8_t window[kWindow];
  int64_t from = 0;  // the window's position; 0 before the first read
  while (pos <= dic.Size()) {
    if (from == 0 || pos < from || pos + kRecord > from + kWindow) {
      if (auto read = dic.ReadFromFile(pos, kWindow, window); !read) return read.error();
      from = pos;
    }
    const CityRecord rec = DicFile::ParseCity(window + (pos - from));
    if (rec.PrefNo != prefNo || rec.PrefNo > kPrefectureCount) break;
    if (!fn(rec, pos)) break;
    pos += kCityFixed + rec.NameLength;
  }
  return true;
}

}  // namespace

// Calls fn(head, position, city) for every town of every city, in file
// order. Records wholly inside the mapping are parsed in place, the rest
// (cut short by the end of the file, or at a bad position) read as the
// reader reads them.
template <typename Fn>
Result<bool> CodeIndex::ForEachTown(Fn&& fn) const {
  const int64_t size = file_->Size();
  const uint8_t* base = file_->MemoryAt(1, static_cast<size_t>(size));
  size_t seen = 0;
  for (uint32_t c = 0; c < cityList_.size(); ++c) {
    const City& city = cityList_[c];
    for (int64_t pos = city.townListPos; pos <= size;) {
      TownHead head;
      if (base && pos >= 1 && pos - 1 + kTownFixed <= size) {
        head = DicFile::ParseTownHead(base + (pos - 1));
      } else {
        auto read = file_->ReadTownHead(pos);
        if (!read) return read.error();
        head = *read;
      }
      if (head.CityNo != city.cityNo) break;
      // Chains shared by many cities would list one record many times;
      // no real dictionary comes near this many.
      if (++seen > kMaxTowns) return Error{"町域が多すぎます。"};
      fn(head, pos, c);
      pos += kTownFixed + head.NameLength;
    }
  }
  return true;
}

// Keys below keys, in buckets of divisor keys or, for a file too small to
// hold a town per bucket, of as many more as make a bucket per town it could
// hold: a small file (a test's, a fuzzer's) then costs what its towns do,
// while the country's keeps the finest buckets.
template <typename KeyOf>
Result<CodeIndex::Buckets> CodeIndex::Fill(uint32_t keys, uint32_t divisor, KeyOf keyOf) const {
  const auto mostTowns = static_cast<uint64_t>(std::max<int64_t>(file_->Size() / kTownFixed, 1));
  // Counted into offsets[b + 2], so that after the sums offsets[b + 1] is
  // where bucket b starts and placing moves it on to where b ends: the
  // offsets serve as the cursors, and no copy of them is needed.
  Buckets b;
  b.divisor = static_cast<uint32_t>(std::clamp<uint64_t>((keys + mostTowns - 1) / mostTowns, divisor, UINT16_MAX));
  divisor = b.divisor;
  const size_t buckets = (keys + divisor - 1) / divisor;
  b.offsets.assign(buckets + 2, 0);
  auto counted = ForEachTown([&](const TownHead& head, int64_t, uint32_t) {
    if (uint32_t k = keyOf(head); k != kNoKey) ++b.offsets[k / divisor + 2];
  });
  if (!counted) return counted.error();
  for (size_t k = 2; k < buckets + 2; ++k) b.offsets[k] += b.offsets[k - 1];
  b.entries.resize(b.offsets[buckets + 1]);
  auto placed = ForEachTown([&](const TownHead& head, int64_t pos, uint32_t city) {
    if (uint32_t k = keyOf(head); k != kNoKey) {
      b.entries[b.offsets[k / divisor + 1]++] = {static_cast<int32_t>(pos), static_cast<uint16_t>(city),
                                                 static_cast<uint16_t>(k % divisor)};
    }
  });
  if (!placed) return placed.error();
  b.offsets.pop_back();
  return b;
}

// Keys of well-formed records only; the odd values of a broken file are
// the search's business.
Result<const CodeIndex::Buckets*> CodeIndex::NewBuckets() const {
  if (!byNew_) {
    auto filled = Fill(kNewBuckets * kNewDivisor, kNewDivisor, [](const TownHead& head) {
      // DecodeCodes(head)->current, without the parts not needed here.
      const bool wellFormed =
          head.CodeNumber >= 0 && head.CodeNumber <= 999999999 && head.OldCodeTail >= 0 && head.OldCodeTail <= 9999;
      return wellFormed ? static_cast<uint32_t>(head.CodeNumber % 10000000) : kNoKey;
    });
    if (!filled) return filled.error();
    byNew_ = std::move(*filled);
  }
  return &*byNew_;
}

Result<const CodeIndex::Buckets*> CodeIndex::OldBuckets() const {
  if (!byOld_) {
    auto filled = Fill(kOldBuckets * kOldDivisor, kOldDivisor, [](const TownHead& head) {
      const auto codes = DecodeCodes(head);
      if (!codes) return kNoKey;
      if (codes->kind == kFormerThreeDigits) return static_cast<uint32_t>(codes->Former());
      if (codes->kind == kFormerFiveDigits) return kFiveDigitBase + static_cast<uint32_t>(codes->Former());
      return kNoKey;
    });
    if (!filled) return filled.error();
    byOld_ = std::move(*filled);
  }
  return &*byOld_;
}

namespace {

// Appends sjis as the list's conversion of a whole row gives it, when that
// does not hang on the text around it: no line feed, no lead byte without
// its trail byte, each character one the decoder converts alone. false
// otherwise (out then holds part of it).
bool AppendAlone(std::string& out, std::string_view sjis) {
  for (size_t i = 0; i < sjis.size();) {
    const auto c = static_cast<unsigned char>(sjis[i]);
    const size_t n = platform::IsSjisLeadByte(c) ? 2 : 1;
    if (c == '\n' || i + n > sjis.size() || sjis[i + n - 1] == '\n' ||
        !platform::SjisDecoder::AppendChar(out, sjis.substr(i, n))) {
      return false;
    }
    i += n;
  }
  return true;
}

}  // namespace

// Cities ranked by their rows' common head "prefecture city ", equal heads
// alike. A head that begins another (only a damaged prefecture name can
// hold a blank) would let the town's name decide across cities: no ranks
// then.
bool CodeIndex::ListCities(Listed& listed, std::vector<uint32_t>& rank) const {
  const size_t n = cityList_.size();
  listed.cityKeys.resize(n);
  listed.cityTexts.resize(n);
  bool texts = true;
  for (size_t c = 0; c < n; ++c) {
    auto city = CityName(static_cast<uint16_t>(c));
    if (!city) return false;
    listed.cityKeys[c].append(prefs_[cityList_[c].pref].sjis).append(" ").append(city->sjis).append(" ");
    texts = texts && AppendAlone(listed.cityTexts[c], listed.cityKeys[c]);
  }
  if (!texts) listed.cityTexts.clear();
  std::vector<uint32_t> byKey(n);
  for (uint32_t c = 0; c < n; ++c) byKey[c] = c;
  std::sort(byKey.begin(), byKey.end(),
            [&](uint32_t a, uint32_t b) { return listed.cityKeys[a] < listed.cityKeys[b]; });
  rank.assign(n, 0);
  for (size_t i = 1; i < n; ++i) {
    const std::string &before = listed.cityKeys[byKey[i - 1]], &key = listed.cityKeys[byKey[i]];
    rank[byKey[i]] = rank[byKey[i - 1]];
    if (key == before) continue;
    if (key.starts_with(before)) return false;
    ++rank[byKey[i]];
  }
  return true;
}

// Each bucket by code, then by city rank and the town's Shift-JIS name,
// then in file order: the order of the scan's stable sort of its keys.
bool CodeIndex::ListTowns(const Buckets& b, const std::vector<uint32_t>& rank, Listed& listed) const {
  const size_t n = b.entries.size();
  std::string names;
  std::vector<uint32_t> at(n + 1);
  for (size_t k = 0; k < n; ++k) {
    auto record = file_->Peek(b.entries[k].pos, kTownFixed + kTownNameField);
    if (!record) return false;
    const TownHead head = DicFile::ParseTownHead(*record);
    const std::string_view field(reinterpret_cast<const char*>(*record) + kTownFixed, kTownNameField);
    at[k] = static_cast<uint32_t>(names.size());
    if (!AppendExpandedText(names, field, head.NameLength)) return false;
  }
  at[n] = static_cast<uint32_t>(names.size());
  const std::string_view all(names);
  auto name = [&](uint32_t k) { return all.substr(at[k], at[k + 1] - at[k]); };
  // Code, city rank and the name's first four bytes (zeros after a shorter
  // one, which keeps byte order) as one number: most comparisons end there.
  struct Key {
    uint64_t head;
    uint32_t k;
  };
  std::vector<Key> order(n);
  for (uint32_t k = 0; k < n; ++k) {
    uint64_t head = (uint64_t{b.entries[k].low} << 48) | (uint64_t{rank[b.entries[k].city]} << 32);
    const std::string_view t = name(k);
    for (size_t i = 0; i < 4; ++i)
      head |= uint64_t{i < t.size() ? static_cast<unsigned char>(t[i]) : 0u} << (24 - 8 * i);
    order[k] = {head, k};
  }
  for (size_t bucket = 0; bucket + 1 < b.offsets.size(); ++bucket) {
    std::sort(order.begin() + b.offsets[bucket], order.begin() + b.offsets[bucket + 1],
              [&](const Key& x, const Key& y) {
                if (x.head != y.head) return x.head < y.head;
                const int c = name(x.k).compare(name(y.k));
                return c != 0 ? c < 0 : x.k < y.k;
              });
  }
  bool texts = !listed.cityTexts.empty();
  listed.entries.reserve(n);
  if (texts) listed.utf8At.reserve(n + 1);
  for (const Key& key : order) {
    const uint32_t k = key.k;
    listed.entries.push_back(b.entries[k]);
    if (texts) {
      listed.utf8At.push_back(static_cast<uint32_t>(listed.utf8.size()));
      texts = AppendAlone(listed.utf8, name(k));
    }
  }
  listed.utf8At.push_back(static_cast<uint32_t>(listed.utf8.size()));
  if (!texts) {
    listed.utf8At.clear();
    listed.utf8.clear();
  }
  return true;
}

// Made on the window's first former code (some 15 ms and 5 MB for the
// country); the batch never asks for it.
Result<const CodeIndex::Listed*> CodeIndex::ListedFormer() const {
  if (!listed_) {
    auto buckets = OldBuckets();
    if (!buckets) return buckets.error();
    Listed listed;
    std::vector<uint32_t> rank;
    listed.usable = ListCities(listed, rank) && ListTowns(**buckets, rank, listed);
    if (!listed.usable) listed = Listed();
    listed_ = std::move(listed);
  }
  return &*listed_;
}

Result<CodeIndex> CodeIndex::Build(const std::string& dictionaryPath) {
  auto opened = DicFile::OpenWhole(dictionaryPath);
  if (!opened) return opened.error();
  return Build(std::move(*opened));
}

Result<CodeIndex> CodeIndex::Build(std::unique_ptr<DicFile> dic, bool withSection) {
  auto loaded = LoadDictionary(*dic);
  if (!loaded) return loaded.error();
  if (loaded->versionMismatch) return Error{std::string(kVersionMessage)};
  CodeIndex index;
  index.file_ = std::move(dic);
  index.table_ = loaded->table;
  index.cityList_.reserve(2048);  // the country's, with no copy as it grows
  for (size_t p = 0; p < loaded->table.rows.size(); ++p) {
    const PrefectureRow& pref = loaded->table.rows[p];
    index.prefs_.push_back({pref.Name, pref.NameSjis});
    auto walked =
        ForEachCityRead(*index.file_, pref.CityListPos, pref.PrefNo, [&](const CityRecord& city, int64_t pos) {
          index.cityList_.push_back(
              {city.TownListPos, static_cast<int32_t>(pos), city.CityNo, static_cast<uint8_t>(p), city.DigitFlags});
          return index.cityList_.size() < UINT16_MAX;
        });
    if (!walked) return walked.error();
    if (index.cityList_.size() >= UINT16_MAX) return Error{"市区町村が多すぎます。"};
  }
  index.nameOf_.assign(index.cityList_.size(), 0);
  // Room for every city's name from the start: growing copied them into
  // fresh pages at each step, a fault a page. Untouched room costs nothing.
  index.cityNames_.reserve(index.cityList_.size());
  index.cityText_.reserve(index.cityList_.size() * 32);
  // As long as the highest number held, not every number there could be.
  int16_t highest = 0;
  for (const City& city : index.cityList_) highest = std::max(highest, city.cityNo);
  index.cityOfNo_.assign(static_cast<size_t>(highest) + 1, 0);
  for (size_t c = index.cityList_.size(); c-- > 0;) {  // the first of a number wins
    if (const int16_t no = index.cityList_[c].cityNo; no > 0) {
      uint16_t& first = index.cityOfNo_[static_cast<size_t>(no)];
      index.duplicateCityNo_ = index.duplicateCityNo_ || first != 0;
      first = static_cast<uint16_t>(c + 1);
    }
  }

  if (!withSection) return index;
  auto sections = ReadSectionTable(*index.file_);
  if (!sections) return sections.error();
  if (const Section* code = FindSection(*sections, kCodeSectionTag)) index.OpenSection(*sections, *code);
  return index;
}

// The section is checked once for each version of the file: a check that
// passed is noted, and a later run on the same version trusts the note.
// Only where the change time is the system's own: on FAT or exFAT through
// FUSE the owner sets it, and a damaged section kept every time as noted.
void CodeIndex::OpenSection(const std::vector<Section>& sections, const Section& code) {
  const auto file = file_->Identity();
  const auto note = file && file_->ChangeTimeKeptBySystem() ? platform::CheckNotePath() : std::nullopt;
  const bool noted = note && platform::NotedAsChecked(*note, *file, kCodeIndexCheck);
  recordsAndSection_ = code.pos - 1 + code.length - kHeaderSize;
  sectionPos_ = code.pos;
  // Unchecked, the records and the section go into memory of their own
  // at once: the digest reads them all.
  if (!noted) KeepRecords();
  const uint8_t* bytes = file_->MemoryAt(code.pos, static_cast<size_t>(code.length));
  const bool vouched = noted || Vouched(*file_, sections, code);
  if (auto why = UseSection(bytes, static_cast<size_t>(code.length), vouched)) {
    setAside_ = std::move(*why);
  } else if (!noted && note && file_->Identity() == file) {  // unchanged while it was read
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    platform::NoteChecked(*note, *file, kCodeIndexCheck,
                          std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
  }
}

void CodeIndex::KeepRecords() const {
  if (recordsAndSection_ <= 0 || keepTried_) return;
  keepTried_ = true;
  if (!file_->KeepCopy(kHeaderSize + 1, recordsAndSection_) || !section_) return;
  // The section read from the copy too: each page of it in the mapping
  // would cost a fault.
  if (const uint8_t* bytes = file_->MemoryAt(sectionPos_, kSectionHead)) {
    section_ = bytes + 4;
    sectionEntries_ = bytes + kSectionHead;
  }
}

// A section that disagrees with the records (one made for another file, or
// damaged and still well-formed) once made every batch answer 該当なし while
// single lookups were right. So it is checked when the index opens: its
// table is in order, and its entries are exactly the towns with a
// well-formed code, each once and under its own code, sorted within their
// bucket. That costs a walk over the towns and a read per entry; a section
// the file's digest vouches for is as the builder wrote it for these very
// records, and the digest costs a fifth of that.
std::optional<std::string> CodeIndex::UseSection(const uint8_t* bytes, size_t length, bool vouched) {
  const std::string broken = "辞書の郵便番号索引が壊れています。";
  if (!bytes || length < kSectionHead || ReadI32(bytes) != static_cast<int32_t>(kSectionBuckets) ||
      (length - kSectionHead) % kSectionEntry != 0) {
    return broken;
  }
  const auto entries = static_cast<int64_t>((length - kSectionHead) / kSectionEntry);
  int64_t previous = 0;
  for (uint32_t b = 0; b <= kSectionBuckets; ++b) {
    const int64_t at = ReadI32(bytes + 4 + 4 * b);
    if (at < previous || at > entries || (b == kSectionBuckets && at != entries)) return broken;
    previous = at;
  }
  if (duplicateCityNo_) return "辞書の郵便番号索引が町域の記録と合いません。";
  if (!vouched) {
    if (auto wrong = CheckSectionEntries(bytes + 4, bytes + kSectionHead)) return wrong;
  }
  section_ = bytes + 4;
  sectionEntries_ = bytes + kSectionHead;
  sectionCount_ = static_cast<uint32_t>(entries);
  return std::nullopt;
}

std::optional<std::string> CodeIndex::CheckSectionEntries(const uint8_t* offsets, const uint8_t* entries) const {
  const std::string wrong = "辞書の郵便番号索引が町域の記録と合いません。";
  const auto size = static_cast<size_t>(file_->Size());
  std::vector<bool> unlisted(size + 1);  // by position: a town with a code, not yet met in the section
  size_t towns = 0;
  // A town whose code is out of range is found by the window's scan
  // (digit by digit) and by no index: the records answer for such a file.
  bool malformed = false;
  auto walked = ForEachTown([&](const TownHead& head, int64_t pos, uint32_t) {
    malformed = malformed || !DecodeCodes(head);
    if (DecodeCodes(head) && !unlisted[static_cast<size_t>(pos)]) {
      unlisted[static_cast<size_t>(pos)] = true;
      ++towns;
    }
  });
  if (!walked) return walked.error().description;
  if (malformed) return wrong;
  size_t listed = 0;
  for (uint32_t b = 0; b < kSectionBuckets; ++b) {
    const auto to = static_cast<uint32_t>(ReadI32(offsets + 4 * (b + 1)));
    int16_t lastLow = 0;
    for (auto k = static_cast<uint32_t>(ReadI32(offsets + 4 * b)); k < to; ++k, ++listed) {
      const uint8_t* entry = entries + size_t{k} * kSectionEntry;
      const int16_t low = ReadI16(entry);
      const int32_t pos = ReadI32(entry + 2);
      if (low < lastLow || pos < 1 || static_cast<size_t>(pos) > size || !unlisted[static_cast<size_t>(pos)]) {
        return wrong;
      }
      unlisted[static_cast<size_t>(pos)] = false;
      lastLow = low;
      const uint8_t* at = file_->MemoryAt(pos, kTownFixed);
      auto head = at ? Result<TownHead>(DicFile::ParseTownHead(at)) : file_->ReadTownHead(pos);
      if (!head) return head.error().description;
      const auto codes = DecodeCodes(*head);
      if (!codes || static_cast<uint32_t>(codes->current) != b * kSectionDivisor + static_cast<uint32_t>(low)) {
        return wrong;
      }
    }
  }
  return listed == towns ? std::nullopt : std::optional<std::string>(wrong);
}

Result<std::vector<CodeMatch>> CodeIndex::Find(std::string_view code) const {
  auto found = FindMany({std::string(code)});
  if (!found) return found.error();
  return std::move(found->front());
}

Result<bool> CodeIndex::AddHit(int64_t pos, uint32_t input, uint16_t city, std::vector<Hit>& hits,
                               std::string* names) const {
  auto record = file_->Peek(pos, kTownFixed + kTownNameField);
  if (!record) return record.error();
  const TownHead head = DicFile::ParseTownHead(*record);
  const std::string_view field(reinterpret_cast<const char*>(*record) + kTownFixed, kTownNameField);
  // Straight to UTF-8: a batch shows thousands of names, and the Shift-JIS
  // text between cost as much again. The window's list (no names) makes
  // its keys from the Shift-JIS and converts those.
  uint32_t start = 0, end = 0;
  if (names) {
    start = static_cast<uint32_t>(names->size());
    if (auto expanded = AppendExpandedUtf8(*names, field, head.NameLength); !expanded) {
      return expanded.error();
    }
    end = static_cast<uint32_t>(names->size());
  }
  hits.push_back({input, city, IsOfficeName(field, head.NameLength), head, static_cast<int32_t>(pos), start, end});
  return true;
}

Result<CodeIndex::CityText> CodeIndex::CityName(uint16_t city) const {
  if (nameOf_[city] == 0) {
    auto record = file_->ReadCity(cityList_[city].pos);
    if (!record) return record.error();
    std::string sjis;
    if (auto expanded = AppendExpandedText(sjis, record->Name, record->NameLength); !expanded) {
      return expanded.error();
    }
    NameAt at{static_cast<uint32_t>(cityText_.size()), 0, 0};
    platform::SjisDecoder::Append(cityText_, sjis);
    at.sjis = static_cast<uint32_t>(cityText_.size());
    cityText_ += sjis;
    at.end = static_cast<uint32_t>(cityText_.size());
    cityNames_.push_back(at);
    nameOf_[city] = static_cast<uint16_t>(cityNames_.size());
  }
  const NameAt& at = cityNames_[nameOf_[city] - 1u];
  const std::string_view text(cityText_);
  return CityText{text.substr(at.utf8, at.sjis - at.utf8), text.substr(at.sjis, at.end - at.sjis)};
}

// The town's name as the file holds it: hits carry theirs in UTF-8.
Result<bool> CodeIndex::AppendSjisTownName(const Hit& hit, std::string& out) const {
  auto record = file_->Peek(hit.pos, kTownFixed + kTownNameField);
  if (!record) return record.error();
  const std::string_view field(reinterpret_cast<const char*>(*record) + kTownFixed, kTownNameField);
  return AppendExpandedText(out, field, hit.head.NameLength);
}

// The search's list order: the Shift-JIS bytes of "prefecture city town",
// each key made once (the town's expanded again from its record: only
// codes of several towns come here); ties in file order. The keys share one
// buffer: a former code has hundreds of towns, a string each cost more than
// their sort.
Result<bool> CodeIndex::SortHits(std::vector<Hit>& hits, size_t first) const {
  if (hits.size() - first < 2) return true;
  std::string keys;
  std::vector<std::pair<size_t, size_t>> spans;  // of each hit's key in keys, from first on
  for (size_t h = first; h < hits.size(); ++h) {
    const Hit& hit = hits[h];
    auto city = CityName(hit.city);
    if (!city) return city.error();
    const size_t start = keys.size();
    keys.append(prefs_[cityList_[hit.city].pref].sjis).append(" ").append(city->sjis).append(" ");
    if (auto appended = AppendSjisTownName(hit, keys); !appended) return appended.error();
    spans.emplace_back(start, keys.size() - start);
  }
  std::vector<size_t> order(spans.size());
  for (size_t k = 0; k < order.size(); ++k) order[k] = k;
  const std::string_view all(keys);
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    const int c = all.substr(spans[a].first, spans[a].second).compare(all.substr(spans[b].first, spans[b].second));
    return c != 0 ? c < 0 : a < b;
  });
  std::vector<Hit> sorted;
  sorted.reserve(order.size());
  for (const size_t k : order) sorted.push_back(hits[first + k]);
  std::copy(sorted.begin(), sorted.end(), hits.begin() + static_cast<std::ptrdiff_t>(first));
  return true;
}

Result<bool> CodeIndex::FindInBuckets(std::string_view code, uint32_t input, std::vector<Hit>& hits, std::string* names,
                                      bool sorted) const {
  uint32_t value = 0;
  for (char ch : code) value = value * 10 + static_cast<uint32_t>(ch - '0');
  const bool current = code.size() == 7;
  auto buckets = current ? NewBuckets() : OldBuckets();
  if (!buckets) return buckets.error();
  const Buckets& b = **buckets;
  const uint32_t key = current ? value : code.size() == 5 ? kFiveDigitBase + value : value;
  const uint32_t bucket = key / b.divisor;
  const auto low = static_cast<uint16_t>(key % b.divisor);
  const size_t first = hits.size();
  for (uint32_t k = b.offsets[bucket]; k < b.offsets[bucket + 1]; ++k) {
    const Entry& e = b.entries[k];
    if (e.low != low) continue;
    if (auto added = AddHit(e.pos, input, e.city, hits, names); !added) return added.error();
  }
  return sorted ? SortHits(hits, first) : Result<bool>(true);
}

uint32_t CodeIndex::FirstEntry(uint32_t code) const {
  const uint32_t bucket = code / kSectionDivisor;
  const auto low = static_cast<int16_t>(code % kSectionDivisor);
  auto lowAt = [&](uint32_t k) { return ReadI16(sectionEntries_ + size_t{k} * kSectionEntry); };
  auto from = static_cast<uint32_t>(ReadI32(section_ + 4 * bucket));
  uint32_t count = static_cast<uint32_t>(ReadI32(section_ + 4 * (bucket + 1))) - from;
  while (count > 0) {
    const uint32_t half = count / 2;
    if (lowAt(from + half) < low) {
      from += half + 1;
      count -= half + 1;
    } else {
      count = half;
    }
  }
  return from;
}

// The section lists each code's towns in list order already. Each record
// is checked against the code: a damaged section can miss a town, never
// show a wrong one.
Result<bool> CodeIndex::FindInSection(uint32_t code, uint32_t from, uint32_t input, std::vector<Hit>& hits,
                                      std::string* names) const {
  const auto low = static_cast<int16_t>(code % kSectionDivisor);
  const auto to = static_cast<uint32_t>(ReadI32(section_ + 4 * (code / kSectionDivisor + 1)));
  auto lowAt = [&](uint32_t k) { return ReadI16(sectionEntries_ + size_t{k} * kSectionEntry); };
  for (uint32_t k = from; k < to && lowAt(k) == low; ++k) {
    const uint8_t* entry = sectionEntries_ + size_t{k} * kSectionEntry;
    const int32_t pos = ReadI32(entry + 2);
    TownHead head;
    if (const uint8_t* bytes = file_->MemoryAt(pos, kTownFixed)) {
      head = DicFile::ParseTownHead(bytes);
    } else {
      auto read = file_->ReadTownHead(pos);
      if (!read) return read.error();
      head = *read;
    }
    const auto codes = DecodeCodes(head);
    if (!codes || static_cast<uint32_t>(codes->current) != code || head.CityNo <= 0 ||
        static_cast<size_t>(head.CityNo) >= cityOfNo_.size()) {
      continue;
    }
    const uint16_t city = cityOfNo_[static_cast<size_t>(head.CityNo)];
    if (city == 0) continue;
    if (auto added = AddHit(pos, input, static_cast<uint16_t>(city - 1), hits, names); !added) return added.error();
  }
  return true;
}

namespace {

// What the scan reads: prefectures that list the first two digits, and
// their cities whose flags for the third digit admit the kind of code.
template <typename City>
bool ScanReads(const PrefectureRow& pref, const City& city, bool current, int p2, int d) {
  const auto prefixes = pref.Prefixes.begin() + std::min<int>(pref.PrefixCount, kMaxPrefixes);
  const int flag = DigitFlag(city.digitFlags, d);
  const bool qualifies =
      current ? flag >= kDigitHasCurrent : (flag == kDigitHasFormer || flag == (kDigitHasFormer | kDigitHasCurrent));
  return qualifies && city.pref < kPrefectureCount && std::find(pref.Prefixes.begin(), prefixes, p2) != prefixes;
}

bool SameTable(const PrefectureTable& a, const PrefectureTable& b) {
  return std::equal(a.rows.begin(), a.rows.end(), b.rows.begin(), b.rows.end(), [](const auto& x, const auto& y) {
    return x.PrefNo == y.PrefNo && x.CityListPos == y.CityListPos && x.PrefixCount == y.PrefixCount &&
           x.Prefixes == y.Prefixes && x.NameSjis == y.NameSjis;
  });
}

}  // namespace

Result<std::optional<RowList>> CodeIndex::ListCode(std::string_view code, const PrefectureTable& table) const {
  using Rows = std::optional<RowList>;
  if (!Lists(code, table)) return Rows();
  std::vector<Hit> hits;
  uint32_t value = 0;
  for (char ch : code) value = value * 10 + static_cast<uint32_t>(ch - '0');
  const bool current = code.size() == 7;
  const int p2 = (code[0] - '0') * 10 + (code[1] - '0'), d = code[2] - '0';
  if (!current) {
    auto listed = ListedFormer();
    if (!listed) return listed.error();
    if ((*listed)->usable) {
      RowList rows;
      const uint32_t key = code.size() == 5 ? kFiveDigitBase + value : value;
      if (auto listedRows = AppendListedRows(*byOld_, **listed, key, p2, d, rows); !listedRows) {
        return listedRows.error();
      }
      return Rows(std::move(rows));
    }
  }
  // Former codes' towns come in file order, sorted below by their keys
  // (stable: ties stay in file order, as the scan leaves them).
  auto found = current ? FindInSection(value, FirstEntry(value), 0, hits, nullptr)
                       : FindInBuckets(code, 0, hits, nullptr, false);
  if (!found) return found.error();
  std::vector<ListEntry> keyed;
  if (auto appended = AppendKeyedRows(hits, current, p2, d, keyed); !appended) return appended.error();
  if (!current) SortListEntries(keyed);
  FillTextsFromSortKeys(keyed);
  return Rows(RowsOf(keyed));
}

// Whether the index answers for code as the scan would over table.
bool CodeIndex::Lists(std::string_view code, const PrefectureTable& table) const {
  if (!section_ || !SameTable(table, table_)) return false;
  // The scan walks row n's cities as prefecture n's; the index as the
  // number the row holds.
  for (size_t p = 0; p < table_.rows.size(); ++p) {
    if (table_.rows[p].PrefNo != p + 1) return false;
  }
  return (code.size() == 3 || code.size() == 5 || code.size() == 7) &&
         std::all_of(code.begin(), code.end(), [](char ch) { return ch >= '0' && ch <= '9'; });
}

// The rows of the hits the scan would read, each with its sort key.
Result<bool> CodeIndex::AppendKeyedRows(const std::vector<Hit>& hits, bool current, int p2, int d,
                                        std::vector<ListEntry>& rows) const {
  rows.reserve(hits.size());
  for (const Hit& hit : hits) {
    const City& city = cityList_[hit.city];
    const PrefectureRow& pref = table_.rows[city.pref];
    if (!ScanReads(pref, city, current, p2, d)) continue;
    auto cityName = CityName(hit.city);
    if (!cityName) return cityName.error();
    ListEntry row;
    // Room for a name of double-byte characters: one allocation a key.
    row.sortKey.reserve(pref.NameSjis.size() + cityName->sjis.size() + 2 + 2 * size_t{hit.head.NameLength});
    row.sortKey.append(pref.NameSjis).append(" ").append(cityName->sjis).append(" ");
    if (auto appended = AppendSjisTownName(hit, row.sortKey); !appended) return appended.error();
    row.itemData = hit.pos;
    rows.push_back(std::move(row));
  }
  return true;
}

Result<bool> CodeIndex::AppendListedRows(const Buckets& b, const Listed& listed, uint32_t key, int p2, int d,
                                         RowList& rows) const {
  const auto low = static_cast<uint16_t>(key % b.divisor);
  const auto first = listed.entries.begin() + b.offsets[key / b.divisor];
  const auto last = listed.entries.begin() + b.offsets[key / b.divisor + 1];
  const auto from = std::lower_bound(first, last, low, [](const Entry& e, uint16_t l) { return e.low < l; });
  const auto to = std::upper_bound(from, last, low, [](uint16_t l, const Entry& e) { return l < e.low; });
  const auto at = [&](auto e) { return static_cast<size_t>(e - listed.entries.begin()); };
  const bool texts = !listed.utf8At.empty();
  // Names without texts here: keyed rows, their texts converted at the end.
  std::vector<ListEntry> keyed;
  if (texts) {
    // Room for every row's text (the towns' names stand one after another):
    // one allocation for all of them.
    size_t bytes = listed.utf8At[at(to)] - listed.utf8At[at(from)];
    for (auto e = from; e != to; ++e) bytes += listed.cityTexts[e->city].size();
    rows.Reserve(static_cast<size_t>(to - from), bytes);
  }
  // A code's towns stand city by city: each city is asked once.
  uint32_t asked = UINT32_MAX;
  bool reads = false;
  for (auto e = from; e != to; ++e) {
    if (e->city != asked) {
      asked = e->city;
      const City& city = cityList_[e->city];
      reads = ScanReads(table_.rows[city.pref], city, false, p2, d);
    }
    if (!reads) continue;
    if (!texts) {
      if (auto appended = AppendListedKey(listed, *e, keyed); !appended) return appended.error();
      continue;
    }
    const size_t k = at(e);
    rows.Append(listed.cityTexts[e->city],
                std::string_view(listed.utf8).substr(listed.utf8At[k], listed.utf8At[k + 1] - listed.utf8At[k]),
                e->pos);
  }
  if (!keyed.empty()) {
    FillTextsFromSortKeys(keyed);
    for (const ListEntry& row : keyed) rows.Append(row);
  }
  return true;
}

Result<bool> CodeIndex::AppendListedKey(const Listed& listed, const Entry& e, std::vector<ListEntry>& rows) const {
  auto record = file_->Peek(e.pos, kTownFixed + kTownNameField);
  if (!record) return record.error();
  const std::string_view field(reinterpret_cast<const char*>(*record) + kTownFixed, kTownNameField);
  ListEntry& row = rows.emplace_back();
  row.sortKey = listed.cityKeys[e.city];
  row.itemData = e.pos;
  if (auto town = AppendExpandedText(row.sortKey, field, DicFile::ParseTownHead(*record).NameLength); !town) {
    return town.error();
  }
  return true;
}

Result<std::vector<std::vector<CodeMatch>>> CodeIndex::FindMany(const std::vector<std::string>& codes) const {
  std::vector<std::vector<CodeMatch>> out(codes.size());
  auto found = ForEachMatch(codes, [&](size_t i, const MatchView& m) {
    out[i].push_back({std::string(m.newCode), std::string(m.oldCode), std::string(m.pref), std::string(m.city),
                      std::string(m.town), m.office});
  });
  if (!found) return found.error();
  return out;
}

std::vector<CodeIndex::Query> CodeIndex::Queries(const std::vector<std::string>& codes) const {
  std::vector<Query> queries(codes.size());
  for (size_t c = 0; c < codes.size(); ++c) {
    const std::string& code = codes[c];
    if (code.size() != 3 && code.size() != 5 && code.size() != 7) continue;
    if (!std::all_of(code.begin(), code.end(), [](char ch) { return ch >= '0' && ch <= '9'; })) continue;
    Query& q = queries[c];
    for (char ch : code) q.value = q.value * 10 + static_cast<uint32_t>(ch - '0');
    q.valid = true;
    q.inSection = section_ && code.size() == 7;
  }
  return queries;
}

// Each code of a batch waited on memory three times: for its bucket, the
// bucket's entries, then its town, anywhere in megabytes. So each is asked
// for some codes ahead of its use (step is kAhead codes ahead of the
// bucket's, twice that of the entries', three times the town's), and they
// arrive together instead of one after the other.
void CodeIndex::AskAhead(std::vector<Query>& queries, size_t step) const {
  auto at = [&](size_t lag) -> Query* {
    return step >= lag && step - lag < queries.size() && queries[step - lag].inSection ? &queries[step - lag] : nullptr;
  };
  if (const Query* q = at(0)) __builtin_prefetch(section_ + 4 * (q->value / kSectionDivisor));
  if (const Query* q = at(kAhead)) {
    const uint8_t* bucket = section_ + 4 * (q->value / kSectionDivisor);
    const uint8_t* from = sectionEntries_ + size_t{static_cast<uint32_t>(ReadI32(bucket))} * kSectionEntry;
    const uint8_t* to = sectionEntries_ + size_t{static_cast<uint32_t>(ReadI32(bucket + 4))} * kSectionEntry;
    // The halving reads across the bucket: all its lines, up to a few.
    for (const uint8_t* line = from; line < to && line < from + 512; line += 64) __builtin_prefetch(line);
  }
  if (Query* q = at(2 * kAhead)) {
    q->first = FirstEntry(q->value);
    if (q->first >= sectionCount_) return;
    if (const uint8_t* town = file_->MemoryAt(ReadI32(sectionEntries_ + size_t{q->first} * kSectionEntry + 2), 1)) {
      __builtin_prefetch(town);
    }
  }
}

Result<bool> CodeIndex::ForEachMatch(const std::vector<std::string>& codes,
                                     const std::function<void(size_t, const MatchView&)>& fn) const {
  // The hits of all codes in one list, their names in one buffer, each
  // with room for a town a code (most codes have one).
  // Many codes touch most pages of the records: a page fault each costs
  // more than reading them all at once.
  if (codes.size() >= 64) KeepRecords();
  std::vector<Hit> hits;
  std::string names;  // in UTF-8, one after the other
  hits.reserve(codes.size());
  names.reserve(codes.size() * 32);
  std::vector<Query> queries = Queries(codes);
  const size_t lag = 3 * kAhead;  // AskAhead's three steps
  for (size_t step = 0; step < queries.size() + lag; ++step) {
    AskAhead(queries, step);
    const size_t c = step - lag;
    if (step < lag || c >= queries.size() || !queries[c].valid) continue;
    const auto input = static_cast<uint32_t>(c);
    auto found = queries[c].inSection ? FindInSection(queries[c].value, queries[c].first, input, hits, &names)
                                      : FindInBuckets(codes[c], input, hits, &names);
    if (!found) return found.error();
  }
  for (const Hit& hit : hits) {
    auto city = CityName(hit.city);
    if (!city) return city.error();
    const std::string_view town = std::string_view(names).substr(hit.nameStart, hit.nameEnd - hit.nameStart);
    // In place for the towns of a well-formed file, as strings for the rest.
    const auto texts = MakeCodeTexts(hit.head);
    const std::string newCode = texts ? std::string() : CurrentCodeText(hit.head);
    const std::string oldCode = texts ? std::string() : FormerCodeText(hit.head);
    fn(hit.input, {texts ? texts->Current() : newCode, texts ? texts->Former() : oldCode,
                   prefs_[cityList_[hit.city].pref].utf8, city->utf8, town, hit.office});
  }
  return true;
}

Result<std::string> CodeIndex::MakeCodeSection() const {
  auto buckets = NewBuckets();
  if (!buckets) return buckets.error();
  const Buckets& b = **buckets;
  std::string out;
  AppendI32(out, kSectionBuckets);
  const size_t offsets = out.size();
  out.append(4 * (kSectionBuckets + 1), '\0');
  uint32_t written = 0, started = 0;  // entries written; section buckets whose start is written
  std::vector<uint16_t> lows;
  // The codes held, in order: those of each bucket that has any.
  for (uint32_t bucket = 0; bucket + 1 < b.offsets.size(); ++bucket) {
    if (b.offsets[bucket] == b.offsets[bucket + 1]) continue;
    lows.clear();
    for (uint32_t k = b.offsets[bucket]; k < b.offsets[bucket + 1]; ++k) lows.push_back(b.entries[k].low);
    std::sort(lows.begin(), lows.end());
    lows.erase(std::unique(lows.begin(), lows.end()), lows.end());
    for (const uint16_t low : lows) {
      const uint32_t code = bucket * b.divisor + low;
      for (; started <= code / kSectionDivisor; ++started) PatchI32(out, offsets + 4 * started, written);
      if (auto appended = AppendSectionEntries(b, bucket, low, out, written); !appended) return appended.error();
    }
  }
  for (; started <= kSectionBuckets; ++started) PatchI32(out, offsets + 4 * started, written);
  return out;
}

Result<bool> CodeIndex::AppendSectionEntries(const Buckets& b, uint32_t bucket, uint16_t low, std::string& out,
                                             uint32_t& written) const {
  const uint32_t code = bucket * b.divisor + low;
  std::vector<Hit> hits;
  for (uint32_t k = b.offsets[bucket]; k < b.offsets[bucket + 1]; ++k) {
    const Entry& e = b.entries[k];
    if (e.low != low) continue;
    if (auto added = AddHit(e.pos, 0, e.city, hits, nullptr); !added) return added.error();
  }
  if (auto sorted = SortHits(hits, 0); !sorted) return sorted.error();
  for (const Hit& h : hits) {
    AppendI16(out, static_cast<int>(code % kSectionDivisor));
    AppendI32(out, h.pos);
    ++written;
  }
  return true;
}

}  // namespace kovant::dict
