#include "dict/address.h"

#include <algorithm>
#include <climits>
#include <optional>
#include <set>

#include "dict/chain.h"
#include "dict/codec.h"
#include "dict/fold.h"
#include "dict/readingsection.h"
#include "platform/sjis.h"

namespace kovant::dict {
namespace {

constexpr size_t kMaxPlaces = 2000000;  // far above the country's 147,000

bool StartsWith(std::string_view s, std::string_view head) { return s.substr(0, head.size()) == head; }

bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

// ---- The numbers of an address after its town ----

struct Numbers {
  std::vector<int> dashed;  // "1-2-3" as written
  int chome = -1, banchi = -1;
  std::optional<int> floor;  // negative: below ground
  bool basement = false;
};

// Reads a number at s[i]; i moves past it.
std::optional<int> NumberAt(std::string_view s, size_t& i) {
  if (i >= s.size() || !IsAsciiDigit(s[i])) return std::nullopt;
  int v = 0;
  while (i < s.size() && IsAsciiDigit(s[i])) {
    v = std::min(v * 10 + (s[i] - '0'), 1000000);
    ++i;
  }
  return v;
}

Numbers ReadNumbers(std::string_view rest) {
  static const std::string kChome = "丁目", kCho = "丁", kBanchi = "番地", kBan = "番", kGo = "号", kKai = "階",
                           kChika = "地下", kChikai = "地階";
  Numbers n;
  size_t i = 0;
  // The block: "N丁目M番K号", "N丁目M-K", "N-M-K", "N番地M".
  while (i < rest.size() && !IsAsciiDigit(rest[i])) ++i;
  if (auto first = NumberAt(rest, i)) {
    if (StartsWith(rest.substr(i), kChome) || StartsWith(rest.substr(i), kCho)) {
      n.chome = *first;
      i += StartsWith(rest.substr(i), kChome) ? kChome.size() : kCho.size();
      if (auto second = NumberAt(rest, i)) n.banchi = *second;
    } else if (StartsWith(rest.substr(i), kBanchi) || StartsWith(rest.substr(i), kBan)) {
      n.banchi = *first;
    } else {
      n.dashed.push_back(*first);
      while (i + 1 < rest.size() && rest[i] == '-' && IsAsciiDigit(rest[i + 1])) {
        ++i;
        n.dashed.push_back(*NumberAt(rest, i));
      }
    }
  }
  // A floor anywhere after: "15階", "15F", "B1", "地下1階", "地階".
  for (size_t k = 0; k < rest.size(); ++k) {
    if (StartsWith(rest.substr(k), kChikai)) n.basement = true;
    size_t j = k;
    const bool below =
        StartsWith(rest.substr(k), kChika) || (rest[k] == 'B' && k + 1 < rest.size() && IsAsciiDigit(rest[k + 1]));
    if (below) j += rest[k] == 'B' ? 1 : kChika.size();
    if (j >= rest.size() || !IsAsciiDigit(rest[j]) || (j > 0 && IsAsciiDigit(rest[j - 1]) && !below)) continue;
    size_t e = j;
    auto v = NumberAt(rest, e);
    if (StartsWith(rest.substr(e), kKai) || (e < rest.size() && rest[e] == 'F') || rest[k] == 'B') {
      n.floor = below ? -*v : *v;
      if (below) n.basement = true;
    }
  }
  return n;
}

// ---- What a town's parenthesised part asks of the address ----

struct Range {
  int from = 0, to = INT_MAX;
};

struct Condition {
  enum class Kind { Plain, Other, Floor, Basement, Numbers, Names, Unknown };
  Kind kind = Kind::Plain;
  bool negate = false;
  int floor = 0;
  std::vector<Range> chome, banchi;
  bool anyChome = false, anyBanchi = false;
  std::vector<std::string> names;
};

// One item of a list: "1~19", "3", "123以上", with its unit or the list's.
bool ParseItem(std::string_view item, std::string_view unit, Condition& c) {
  static const std::string kChome = "丁目", kBanchi = "番地", kBan = "番", kAbove = "以上", kBelow = "以下",
                           kAfter = "以降";
  std::string_view u = unit;
  auto cut = [&](const std::string& suffix) {
    if (item.size() >= suffix.size() && item.substr(item.size() - suffix.size()) == suffix) {
      item.remove_suffix(suffix.size());
      return true;
    }
    return false;
  };
  if (cut(kChome))
    u = "c";
  else if (cut(kBanchi) || cut(kBan))
    u = "b";
  Range r;
  bool above = cut(kAbove) || cut(kAfter), below = !above && cut(kBelow);
  size_t i = 0;
  auto from = NumberAt(item, i);
  if (!from) {
    if (item.empty() && u == "c") return c.anyChome = true;
    if (item.empty() && u == "b") return c.anyBanchi = true;
    return false;
  }
  r.from = *from;
  r.to = *from;
  if (i < item.size() && item[i] == '~') {
    ++i;
    auto to = NumberAt(item, i);
    if (!to) return false;
    r.to = *to;
  } else if (i < item.size() && item[i] == '-') {
    ++i;  // "2-4番地": the sub-number of 2
    if (!NumberAt(item, i)) return false;
  }
  if (i != item.size()) return false;
  if (above) r.to = INT_MAX;
  if (below) r.from = 0;
  if (u == "c") {
    c.chome.push_back(r);
  } else if (u == "b") {
    c.banchi.push_back(r);
  } else {
    return false;
  }
  return true;
}

Condition ParseCondition(std::string inner) {
  static const std::string kExcept = "を除く", kOther = "その他", kFloor = "階", kBasement = "地階・階層不明",
                           kComma = "、", kChome = "丁目", kBanchi = "番地", kBan = "番";
  Condition c;
  if (inner.empty()) return c;
  if (inner.size() > kExcept.size() && inner.substr(inner.size() - kExcept.size()) == kExcept) {
    c.negate = true;
    inner.resize(inner.size() - kExcept.size());
  }
  if (inner == kOther) {
    c.kind = Condition::Kind::Other;
    return c;
  }
  if (inner == kBasement) {
    c.kind = Condition::Kind::Basement;
    return c;
  }
  if (inner.size() > kFloor.size() && inner.substr(inner.size() - kFloor.size()) == kFloor) {
    size_t i = 0;
    auto floor = NumberAt(inner, i);
    if (floor && i + kFloor.size() == inner.size()) {
      c.kind = Condition::Kind::Floor;
      c.floor = *floor;
      return c;
    }
  }
  std::vector<std::string> items;
  for (size_t start = 0;;) {
    const size_t comma = inner.find(kComma, start);
    items.push_back(inner.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (comma == std::string::npos) break;
    start = comma + kComma.size();
  }
  const std::string& last = items.back();
  auto endsWith = [&](const std::string& s) {
    return last.size() >= s.size() && last.substr(last.size() - s.size()) == s;
  };
  const std::string unit = endsWith(kChome) ? "c" : endsWith(kBanchi) || endsWith(kBan) ? "b" : "";
  bool numbers = true;
  for (const auto& item : items) numbers = numbers && ParseItem(item, unit, c);
  if (numbers) {
    c.kind = Condition::Kind::Numbers;
    return c;
  }
  // Names of the parts of the town ("（西町、東町）"): digits-free items only.
  c.chome.clear();
  c.banchi.clear();
  c.anyChome = c.anyBanchi = false;
  for (const auto& item : items) {
    if (item.empty() || std::any_of(item.begin(), item.end(), IsAsciiDigit) || item.find("・") != std::string::npos) {
      c.kind = Condition::Kind::Unknown;
      return c;
    }
    c.names.push_back(item);
  }
  c.kind = Condition::Kind::Names;
  return c;
}

enum class Fit { Yes, No, Unknown };

bool InAny(const std::vector<Range>& ranges, int v) {
  return std::any_of(ranges.begin(), ranges.end(), [&](const Range& r) { return v >= r.from && v <= r.to; });
}

Fit Evaluate(const Condition& c, const Numbers& n, std::string_view rest) {
  Fit fit = Fit::Unknown;
  switch (c.kind) {
    case Condition::Kind::Plain:
    case Condition::Kind::Other:
    case Condition::Kind::Unknown: return Fit::Unknown;
    case Condition::Kind::Floor: return n.floor && *n.floor == c.floor ? Fit::Yes : Fit::No;
    case Condition::Kind::Basement: return !n.floor || n.basement ? Fit::Yes : Fit::No;
    case Condition::Kind::Names:
      fit = std::any_of(c.names.begin(), c.names.end(), [&](const std::string& name) { return StartsWith(rest, name); })
                ? Fit::Yes
                : Fit::No;
      break;
    case Condition::Kind::Numbers: {
      const bool wantsChome = !c.chome.empty() || c.anyChome;
      const bool wantsBanchi = !c.banchi.empty() || c.anyBanchi;
      if (wantsChome) {
        if (n.chome < 0) return Fit::Unknown;
        fit = c.anyChome || InAny(c.chome, n.chome) ? Fit::Yes : Fit::No;
      }
      if (wantsBanchi && fit != Fit::No) {
        if (n.banchi < 0) return Fit::Unknown;
        fit = c.anyBanchi || InAny(c.banchi, n.banchi) ? Fit::Yes : Fit::No;
      }
      break;
    }
  }
  if (c.negate && fit != Fit::Unknown) fit = fit == Fit::Yes ? Fit::No : Fit::Yes;
  return fit;
}

// Whether a town's parenthesised part names a floor of its building.
bool IsFloor(const std::string& inner) {
  const Condition c = ParseCondition(inner);
  return c.kind == Condition::Kind::Floor || c.kind == Condition::Kind::Basement;
}

// Splits a listed name into its head and its parenthesised part, folded.
void SplitName(const std::string& name, std::string& head, std::string& inner) {
  static const std::string kOpen = "（", kClose = "）";
  const size_t open = name.find(kOpen);
  head = FoldName(name.substr(0, open));
  inner.clear();
  if (open == std::string::npos) return;
  std::string in = name.substr(open + kOpen.size());
  if (in.size() >= kClose.size() && in.substr(in.size() - kClose.size()) == kClose)
    in.resize(in.size() - kClose.size());
  inner = FoldName(in);
}

}  // namespace

std::string CityLocalName(const std::string& city) {
  // "<district>郡<town or village>". A city that merely begins with 郡
  // (郡山市, 郡上市) has none.
  static const std::string kGun = "郡";
  auto gun = city.find(kGun);
  if (gun == std::string::npos || gun == 0 || gun + kGun.size() >= city.size()) return city;
  return city.substr(gun + kGun.size());
}

// Reads every prefecture, city and town of a file into a gazetteer, with
// the readings the file has.
class Gazetteer::Loader {
 public:
  Loader(Gazetteer& g, DicFile& dic) : g_(g), dic_(dic) {}
  void ReadReadings();
  Result<bool> AddPrefecture(const PrefectureRow& pref);

 private:
  Result<bool> AddCity(const CityRecord& record, int64_t cityPos);
  Result<bool> AddPlace(const TownHead& head, int64_t pos, City& city, uint16_t cityIndex);
  std::string ReadingOf(int64_t pos);

  Gazetteer& g_;
  DicFile& dic_;
  platform::SjisDecoder decoder_;
  std::string sjis_;
  std::vector<std::pair<int64_t, std::string>> readings_;  // by position, Shift-JIS
  // Cities of a damaged file may share one chain: each record is read once.
  WalkBudget budget_;
};

// Readings that cannot be read, or out of the order they are looked up
// in, are set aside: once they failed the whole load, so that not even a
// name written in kanji was found.
void Gazetteer::Loader::ReadReadings() {
  auto table = ReadingTable::Open(dic_);
  Result<bool> read =
      table ? table->ForEach([&](int64_t pos, std::string_view sjis) { readings_.emplace_back(pos, sjis); })
            : Result<bool>(table.error());
  const bool ordered = std::is_sorted(readings_.begin(), readings_.end(),
                                      [](const auto& a, const auto& b) { return a.first < b.first; });
  if (read && ordered) return;
  g_.setAside_ = read ? std::string("辞書の読み仮名が並んでいません。") : read.error().description;
  readings_.clear();
}

std::string Gazetteer::Loader::ReadingOf(int64_t pos) {
  auto it = std::lower_bound(readings_.begin(), readings_.end(), pos,
                             [](const auto& entry, int64_t p) { return entry.first < p; });
  if (it == readings_.end() || it->first != pos) return std::string();
  std::string utf8;
  decoder_.Append(utf8, it->second);
  return FoldReading(utf8);
}

Result<bool> Gazetteer::Loader::AddPrefecture(const PrefectureRow& pref) {
  g_.prefs_.push_back({pref.Name, FoldName(pref.Name)});
  WalkError failure;
  auto walked = ForEachCity(dic_, pref.CityListPos, pref.PrefNo, [&](const CityRecord& record, int64_t cityPos) {
    if (auto added = AddCity(record, cityPos); !added) return failure.Stop(added.error());
    return g_.cities_.size() < UINT16_MAX;
  });
  if (!walked) return walked.error();
  if (failure) return failure.error();
  return true;
}

Result<bool> Gazetteer::Loader::AddCity(const CityRecord& record, int64_t cityPos) {
  auto name = ExpandText(record.Name, record.NameLength);
  if (!name) return name.error();
  City city;
  city.pref = static_cast<uint8_t>(g_.prefs_.size() - 1);
  decoder_.Append(city.name, *name);
  city.fold = FoldName(city.name);
  city.local = CityLocalName(city.fold);
  if (city.local == city.fold) city.local.clear();
  city.reading = ReadingOf(cityPos);
  const auto cityIndex = static_cast<uint16_t>(g_.cities_.size());
  WalkError failure;
  auto towns = ForEachTown(
      dic_, record.TownListPos, record.CityNo,
      [&](const TownHead& head, int64_t pos) {
        if (auto added = AddPlace(head, pos, city, cityIndex); !added) return failure.Stop(added.error());
        return true;
      },
      &budget_);
  failure.Note(towns);
  g_.cities_.push_back(std::move(city));
  if (failure) return failure.error();
  return true;
}

Result<bool> Gazetteer::Loader::AddPlace(const TownHead& head, int64_t pos, City& city, uint16_t cityIndex) {
  auto bytes = dic_.Peek(pos + kTownFixed, kTownNameField);
  if (!bytes) return bytes.error();
  const std::string_view field(reinterpret_cast<const char*>(*bytes), kTownNameField);
  sjis_.clear();
  if (auto expanded = AppendExpandedText(sjis_, field, head.NameLength); !expanded) return expanded.error();
  if (g_.places_.size() >= kMaxPlaces) return Error{"町域が多すぎます。"};
  Place p;
  p.codes = head;
  p.city = cityIndex;
  p.office = IsOfficeName(field, head.NameLength);
  decoder_.Append(p.name, sjis_);
  SplitName(p.name, p.head, p.inner);
  p.floor = IsFloor(p.inner);
  p.reading = ReadingOf(pos);
  if (!p.office) city.places.push_back(static_cast<uint32_t>(g_.places_.size()));
  g_.places_.push_back(std::move(p));
  return true;
}

Result<Gazetteer> Gazetteer::Load(const std::string& dictionaryPath) {
  auto opened = DicFile::OpenWhole(dictionaryPath);
  if (!opened) return opened.error();
  DicFile& dic = **opened;
  auto loaded = LoadDictionary(dic);
  if (!loaded) return loaded.error();
  if (loaded->versionMismatch) return Error{std::string(kVersionMessage)};
  Gazetteer g;
  Loader loader(g, dic);
  loader.ReadReadings();
  for (const PrefectureRow& pref : loaded->table.rows) {
    if (auto added = loader.AddPrefecture(pref); !added) return added.error();
  }
  return g;
}

CodeMatch Gazetteer::MatchOf(const Place& p) const {
  const City& city = cities_[p.city];
  return {CurrentCodeText(p.codes), FormerCodeText(p.codes), prefs_[city.pref].name, city.name, p.name, p.office};
}

std::vector<CodeMatch> Gazetteer::Find(std::string_view text, size_t limit) const {
  const std::string q = FoldName(text), key = ReadingKey(text);
  if (q.empty()) return {};
  std::vector<std::pair<int, uint32_t>> scored;
  for (uint32_t i = 0; i < places_.size(); ++i) {
    const Place& p = places_[i];
    if (p.name.empty()) continue;
    const City& city = cities_[p.city];
    int score = -1;
    const std::string whole = p.head + p.inner;
    if (p.head == q) {
      score = 0;
    } else if (StartsWith(p.head, q)) {
      score = 1;
    } else if (q.size() > city.fold.size() && StartsWith(q, city.fold) &&
               StartsWith(p.head, q.substr(city.fold.size()))) {
      score = 2;  // the city and the town together
    } else if (!city.local.empty() && q.size() > city.local.size() && StartsWith(q, city.local) &&
               StartsWith(p.head, q.substr(city.local.size()))) {
      score = 2;
    } else if (whole.find(q) != std::string::npos) {
      score = 3;
    } else if (key.size() >= 6 && !p.reading.empty()) {  // two kana at least
      if (p.reading == key)
        score = 4;
      else if (StartsWith(p.reading, key))
        score = 5;
      else if (p.reading.find(key) != std::string::npos)
        score = 6;
    }
    if (score < 0) continue;
    scored.emplace_back(score + (p.office ? 10 : 0), i);
  }
  const size_t n = std::min(limit, scored.size());
  std::partial_sort(scored.begin(), scored.begin() + static_cast<std::ptrdiff_t>(n), scored.end());
  std::vector<CodeMatch> out;
  for (size_t k = 0; k < n; ++k) out.push_back(MatchOf(places_[scored[k].second]));
  return out;
}

// ---- Resolving a written address, step by step ----

namespace {

// No address runs this long; a longer text (a whole file on one line) is
// answered at once rather than read through.
constexpr size_t kMaxAddressCharacters = 1000;

// Whether the UTF-8 text has more than most characters, reading no further.
bool LongerThan(std::string_view utf8, size_t most) {
  if (utf8.size() <= most) return false;
  size_t characters = 0;
  for (char c : utf8) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80 && ++characters > most) return true;
  }
  return false;
}

// The address folded, without a code written before it ("〒100-0001
// 東京都...").
std::string NormalisedAddress(std::string_view address) {
  std::string a = FoldName(address);
  static const std::string kMark = "〒";
  if (StartsWith(a, kMark)) a.erase(0, kMark.size());
  size_t skip = 0;
  while (skip < a.size() && (IsAsciiDigit(a[skip]) || a[skip] == '-')) ++skip;
  if (skip >= 7) a.erase(0, skip);
  return a;
}

struct PrefHit {
  int pref = -1;      // -1: none written
  size_t length = 0;  // of its name as written
};

struct CityHit {
  uint16_t city;
  size_t length;  // of its name as written
};

// The longest town name that the rest of the address begins with, in one
// city ("" when none).
struct TownHit {
  uint16_t city;
  size_t cityLength;
  std::string_view head;  // folded, the place's own
  std::string_view rest;  // after the head, in the folded address
};

// The numbers of the address as the town's records read them: "1-2" is
// 丁目 and 番地 where a record names 丁目, else 番地.
Numbers NumbersAgainst(std::string_view rest, const std::vector<Condition>& conditions) {
  const bool mentionsChome = std::any_of(conditions.begin(), conditions.end(),
                                         [](const Condition& c) { return !c.chome.empty() || c.anyChome; });
  Numbers n = ReadNumbers(rest);
  if (!n.dashed.empty()) {
    if (mentionsChome) {
      n.chome = n.dashed[0];
      if (n.dashed.size() > 1) n.banchi = n.dashed[1];
    } else {
      n.banchi = n.dashed[0];
    }
  }
  return n;
}

}  // namespace

class Gazetteer::Resolver {
 public:
  explicit Resolver(const Gazetteer& g) : g_(g) {}
  PrefHit FindPrefecture(std::string_view a) const;
  std::vector<CityHit> FindCities(std::string_view afterPref, int pref) const;
  std::vector<TownHit> FindTowns(std::string_view afterPref, const std::vector<CityHit>& cities) const;
  // The records of the towns found that the rest of the address fits; the
  // answer gets the parts of the address recognised.
  std::vector<const Place*> FindRecords(const std::vector<TownHit>& towns, AddressAnswer& answer) const;
  void Decide(const std::vector<const Place*>& candidates, const std::vector<TownHit>& towns,
              AddressAnswer& answer) const;

 private:
  std::string WithBuilding(const City& city, std::string_view head, std::string_view rest) const;
  static std::vector<const Place*> Fitting(const std::vector<const Place*>& named, std::string_view rest);

  const Gazetteer& g_;
};

AddressAnswer Gazetteer::Resolve(std::string_view address) const {
  const Resolver r(*this);
  AddressAnswer answer;
  if (LongerThan(address, kMaxAddressCharacters)) {
    answer.note = "住所が " + std::to_string(kMaxAddressCharacters) + " 文字を超えています。";
    return answer;
  }
  const std::string a = NormalisedAddress(address);
  const PrefHit pref = r.FindPrefecture(a);
  const std::string_view afterPref = std::string_view(a).substr(pref.length);
  const std::vector<CityHit> cities = r.FindCities(afterPref, pref.pref);
  if (cities.empty()) {
    answer.note = "市区町村が分かりません。";
    if (pref.pref >= 0) answer.pref = prefs_[static_cast<size_t>(pref.pref)].name;
    return answer;
  }
  const std::vector<TownHit> towns = r.FindTowns(afterPref, cities);
  const std::vector<const Place*> candidates = r.FindRecords(towns, answer);
  r.Decide(candidates, towns, answer);
  return answer;
}

// The prefecture, when it is written.
PrefHit Gazetteer::Resolver::FindPrefecture(std::string_view a) const {
  for (size_t p = 0; p < g_.prefs_.size(); ++p) {
    if (StartsWith(a, g_.prefs_[p].fold)) return {static_cast<int>(p), g_.prefs_[p].fold.size()};
  }
  return {};
}

// Cities written there: whole, without their district, or a designated
// city's name without its ward ("横浜市" for every ward).
std::vector<CityHit> Gazetteer::Resolver::FindCities(std::string_view afterPref, int pref) const {
  static const std::string kShi = "市";
  std::vector<CityHit> hits;
  for (uint16_t c = 0; c < g_.cities_.size(); ++c) {
    const City& city = g_.cities_[c];
    if (pref >= 0 && city.pref != pref) continue;
    size_t length = 0;
    if (!city.fold.empty() && StartsWith(afterPref, city.fold)) {
      length = city.fold.size();
    } else if (!city.local.empty() && StartsWith(afterPref, city.local)) {
      length = city.local.size();
    } else if (const size_t shi = city.fold.find(kShi);
               shi != std::string::npos && shi + kShi.size() < city.fold.size() &&
               StartsWith(afterPref, std::string_view(city.fold).substr(0, shi + kShi.size()))) {
      length = shi + kShi.size();
    }
    if (length > 0) hits.push_back({c, length});
  }
  return hits;
}

// The longest town name that the rest begins with, in each city; the
// cities where city and town together run longest.
std::vector<TownHit> Gazetteer::Resolver::FindTowns(std::string_view afterPref,
                                                    const std::vector<CityHit>& cities) const {
  static const std::string kOaza = "大字", kAza = "字";
  std::vector<TownHit> best;
  size_t bestLength = 0;
  for (const CityHit& hit : cities) {
    std::string_view rest = afterPref.substr(hit.length);
    if (StartsWith(rest, kOaza))
      rest.remove_prefix(kOaza.size());
    else if (StartsWith(rest, kAza))
      rest.remove_prefix(kAza.size());
    std::string_view head;
    for (uint32_t i : g_.cities_[hit.city].places) {
      const Place& p = g_.places_[i];
      if (p.head.size() > head.size() && StartsWith(rest, p.head)) head = p.head;
    }
    const size_t length = hit.length + head.size();
    if (length > bestLength) best.clear();
    if (length >= bestLength) {
      bestLength = length;
      best.push_back({hit.city, hit.length, head, rest.substr(head.size())});
    }
  }
  return best;
}

// The town's head with a building that has codes of its own (its records
// are floors), named after the block ("大手町1-3-1 JAビル15階").
std::string Gazetteer::Resolver::WithBuilding(const City& city, std::string_view head, std::string_view rest) const {
  if (head.empty()) return std::string();
  std::string_view building;
  for (uint32_t i : city.places) {
    const Place& p = g_.places_[i];
    if (p.head.size() > head.size() && StartsWith(p.head, head) && p.floor) {
      const std::string_view part = std::string_view(p.head).substr(head.size());
      if (part.size() > building.size() && rest.find(part) != std::string_view::npos) building = part;
    }
  }
  return std::string(head) + std::string(building);
}

// What the rest of the address says of a town's records: floors, 丁目 and
// 番地, the names of its parts. Records it fits come first, then those it
// cannot tell; the town's plain record only when nothing fits.
std::vector<const Gazetteer::Place*> Gazetteer::Resolver::Fitting(const std::vector<const Place*>& named,
                                                                  std::string_view rest) {
  std::vector<Condition> conditions;
  for (const Place* p : named) conditions.push_back(ParseCondition(p->inner));
  const Numbers n = NumbersAgainst(rest, conditions);
  std::vector<const Place*> yes, unknown, fallback;
  for (size_t k = 0; k < named.size(); ++k) {
    const Condition& c = conditions[k];
    if (c.kind == Condition::Kind::Plain || c.kind == Condition::Kind::Other) {
      fallback.push_back(named[k]);
      continue;
    }
    const Fit fit = Evaluate(c, n, rest);
    if (fit == Fit::Yes) yes.push_back(named[k]);
    if (fit == Fit::Unknown) unknown.push_back(named[k]);
  }
  std::vector<const Place*> chosen = yes;
  if (!yes.empty()) {
    chosen.insert(chosen.end(), unknown.begin(), unknown.end());
  } else {
    chosen = unknown;
    chosen.insert(chosen.end(), fallback.begin(), fallback.end());
  }
  // Numbers or names that no record of the town lists: every record of it
  // stays a candidate (one code for the town is still an answer).
  if (chosen.empty()) chosen = named;
  return chosen;
}

std::vector<const Gazetteer::Place*> Gazetteer::Resolver::FindRecords(const std::vector<TownHit>& towns,
                                                                      AddressAnswer& answer) const {
  std::vector<const Place*> candidates;
  std::set<std::string> names;
  for (const TownHit& hit : towns) {
    const City& city = g_.cities_[hit.city];
    const std::string head = WithBuilding(city, hit.head, hit.rest);
    std::vector<const Place*> named;
    for (uint32_t i : city.places) {
      if (g_.places_[i].head == head) named.push_back(&g_.places_[i]);
    }
    const std::vector<const Place*> chosen = Fitting(named, hit.rest);
    candidates.insert(candidates.end(), chosen.begin(), chosen.end());
    answer.pref = g_.prefs_[city.pref].name;
    answer.city = city.name;
    for (const Place* p : named) names.insert(p->name.substr(0, p->name.find("（")));
  }
  if (names.size() == 1) answer.town = *names.begin();
  return candidates;
}

// Single, Several or None, by the codes of the candidates.
void Gazetteer::Resolver::Decide(const std::vector<const Place*>& candidates, const std::vector<TownHit>& towns,
                                 AddressAnswer& answer) const {
  std::set<std::string> codes;
  std::set<uint16_t> citiesSeen;
  for (const Place* p : candidates) {
    codes.insert(CurrentCodeText(p->codes));
    citiesSeen.insert(p->city);
  }
  if (citiesSeen.size() > 1) {
    answer.pref.clear();
    answer.city.clear();
  }
  for (const Place* p : candidates) answer.candidates.push_back(g_.MatchOf(*p));
  if (codes.empty()) {
    answer.status = AddressAnswer::Status::None;
    answer.note = "番地などに当たる町域がありません。";
  } else if (codes.size() == 1) {
    answer.status = AddressAnswer::Status::Single;
    answer.candidates.resize(1);
    if (answer.town.empty() && !towns.empty() && !towns.front().rest.empty()) {
      answer.note = "町域が辞書にないため、市区町村の「以下に掲載がない場合」の番号です。";
    }
  } else {
    answer.status = AddressAnswer::Status::Several;
    answer.note =
        citiesSeen.size() > 1 ? "同じ名前の市区町村がほかにもあります。" : "丁目・番地などで郵便番号が分かれます。";
  }
}

}  // namespace kovant::dict
