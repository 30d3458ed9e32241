#include "dict/codeindex.h"

#include <algorithm>
#include <optional>

#include "dict/chain.h"
#include "dict/codec.h"
#include "platform/sjis.h"

namespace kovant::dict {
namespace {

// Current codes by their first five digits; former codes as one number,
// 3-digit codes below 1000 and 5-digit ones from 1000 on.
constexpr uint32_t kNewBuckets = 100000, kNewDivisor = 100;
constexpr uint32_t kFiveDigitBase = 1000, kOldBuckets = kFiveDigitBase + 100000;
constexpr size_t kMaxTowns = 2000000;

}  // namespace

// keyOf gives a town's bucket, or kNoKey to leave it out.
constexpr uint32_t kNoKey = UINT32_MAX;

template <typename KeyOf>
void CodeIndex::Buckets::Fill(const std::vector<Town>& towns, size_t keys, uint32_t divisor, KeyOf keyOf) {
  offsets.assign(keys + 1, 0);
  for (const Town& t : towns) {
    if (uint32_t k = keyOf(t); k != kNoKey) ++offsets[k / divisor + 1];
  }
  for (size_t k = 0; k < keys; ++k) offsets[k + 1] += offsets[k];
  order.resize(offsets[keys]);
  std::vector<uint32_t> next(offsets.begin(), offsets.end() - 1);
  for (uint32_t i = 0; i < towns.size(); ++i) {
    if (uint32_t k = keyOf(towns[i]); k != kNoKey) order[next[k / divisor]++] = {k, i};
  }
}

namespace {

// Keys of well-formed records only; the odd values of a broken file are
// the search's business.
std::optional<TownCodes> Decode(int32_t codeNumber, int16_t oldCodeTail) {
  TownHead head;
  head.CodeNumber = codeNumber;
  head.OldCodeTail = oldCodeTail;
  return DecodeCodes(head);
}

}  // namespace

const CodeIndex::Buckets& CodeIndex::NewBuckets() const {
  if (byNew_.offsets.empty()) {
    byNew_.Fill(towns_, kNewBuckets, kNewDivisor,
                [](const Town& t) { return Decode(t.codeNumber, t.oldCodeTail) ? t.code : kNoKey; });
  }
  return byNew_;
}

const CodeIndex::Buckets& CodeIndex::OldBuckets() const {
  if (byOld_.offsets.empty()) {
    byOld_.Fill(towns_, kOldBuckets, 1, [](const Town& t) {
      const auto codes = Decode(t.codeNumber, t.oldCodeTail);
      if (!codes) return kNoKey;
      if (codes->kind == 1) return static_cast<uint32_t>(codes->Former());
      if (codes->kind == 2) return kFiveDigitBase + static_cast<uint32_t>(codes->Former());
      return kNoKey;
    });
  }
  return byOld_;
}

Result<CodeIndex> CodeIndex::Build(const std::string& dictionaryPath) {
  auto loaded = LoadDictionary(dictionaryPath);
  if (!loaded) return loaded.error();
  if (loaded->versionMismatch) return Error{std::string(kVersionMessage)};
  auto opened = DicFile::OpenWhole(dictionaryPath);
  if (!opened) return opened.error();
  CodeIndex index;
  index.file_ = std::move(*opened);
  index.towns_.reserve(static_cast<size_t>(index.file_->Size() / 20));  // about 20 bytes a record
  DicFile& dic = *index.file_;
  std::vector<std::string> citySjis;
  std::optional<Error> failure;
  for (size_t p = 0; p < loaded->table.rows.size(); ++p) {
    const PrefectureRow& pref = loaded->table.rows[p];
    index.prefs_.push_back({pref.Name, pref.NameSjis});
    std::vector<CityRecord> cities;
    auto walked = ForEachCity(dic, pref.CityListPos, pref.PrefNo, [&](const CityRecord& city, int64_t) {
      cities.push_back(city);
      return true;
    });
    if (!walked) return walked.error();
    for (const CityRecord& city : cities) {
      auto name = ExpandText(city.Name, city.NameLength);
      if (!name) return name.error();
      citySjis.push_back(std::move(*name));
      const auto cityIndex = static_cast<uint32_t>(citySjis.size() - 1);
      auto towns = ForEachTown(dic, city.TownListPos, city.CityNo, [&](const TownHead& head, int64_t pos) {
        // Chains shared by many cities would list one record many times;
        // no real dictionary comes near this many.
        if (index.towns_.size() >= kMaxTowns) {
          failure = Error{"町域が多すぎます。"};
          return false;
        }
        const auto codes = DecodeCodes(head);
        index.towns_.push_back({head.CodeNumber, static_cast<int32_t>(pos),
                                codes ? static_cast<uint32_t>(codes->current) : 0, cityIndex, head.OldCodeTail,
                                static_cast<uint8_t>(p), head.NameLength});
        return true;
      });
      if (!towns) return towns.error();
      if (failure) return *failure;
    }
  }
  std::vector<std::string_view> views(citySjis.begin(), citySjis.end());
  auto cityUtf8 = platform::SjisToUtf8Batch(views);
  for (size_t i = 0; i < citySjis.size(); ++i) index.cities_.push_back({std::move(cityUtf8[i]), citySjis[i]});
  return index;
}

Result<std::vector<CodeMatch>> CodeIndex::Find(std::string_view code) const {
  auto found = FindMany({std::string(code)});
  if (!found) return found.error();
  return std::move(found->front());
}

Result<std::vector<std::vector<CodeMatch>>> CodeIndex::FindMany(const std::vector<std::string>& codes) const {
  struct Hit {
    uint32_t town;
    std::string name;  // Shift-JIS
    bool office;
  };
  std::vector<std::vector<Hit>> hitsOf(codes.size());
  size_t names = 0;
  for (size_t c = 0; c < codes.size(); ++c) {
    const std::string& code = codes[c];
    if (code.size() != 3 && code.size() != 5 && code.size() != 7) continue;
    uint32_t value = 0;
    bool digits = true;
    for (char ch : code) {
      digits = digits && ch >= '0' && ch <= '9';
      value = value * 10 + static_cast<uint32_t>(ch - '0');
    }
    if (!digits) continue;
    const bool current = code.size() == 7;
    const Buckets& buckets = current ? NewBuckets() : OldBuckets();
    const uint32_t key = current ? value : code.size() == 5 ? kFiveDigitBase + value : value;
    const uint32_t bucket = current ? key / kNewDivisor : key;
    std::vector<Hit>& hits = hitsOf[c];
    for (uint32_t k = buckets.offsets[bucket]; k < buckets.offsets[bucket + 1]; ++k) {
      if (buckets.order[k].code != key) continue;
      const uint32_t i = buckets.order[k].town;
      const Town& t = towns_[i];
      auto field = file_->Peek(t.pos + kTownFixed, kTownNameField);
      if (!field) return field.error();
      const std::string_view bytes(reinterpret_cast<const char*>(*field), kTownNameField);
      auto name = ExpandText(bytes, t.nameLength);
      if (!name) return name.error();
      hits.push_back({i, std::move(*name), IsOfficeName(bytes, t.nameLength)});
    }
    // The search's list order: the Shift-JIS bytes of "prefecture city town".
    if (hits.size() > 1) {
      auto sortKey = [&](const Hit& h) {
        const Town& t = towns_[h.town];
        return prefs_[t.pref].sjis + " " + cities_[t.city].sjis + " " + h.name;
      };
      std::stable_sort(hits.begin(), hits.end(), [&](const Hit& a, const Hit& b) { return sortKey(a) < sortKey(b); });
    }
    names += hits.size();
  }
  std::vector<std::string_view> sjis;
  sjis.reserve(names);
  for (const auto& hits : hitsOf) {
    for (const Hit& h : hits) sjis.push_back(h.name);
  }
  auto utf8 = platform::SjisToUtf8Batch(sjis);
  std::vector<std::vector<CodeMatch>> out(codes.size());
  size_t n = 0;
  for (size_t c = 0; c < codes.size(); ++c) {
    for (const Hit& h : hitsOf[c]) {
      const Town& t = towns_[h.town];
      TownHead head;
      head.CodeNumber = t.codeNumber;
      head.OldCodeTail = t.oldCodeTail;
      out[c].push_back({CurrentCodeText(head), FormerCodeText(head), prefs_[t.pref].utf8, cities_[t.city].utf8,
                        std::move(utf8[n++]), h.office});
    }
  }
  return out;
}

}  // namespace kovant::dict
