#include "dict/address.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <set>
#include <tuple>
#include <utility>

#include "dict/chain.h"
#include "dict/codec.h"
#include "dict/fold.h"
#include "dict/readingsection.h"
#include "dict/variants.h"
#include "platform/sjis.h"

namespace kovant::dict {
namespace {

constexpr size_t kMaxPlaces = 2000000;  // far above the country's 147,000

// Names and addresses as compared: FoldName's forms, then one form of
// each variant kanji.
std::string Fold(std::string_view s) { return FoldVariants(FoldName(s)); }

bool StartsWith(std::string_view s, std::string_view head) { return s.substr(0, head.size()) == head; }

bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

// ---- The numbers of an address after its town ----

struct Numbers {
  std::vector<int> dashed;  // "1-2-3" as written
  int chome = -1, banchi = -1, go = -1;
  std::optional<int> floor;  // negative: below ground
  bool basement = false;
  bool oaza = false;      // 大字 written before the town
  bool twoKinds = false;  // the town has 丁目 and also 大字 or 番地: "1-2" tells neither
  std::string street;     // Kyoto: the street and directions before the town (StreetKey)
  // The block's numbers in order ("1丁目1番12号" and "1-1-12" alike).
  std::vector<int> Written() const {
    if (!dashed.empty()) return dashed;
    std::vector<int> w;
    for (int v : {chome, banchi, go}) {
      if (v < 0) break;
      w.push_back(v);
    }
    return w;
  }
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

// The number after a 番地 ("12番地3", "12番3", "12-3") at s[i], if any.
std::optional<int> NumberAfterBan(std::string_view s, size_t& i) {
  for (std::string_view mark : {"番地", "番", "-"}) {
    if (StartsWith(s.substr(i), mark)) {
      i += mark.size();
      break;
    }
  }
  return NumberAt(s, i);
}

Numbers ReadNumbers(std::string_view rest) {
  static const std::string kChome = "丁目", kCho = "丁", kBanchi = "番地", kBan = "番", kGo = "号", kKai = "階",
                           kChika = "地下", kChikai = "地階", kChiwari = "地割";
  Numbers n;
  size_t i = 0;
  // The block: "N丁目M番K号", "N丁目M-K", "N-M-K", "N番地M".
  while (i < rest.size() && !IsAsciiDigit(rest[i])) ++i;
  if (auto first = NumberAt(rest, i)) {
    // A 地割 ("第10地割5番地") is read as a 丁目: the level above the 番地.
    if (StartsWith(rest.substr(i), kChome) || StartsWith(rest.substr(i), kCho) ||
        StartsWith(rest.substr(i), kChiwari)) {
      n.chome = *first;
      i += StartsWith(rest.substr(i), kChome) ? kChome.size() : kCho.size();
      if (auto second = NumberAt(rest, i)) {
        n.banchi = *second;
        if (auto third = NumberAfterBan(rest, i)) n.go = *third;
      }
    } else if (StartsWith(rest.substr(i), kBanchi) || StartsWith(rest.substr(i), kBan)) {
      n.banchi = *first;
      if (auto second = NumberAfterBan(rest, i)) n.go = *second;
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
      k = e - 1;  // "地下1階": the 1 is not a floor of its own
    }
  }
  return n;
}

// ---- What a town's parenthesised part asks of the address ----

struct Range {
  int from = 0, to = INT_MAX;
};

struct Condition {
  // Oaza: the town's 大字 ("（大字）"); Streets: Kyoto's streets and
  // directions that lead to it ("（河原町通三条下る、…）").
  enum class Kind { Plain, Other, Floor, Basement, Numbers, Names, Oaza, Streets, Unknown };
  Kind kind = Kind::Plain;
  bool negate = false;
  bool truncated = false;  // the list ends in "…": the dictionary cut it short
  int floor = 0;
  std::vector<Range> chome, banchi;
  std::vector<std::vector<int>> blocks;  // "1-1-12", "292-4番地"
  // 番 and 号 inside one 丁目 ("2丁目1番1~23号", "5丁目1番"): each level
  // that the item names; a level not named is any.
  struct Scoped {
    Range chome;
    std::optional<Range> ban, go;
  };
  std::vector<Scoped> scoped;
  // A run of 番地 with their sub-numbers ("5133番地2~5187番地") or of 地割
  // with their 番地 ("第2地割「70~136」~第4地割「3~11」"): from the first
  // major number to the last, the minor numbers bounded at the ends.
  struct Span {
    bool chiwari = false;
    int first = 0, firstLow = 0, firstHigh = INT_MAX;
    int last = 0, lastLow = 0, lastHigh = INT_MAX;
    bool firstUnsure = false, lastUnsure = false;  // "…を除く" there: not read
  };
  std::vector<Span> spans;
  bool anyChome = false, anyBanchi = false;
  std::vector<std::string> names;
  std::vector<std::string> parts;  // named parts of a number list ("下平")
};

// A Kyoto street as compared: "上ル" and "上る", "東入ル" and "東入" alike.
std::string StreetKey(std::string_view street) {
  std::string s(street);
  for (const auto& [from, to] : std::initializer_list<std::pair<std::string_view, std::string_view>>{{"上ル", "上る"},
                                                                                                     {"下ル", "下る"},
                                                                                                     {"上がる", "上る"},
                                                                                                     {"下がる", "下る"},
                                                                                                     {"入ル", "入"},
                                                                                                     {"入る", "入"}}) {
    for (size_t at; (at = s.find(from)) != std::string::npos;) s.replace(at, from.size(), to);
  }
  return s;
}

bool CutSuffix(std::string_view& s, std::string_view suffix) {
  if (s.size() < suffix.size() || s.substr(s.size() - suffix.size()) != suffix) return false;
  s.remove_suffix(suffix.size());
  return true;
}

// "以上" and "以降" (1), "以下" (-1) cut from the item's end; 0 when none.
int CutBound(std::string_view& item) {
  if (CutSuffix(item, "以上") || CutSuffix(item, "以降")) return 1;
  return CutSuffix(item, "以下") ? -1 : 0;
}

// One item of a list: "1~19", "3", "123以上", with its unit or the list's.
bool ParseItem(std::string_view item, std::string_view unit, Condition& c) {
  static const std::string kChome = "丁目", kBanchi = "番地", kBan = "番", kAbove = "以上", kBelow = "以下",
                           kAfter = "以降";
  std::string_view u = unit;
  auto cut = [&](const std::string& suffix) { return CutSuffix(item, suffix); };
  // "427番地以降": the bound after the unit, or before it.
  int bound = CutBound(item);
  if (cut(kChome))
    u = "c";
  else if (cut(kBanchi) || cut(kBan))
    u = "b";
  Range r;
  if (bound == 0) bound = CutBound(item);
  const bool above = bound > 0, below = bound < 0;
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
    // A block ("292-4番地", "1-1-12"): these numbers and no others.
    std::vector<int> block{*from};
    while (i + 1 < item.size() && item[i] == '-' && IsAsciiDigit(item[i + 1])) {
      ++i;
      block.push_back(*NumberAt(item, i));
    }
    if (i != item.size() || above || below) return false;
    c.blocks.push_back(std::move(block));
    return true;
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

// The items of a list: "、" and "及び" ("897番地及び中島505~518番地") join them.
std::vector<std::string> ListItems(std::string inner) {
  static const std::string kComma = "、", kAnd = "及び";
  for (size_t at; (at = inner.find(kAnd)) != std::string::npos;) inner.replace(at, kAnd.size(), kComma);
  std::vector<std::string> items;
  // "「57番地125、176を除く」": a comma inside brackets is the bracket's.
  auto next = [&](size_t from) {
    for (size_t at = inner.find(kComma, from); at != std::string::npos; at = inner.find(kComma, at + 1)) {
      const std::string_view before = std::string_view(inner).substr(0, at);
      size_t open = 0, close = 0;
      for (size_t k = before.find("「"); k != std::string_view::npos; k = before.find("「", k + 1)) ++open;
      for (size_t k = before.find("」"); k != std::string_view::npos; k = before.find("」", k + 1)) ++close;
      if (open == close) return at;
    }
    return std::string::npos;
  };
  for (size_t start = 0;;) {
    const size_t comma = next(start);
    items.push_back(inner.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (comma == std::string::npos) break;
    start = comma + kComma.size();
  }
  return items;
}

// A range at s[i] ("1", "1~23"); i moves past it.
std::optional<Range> RangeAt(std::string_view s, size_t& i) {
  auto from = NumberAt(s, i);
  if (!from) return std::nullopt;
  Range r{*from, *from};
  if (i + 1 < s.size() && s[i] == '~' && IsAsciiDigit(s[i + 1])) {
    ++i;
    r.to = *NumberAt(s, i);
  }
  return r;
}

// An item that names 番 or 号 inside a 丁目 ("2丁目1番1~23号", "5丁目1番"),
// or a 番 of the 丁目 named before it in the list ("、2番"); false when
// it is no such item. chome: the last 丁目 named.
bool ParseScoped(std::string_view item, std::optional<Range>& chome, Condition& c) {
  static const std::string_view kChome = "丁目", kBanchi = "番地", kBan = "番", kGo = "号";
  size_t i = 0;
  auto first = RangeAt(item, i);
  if (!first) return false;
  Condition::Scoped sc;
  if (StartsWith(item.substr(i), kChome)) {
    i += kChome.size();
    if (i == item.size()) return false;  // a 丁目 alone: the plain list reads it
    sc.chome = *first;
    first = RangeAt(item, i);
    if (!first) return false;
  } else if (!chome || item.find(kChome) != std::string_view::npos) {
    return false;
  } else {
    sc.chome = *chome;
  }
  if (StartsWith(item.substr(i), kBanchi)) {
    i += kBanchi.size();
  } else if (StartsWith(item.substr(i), kBan)) {
    i += kBan.size();
  } else {
    return false;
  }
  sc.ban = *first;
  if (i < item.size()) {
    auto go = RangeAt(item, i);
    if (!go || item.substr(i) != kGo) return false;
    sc.go = *go;
  }
  chome = sc.chome;
  c.scoped.push_back(sc);
  return true;
}

// One end of a span: "5133番地2", "4761-3", "5187番地", "第2地割「70~136」".
struct SpanEnd {
  int major = -1, low = 0, high = INT_MAX;
  bool minor = false;   // a sub-number written
  bool unsure = false;  // a bracket not read ("「57番地125、176を除く」")
};

std::optional<SpanEnd> SpanEndAt(std::string_view item, size_t& i, bool& chiwari) {
  static const std::string_view kDai = "第", kChiwari = "地割", kBanchi = "番地", kBan = "番", kOpen = "「",
                                kClose = "」";
  SpanEnd e;
  if (StartsWith(item.substr(i), kDai)) i += kDai.size();
  auto major = NumberAt(item, i);
  if (!major) return std::nullopt;
  e.major = *major;
  if (StartsWith(item.substr(i), kChiwari)) {
    chiwari = true;
    i += kChiwari.size();
    if (StartsWith(item.substr(i), kOpen)) {
      const size_t close = item.find(kClose, i);
      if (close == std::string_view::npos) return std::nullopt;
      const std::string_view inside = item.substr(i + kOpen.size(), close - i - kOpen.size());
      size_t k = 0;
      auto range = RangeAt(inside, k);
      if (range && k == inside.size()) {
        e.low = range->from;
        e.high = range->to;
      } else {
        e.unsure = true;
      }
      i = close + kClose.size();
    }
    return e;
  }
  for (std::string_view mark : {kBanchi, kBan, std::string_view("-")}) {
    if (!StartsWith(item.substr(i), mark)) continue;
    size_t k = i + mark.size();
    if (auto minor = NumberAt(item, k)) {
      e.low = e.high = *minor;
      e.minor = true;
      i = k;
    } else if (mark != "-") {
      i = k;
    }
    break;
  }
  return e;
}

// "5133番地2~5187番地", "4747~4761-3番地", "第2地割「70~136」~第4地割「3~11」",
// "1番地~2061番地": a span; false when the item is none.
bool ParseSpan(std::string_view item, Condition& c) {
  size_t i = 0;
  bool chiwari = false;
  auto first = SpanEndAt(item, i, chiwari);
  if (!first || i >= item.size() || item[i] != '~') return false;
  ++i;
  auto last = SpanEndAt(item, i, chiwari);
  if (!last) return false;
  for (std::string_view unit : {"番地", "番"}) {
    if (!chiwari && item.substr(i) == unit) i = item.size();
  }
  if (i != item.size() || first->major > last->major) return false;
  Condition::Span span;
  span.chiwari = chiwari;
  span.first = first->major;
  span.last = last->major;
  if (chiwari) {
    span.firstLow = first->low;
    span.firstHigh = first->high;
    span.lastLow = last->low;
    span.lastHigh = last->high;
  } else {
    // "5133番地2~": from its sub-number 2 on; "~4761-3": up to its 3.
    span.firstLow = first->minor ? first->low : 0;
    span.lastHigh = last->minor ? last->low : INT_MAX;
  }
  span.firstUnsure = first->unsure;
  span.lastUnsure = last->unsure;
  c.spans.push_back(span);
  return true;
}

// An item without the name Japan Post gives its part after the numbers
// ("1~426番地川東" -> "1~426番地"), and 地割 written as 丁目 are
// ("第9地割~第11地割" -> "9~11丁目").
std::string PlainItem(std::string item) {
  static const std::string kDai = "第", kChiwari = "地割", kChome = "丁目";
  if (item.find(kChiwari) != std::string::npos && item.find("「") == std::string::npos) {
    for (size_t at; (at = item.find(kDai)) != std::string::npos;) item.erase(at, kDai.size());
    for (size_t at; (at = item.find(kChiwari)) != std::string::npos;) item.erase(at, kChiwari.size());
    return item + kChome;
  }
  if (item.empty() || !IsAsciiDigit(item[0])) return item;
  static const std::string_view kEnds[] = {"丁目", "番地", "番", "号", "以上", "以下", "以降"};
  for (size_t end = item.size(); end > 0;) {
    const std::string_view head(item.data(), end);
    if (IsAsciiDigit(head.back()) || head.back() == '~' ||
        std::any_of(std::begin(kEnds), std::end(kEnds), [&](std::string_view e) {
          return head.size() >= e.size() && head.substr(head.size() - e.size()) == e;
        })) {
      return item.substr(0, end);
    }
    --end;
    while (end > 0 && (static_cast<unsigned char>(item[end]) & 0xC0) == 0x80) --end;
  }
  return item;
}

// A list of 丁目, 番地 and blocks into c; false when it is none.
bool ParseNumberList(const std::vector<std::string>& rawItems, Condition& c) {
  std::vector<std::string> items;
  for (const auto& item : rawItems) items.push_back(PlainItem(item));
  static const std::string kChome = "丁目", kBanchi = "番地", kBan = "番";
  const std::string& last = items.back();
  const bool chome = last.size() >= kChome.size() && last.substr(last.size() - kChome.size()) == kChome;
  // Bare numbers are 番地 ("（1047~1268及び下平）").
  const std::string unit = chome ? "c" : "b";
  bool numbers = true;
  std::optional<Range> scopedChome;
  for (const auto& item : items) {
    if (ParseScoped(item, scopedChome, c) || ParseSpan(item, c)) continue;
    // A named part ("中島505~518番地", "下平") is not read: an address
    // that names it is left undecided.
    if (!item.empty() && !IsAsciiDigit(item[0]) && !StartsWith(item, kChome) && !StartsWith(item, kBanchi) &&
        !StartsWith(item, kBan)) {
      size_t end = 0;
      while (end < item.size() && !IsAsciiDigit(item[end])) ++end;
      c.parts.push_back(item.substr(0, end));
      continue;
    }
    numbers = numbers && ParseItem(item, unit, c);
  }
  return numbers && (!c.chome.empty() || !c.banchi.empty() || !c.blocks.empty() || !c.scoped.empty() ||
                     !c.spans.empty() || c.anyChome || c.anyBanchi);
}

Condition ParseCondition(std::string inner) {
  static const std::string kExcept = "を除く", kOther = "その他", kFloor = "階", kBasement = "地階・階層不明",
                           kComma = "、";
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
  if (inner == "大字") {
    c.kind = Condition::Kind::Oaza;
    return c;
  }
  static const std::string kCut = "…";
  if (inner.size() > kCut.size() && inner.substr(inner.size() - kCut.size()) == kCut) {
    c.truncated = true;
    inner.resize(inner.size() - kCut.size());
    if (inner.size() >= kComma.size() && inner.substr(inner.size() - kComma.size()) == kComma)
      inner.resize(inner.size() - kComma.size());
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
  const std::vector<std::string> items = ListItems(inner);
  // "（大字、番地）": the town's 大字.
  if (std::find(items.begin(), items.end(), "大字") != items.end()) {
    c.kind = Condition::Kind::Oaza;
    return c;
  }
  if (std::all_of(items.begin(), items.end(),
                  [](const std::string& item) { return item.find("通") != std::string::npos; })) {
    c.kind = Condition::Kind::Streets;
    for (const auto& item : items) c.names.push_back(StreetKey(item));
    return c;
  }
  if (ParseNumberList(items, c)) {
    c.kind = Condition::Kind::Numbers;
    return c;
  }
  // Names of the parts of the town ("（西町、東町）"): digits-free items only.
  c.chome.clear();
  c.banchi.clear();
  c.blocks.clear();
  c.scoped.clear();
  c.spans.clear();
  c.parts.clear();
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

// Whether the written block is one of the listed ones: Unknown when it is
// written shorter than one that begins like it.
Fit BlockFit(const std::vector<std::vector<int>>& blocks, const std::vector<int>& written) {
  Fit fit = Fit::No;
  for (const auto& block : blocks) {
    const size_t n = std::min(block.size(), written.size());
    if (!std::equal(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(n), written.begin())) continue;
    if (written.size() >= block.size()) return Fit::Yes;
    fit = Fit::Unknown;
  }
  return fit;
}

// The rest of the address past its block number ("1丁目南8-1" -> "南8-1").
std::string_view PastBlockNumber(std::string_view rest);

// The written 丁目 and 番地 against the record's ranges; final when the
// answer stands whatever else the record names.
struct RangeFit {
  Fit fit;
  bool final;
};

RangeFit ChomeBanchiFit(const Condition& c, const Numbers& n, bool wantsChome, bool wantsBanchi) {
  Fit fit = Fit::No;
  if (wantsChome) {
    // In a town of 丁目 and 番地 alike, "1234番地" is no 丁目.
    if (n.chome < 0) return {n.twoKinds && n.banchi >= 0 && n.dashed.empty() ? Fit::No : Fit::Unknown, true};
    fit = c.anyChome || InAny(c.chome, n.chome) ? Fit::Yes : Fit::No;
  }
  if (wantsBanchi && (fit != Fit::No || !wantsChome)) {
    if (n.banchi < 0) return {Fit::Unknown, true};
    fit = c.anyBanchi || InAny(c.banchi, n.banchi) ? Fit::Yes : Fit::No;
  }
  return {fit, false};
}

// Whether the rest of the address, or what follows its block number, begins
// with a part the record names.
bool NamesAPart(const Condition& c, std::string_view rest) {
  const std::string_view past = PastBlockNumber(rest);
  return std::any_of(c.parts.begin(), c.parts.end(),
                     [&](const std::string& part) { return StartsWith(rest, part) || StartsWith(past, part); });
}

// The written 丁目, 番 and 号 against the items scoped to a 丁目: Unknown
// when a level the item names is not written.
Fit ScopedFit(const Condition& c, const Numbers& n) {
  Fit fit = Fit::No;
  auto in = [](const Range& r, int v) { return v >= r.from && v <= r.to; };
  for (const auto& sc : c.scoped) {
    if (n.chome < 0 || !in(sc.chome, n.chome)) continue;
    if (sc.ban && n.banchi < 0) {
      fit = Fit::Unknown;
      continue;
    }
    if (sc.ban && !in(*sc.ban, n.banchi)) continue;
    if (sc.go && n.go < 0) {
      fit = Fit::Unknown;
      continue;
    }
    if (sc.go && !in(*sc.go, n.go)) continue;
    return Fit::Yes;
  }
  return fit;
}

// The written numbers against one span.
Fit OneSpanFit(const Condition::Span& sp, int major, int minor) {
  if (major < 0) return Fit::Unknown;
  if (major < sp.first || major > sp.last) return Fit::No;
  if ((major == sp.first && sp.firstUnsure) || (major == sp.last && sp.lastUnsure)) return Fit::Unknown;
  int low = 0, high = INT_MAX;
  if (major == sp.first) {
    low = sp.firstLow;
    high = sp.firstHigh;
  }
  if (major == sp.last) {
    low = std::max(low, sp.lastLow);
    high = std::min(high, sp.lastHigh);
  }
  if (low == 0 && high == INT_MAX) return Fit::Yes;
  if (minor < 0) return Fit::Unknown;
  return minor >= low && minor <= high ? Fit::Yes : Fit::No;
}

// The written numbers against the spans.
Fit SpanFit(const Condition& c, const Numbers& n) {
  Fit fit = Fit::No;
  for (const auto& sp : c.spans) {
    const Fit one = OneSpanFit(sp, sp.chiwari ? n.chome : n.banchi, sp.chiwari ? n.banchi : n.go);
    if (one == Fit::Yes) return one;
    if (one == Fit::Unknown) fit = one;
  }
  return fit;
}

Fit NumbersFit(const Condition& c, const Numbers& n, std::string_view rest) {
  Fit scoped = c.scoped.empty() ? Fit::No : ScopedFit(c, n);
  if (scoped == Fit::Yes) return Fit::Yes;
  if (!c.scoped.empty() && n.chome < 0) scoped = Fit::Unknown;
  const Fit span = c.spans.empty() ? Fit::No : SpanFit(c, n);
  if (span == Fit::Yes) return Fit::Yes;
  if (span == Fit::Unknown) scoped = Fit::Unknown;
  if ((!c.scoped.empty() || !c.spans.empty()) && c.chome.empty() && c.banchi.empty() && c.blocks.empty() &&
      !c.anyChome && !c.anyBanchi) {
    return scoped;
  }

  const bool wantsChome = !c.chome.empty() || c.anyChome;
  const bool wantsBanchi = !c.banchi.empty() || c.anyBanchi;
  const Fit block = c.blocks.empty() ? Fit::No : BlockFit(c.blocks, n.Written());
  if (block == Fit::Yes) return Fit::Yes;
  // 大字 written: none of the town's 丁目. 丁目 written: not its 番地.
  if (wantsChome && n.oaza) return Fit::No;
  if (wantsBanchi && !wantsChome && c.anyBanchi && n.twoKinds && n.chome >= 0) return Fit::No;
  const RangeFit range = ChomeBanchiFit(c, n, wantsChome, wantsBanchi);
  if (range.final) return range.fit;
  if (range.fit == Fit::No && (block == Fit::Unknown || scoped == Fit::Unknown || c.truncated || NamesAPart(c, rest))) {
    return Fit::Unknown;
  }
  return range.fit;
}

// The rest of the address past its block number ("1丁目南8-1" -> "南8-1").
std::string_view PastBlockNumber(std::string_view rest) {
  size_t i = 0;
  if (!NumberAt(rest, i)) return rest;
  for (std::string_view mark : {"丁目", "丁", "番地", "番", "-"}) {
    if (StartsWith(rest.substr(i), mark)) return rest.substr(i + mark.size());
  }
  return rest.substr(i);
}

Fit NamesFit(const Condition& c, std::string_view rest) {
  const std::string_view past = PastBlockNumber(rest);
  const bool named = std::any_of(c.names.begin(), c.names.end(), [&](const std::string& name) {
    return StartsWith(rest, name) || StartsWith(past, name);
  });
  return named ? Fit::Yes : c.truncated ? Fit::Unknown : Fit::No;
}

Fit StreetsFit(const Condition& c, const Numbers& n) {
  if (n.street.empty()) return Fit::Unknown;
  const bool listed = std::find(c.names.begin(), c.names.end(), n.street) != c.names.end();
  if (listed) return Fit::Yes;
  // The street named without the crossing the list gives ("寺之内通"), or
  // with another: the records that name that street may be it.
  static const std::string kDori = "通";
  const size_t dori = n.street.find(kDori);
  const std::string_view street = std::string_view(n.street).substr(0, dori + kDori.size());
  const bool sameStreet =
      dori != std::string::npos &&
      std::any_of(c.names.begin(), c.names.end(), [&](const std::string& name) { return StartsWith(name, street); });
  return sameStreet || c.truncated ? Fit::Unknown : Fit::No;
}

Fit Evaluate(const Condition& c, const Numbers& n, std::string_view rest) {
  Fit fit = Fit::Unknown;
  switch (c.kind) {
    case Condition::Kind::Plain:
    case Condition::Kind::Other:
    case Condition::Kind::Unknown: return Fit::Unknown;
    case Condition::Kind::Oaza: return n.oaza ? Fit::Yes : n.chome >= 0 ? Fit::No : Fit::Unknown;
    case Condition::Kind::Floor: return n.floor && *n.floor == c.floor ? Fit::Yes : Fit::No;
    case Condition::Kind::Basement: return !n.floor || n.basement ? Fit::Yes : Fit::No;
    case Condition::Kind::Names: fit = NamesFit(c, rest); break;
    case Condition::Kind::Streets: return StreetsFit(c, n);
    case Condition::Kind::Numbers: fit = NumbersFit(c, n, rest); break;
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
// Of two parts ("ミッドランドスクエア（高層棟）（１５階）") the last is the
// condition; the wing named before it is no part of how people write it.
void SplitName(const std::string& name, std::string& head, std::string& inner) {
  static const std::string kOpen = "（", kClose = "）";
  const size_t open = name.find(kOpen);
  head = Fold(name.substr(0, open));
  inner.clear();
  if (open == std::string::npos) return;
  const size_t last = name.rfind(kClose + kOpen);
  std::string in =
      name.substr(last != std::string::npos && last > open ? last + kClose.size() + kOpen.size() : open + kOpen.size());
  if (in.size() >= kClose.size() && in.substr(in.size() - kClose.size()) == kClose)
    in.resize(in.size() - kClose.size());
  inner = Fold(in);
}

}  // namespace

bool IsFloorText(std::string_view inner) { return ParseCondition(FoldName(inner)).kind == Condition::Kind::Floor; }

TownText SplitTownNote(std::string_view town) {
  static const std::string_view kOpen = "（", kClose = "）", kUnlisted = "以下に掲載がない場合";
  if (town == kUnlisted) return {std::string(), std::string(kUnlisted)};
  const size_t open = town.rfind(kOpen);
  if (open == std::string_view::npos) return {std::string(town), std::string()};
  std::string_view inner = town.substr(open + kOpen.size());
  if (inner.size() >= kClose.size() && inner.substr(inner.size() - kClose.size()) == kClose)
    inner.remove_suffix(kClose.size());
  if (IsFloorText(inner)) return {std::string(town.substr(0, open)) + std::string(inner), std::string()};
  return {std::string(town.substr(0, open)), std::string(inner)};
}

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
  static std::vector<std::string> OfficeNames(const std::string& officeName, const std::string& pref, const City& city);

  Gazetteer& g_;
  DicFile& dic_;
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
  platform::SjisDecoder::Append(utf8, it->second);
  return FoldReading(utf8);
}

Result<bool> Gazetteer::Loader::AddPrefecture(const PrefectureRow& pref) {
  g_.prefs_.push_back({pref.Name, Fold(pref.Name)});
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
  platform::SjisDecoder::Append(city.name, *name);
  city.fold = Fold(city.name);
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
  // By name: a line is searched for the names that begin at each character.
  std::sort(city.offices.begin(), city.offices.end());
  g_.cities_.push_back(std::move(city));
  if (failure) return failure.error();
  return true;
}

// The names an office goes by, as a line would write them: each of
// "堺市役所・堺区役所", without a post-office box before it ("…私書箱第64号
// 浜松市役所"); the prefecture or city named alone ("埼玉県") as its 庁 or
// 役所. Names of two characters or fewer are left out: found by chance.
std::vector<std::string> Gazetteer::Loader::OfficeNames(const std::string& officeName, const std::string& pref,
                                                        const City& city) {
  static const std::string kDot = "・", kGo = "号";
  constexpr size_t kShortest = 9;  // three characters: a place's name of two is in many addresses
  std::vector<std::string> names;
  // "上智大学(上智学院)": the name before the parentheses; what they hold is
  // often a place ("(東京・日本橋)", "(札幌)"), found in any address there.
  std::string inner = officeName.substr(0, officeName.find('('));
  for (size_t at; (at = inner.find(' ')) != std::string::npos;) inner.erase(at, 1);
  for (size_t start = 0; start <= inner.size();) {
    const size_t dot = std::min(inner.find(kDot, start), inner.size());
    std::string name = inner.substr(start, dot - start);
    start = dot + kDot.size();
    if (const size_t go = name.rfind(kGo); go != std::string::npos) name.erase(0, go + kGo.size());
    if (name == pref) name += "庁";
    if (name == city.fold || name == city.local) name += "役所";
    if (name.size() >= kShortest) names.push_back(std::move(name));
  }
  return names;
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
  platform::SjisDecoder::Append(p.name, sjis_);
  SplitName(p.name, p.head, p.inner);
  p.floor = IsFloor(p.inner);
  if (const size_t at = p.head.find("通り"); at != std::string::npos && at + 3 < UINT8_MAX)
    p.ri = static_cast<uint8_t>(at + 3);
  p.parts = p.head.find("、") != std::string::npos || p.head.find("地割~") != std::string::npos;
  p.reading = ReadingOf(pos);
  const auto index = static_cast<uint32_t>(g_.places_.size());
  if (p.office) {
    for (auto& name : OfficeNames(p.inner, g_.prefs_.back().fold, city))
      city.offices.emplace_back(std::move(name), index);
  } else {
    city.places.push_back(index);
  }
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
  const std::string q = Fold(text), key = ReadingKey(text);
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

// Hokkaido's blocks as people shorten them: Sapporo's "南3西4" is
// 南3条西4(丁目), Obihiro's "西2南12" 西2条南12.
std::string SapporoBlocks(std::string a) {
  static const std::string_view kSides[] = {"南", "北", "東", "西"};
  static const std::string kJo = "条";
  auto side = [](std::string_view s) {
    return std::any_of(std::begin(kSides), std::end(kSides), [&](std::string_view k) { return StartsWith(s, k); });
  };
  for (size_t at = 0; at + kJo.size() < a.size(); ++at) {
    if (!side(std::string_view(a).substr(at))) continue;
    size_t i = at + kJo.size();  // each side is 3 bytes, as 条 is
    const size_t digits = i;
    while (i < a.size() && IsAsciiDigit(a[i])) ++i;
    if (i > digits && side(std::string_view(a).substr(i))) a.insert(i, kJo);
  }
  return a;
}

// The address folded, without a code or its placeholder written before it
// ("〒100-0001 東京都…", "〒XXX-XXXX", "〒　-　") and without the commas
// some put between its parts.
std::string NormalisedAddress(std::string_view address) {
  static const std::string kMark = "〒", kComma = "、";
  const std::string folded = Fold(address);
  std::string a;
  a.reserve(folded.size());
  for (size_t i = 0; i < folded.size();) {
    if (folded[i] == ',') {
      ++i;
    } else if (folded.compare(i, kComma.size(), kComma) == 0) {
      i += kComma.size();
    } else {
      a += folded[i++];
    }
  }
  const bool marked = StartsWith(a, kMark);
  if (marked) a.erase(0, kMark.size());
  size_t skip = 0;
  while (skip < a.size() && (IsAsciiDigit(a[skip]) || a[skip] == '-' || (marked && a[skip] == 'X'))) ++skip;
  if (marked || skip >= 7) a.erase(0, skip);
  return SapporoBlocks(std::move(a));
}

// Where a part of the text begins after a blank or a comma: a name, a
// company or a telephone number may come before the address.
std::vector<size_t> PartStarts(std::string_view text) {
  static const std::string_view kSeparators[] = {" ", "\t", "　", ",", "、", "，", ":", "：", "】", "]", "］"};
  std::vector<size_t> starts{0};
  bool after = false;
  for (size_t i = 0; i < text.size();) {
    size_t length = 0;
    for (std::string_view s : kSeparators) {
      if (StartsWith(text.substr(i), s)) length = s.size();
    }
    if (length > 0) {
      after = true;
      i += length;
      continue;
    }
    if (after) starts.push_back(i);
    after = false;
    ++i;
  }
  return starts;
}

// Kyoto writes the streets that lead to a town before it
// ("河原町通三条下る大黒町"): the town is what follows the last direction.
struct StreetSplit {
  std::string_view street, rest;
};

StreetSplit SplitStreet(std::string_view rest) {
  static const std::string_view kDirections[] = {"上る",   "上ル",   "下る",   "下ル",   "上がる", "下がる",
                                                 "東入る", "東入ル", "西入る", "西入ル", "東入",   "西入"};
  if (rest.find("通") == std::string_view::npos) return {{}, rest};
  size_t end = 0;
  for (std::string_view mark : kDirections) {
    for (size_t at = rest.find(mark); at != std::string_view::npos; at = rest.find(mark, at + 1))
      end = std::max(end, at + mark.size());
  }
  if (end == 0 || rest.substr(0, end).find("通") == std::string_view::npos) return {{}, rest};
  // "下る二丁目稲荷町": the 丁目 is the street's.
  static const std::string_view kChome = "丁目";
  size_t i = end;
  if (NumberAt(rest, i) && StartsWith(rest.substr(i), kChome)) end = i + kChome.size();
  return {rest.substr(0, end), rest.substr(end)};
}

struct PrefHit {
  int pref = -1;         // -1: none written
  size_t length = 0;     // of its name as written
  bool shortly = false;  // written without its 都, 府 or 県 ("岩手花巻市")
};

struct CityHit {
  uint16_t city;
  size_t length;  // of its name as written
};

// The address as read from where it begins: folded, with its prefecture
// and the cities it may name.
struct Reading {
  std::string a;
  PrefHit pref;
  std::vector<CityHit> cities;
  std::string kanaCity;  // the city written in kana ("はなまき市"), read by its reading
  std::string_view AfterPref() const { return std::string_view(a).substr(pref.length); }
};

// The longest town name that the rest of the address begins with, in one
// city ("" when none).
struct TownHit {
  uint16_t city;
  size_t cityLength;
  std::string_view head;  // folded, the place's own
  std::string_view rest;  // after the head, in the folded address
  bool oaza = false;      // 大字 written before it
  std::string street;     // Kyoto's streets before it (StreetKey)
};

// The numbers of the address as the town's records read them: "1-2" is
// 丁目 and 番地 where a record names 丁目, else 番地; but where the town
// also has a 大字, a 丁目 only when written so.
Numbers NumbersAgainst(const TownHit& hit, const std::vector<Condition>& conditions) {
  const bool mentionsChome = std::any_of(conditions.begin(), conditions.end(), [](const Condition& c) {
    return !c.chome.empty() || !c.scoped.empty() || c.anyChome ||
           std::any_of(c.spans.begin(), c.spans.end(), [](const Condition::Span& s) { return s.chiwari; });
  });
  const bool otherKind = std::any_of(conditions.begin(), conditions.end(), [](const Condition& c) {
    return c.kind == Condition::Kind::Oaza || (c.anyBanchi && c.chome.empty() && !c.anyChome);
  });
  Numbers n = ReadNumbers(hit.rest);
  n.oaza = hit.oaza;
  n.street = hit.street;
  n.twoKinds = mentionsChome && otherKind;
  if (!n.dashed.empty()) {
    if (mentionsChome && !n.twoKinds) {
      n.chome = n.dashed[0];
      if (n.dashed.size() > 1) n.banchi = n.dashed[1];
      if (n.dashed.size() > 2) n.go = n.dashed[2];
    } else if (!mentionsChome) {
      n.banchi = n.dashed[0];
      if (n.dashed.size() > 1) n.go = n.dashed[1];
    }
  }
  return n;
}

// The twelve ideographs of the compatibility block that are characters
// of their own (﨑, 﨟, 﨣 ...), not another's look-alike.
bool IsUnifiedInCompatibilityBlock(char32_t c) {
  static constexpr char32_t kUnified[] = {0xFA0E, 0xFA0F, 0xFA11, 0xFA13, 0xFA14, 0xFA1F,
                                          0xFA21, 0xFA23, 0xFA24, 0xFA27, 0xFA28, 0xFA29};
  return std::find(std::begin(kUnified), std::end(kUnified), c) != std::end(kUnified);
}

// Which variant of a character the address was read as ("藪" as "薮"),
// for the note: the user sees what was assumed. Kanji go by the whole
// variant table; the compatibility ideographs and radicals look as their
// forms do and are not said. Kana and the 之/ノ/の of Kyoto's names by
// hand.
// The character of name that w (one character of the address) was read
// as, or "" when name holds w itself or no variant of it.
std::string_view KanjiReadAs(std::string_view w, std::string_view name) {
  size_t n = 0;
  const char32_t c = platform::DecodeUtf8At(w, 0, &n);
  const bool compatibility = (c >= 0xF900 && c < 0xFB00) || c >= 0x2F800;
  const bool lookAlike = (c >= 0x2E80 && c < 0x3000) || (compatibility && !IsUnifiedInCompatibilityBlock(c));
  if (n < 3 || lookAlike || name.find(w) != std::string_view::npos) return {};
  const std::string form = FoldVariants(w);
  for (size_t j = 0, m = 0; j < name.size(); j += m) {
    platform::DecodeUtf8At(name, j, &m);
    const std::string_view x = name.substr(j, m);
    if (m >= 3 && x != w && FoldVariants(x) == form) return x;
  }
  return {};
}

std::string VariantNote(std::string_view written, const AddressAnswer& a) {
  static const std::vector<std::vector<std::string_view>> kKanaGroups = {{"之", "ノ", "の"},
                                                                         {"ヶ", "ケ", "が", "ヵ", "ガ"}};
  if (a.candidates.empty()) return std::string();
  const std::string name = a.candidates[0].city + a.candidates[0].town;
  std::string note;
  auto say = [&note](std::string_view w, std::string_view x) {
    const std::string line = "「" + std::string(w) + "」を「" + std::string(x) + "」として読みました。";
    if (note.find(line) == std::string::npos) note += line;
  };
  for (size_t i = 0, n = 0; i < written.size(); i += n) {
    platform::DecodeUtf8At(written, i, &n);
    const std::string_view w = written.substr(i, n);
    if (const std::string_view x = KanjiReadAs(w, name); !x.empty()) say(w, x);
  }
  for (const auto& group : kKanaGroups) {
    for (std::string_view w : group) {
      if (written.find(w) == std::string_view::npos || name.find(w) != std::string::npos) continue;
      const auto x = std::find_if(group.begin(), group.end(),
                                  [&](std::string_view v) { return v != w && name.find(v) != std::string::npos; });
      if (x != group.end()) say(w, *x);
    }
  }
  return note;
}

// Why no city was found; a name that looks like a city's ("浦和市") is said
// to be none the dictionary knows: a former name is not guessed into the
// city that took it over.
std::string UnknownCityNote(std::string_view afterPref) {
  std::string note = "市区町村が分かりません。";
  static const std::string_view kEnds[] = {"市", "町", "村"};
  size_t end = std::string_view::npos;
  for (std::string_view e : kEnds) {
    const size_t at = afterPref.find(e);
    if (at != std::string_view::npos && at > 0 && at <= 18 && (end == std::string_view::npos || at < end))
      end = at + e.size();
  }
  if (end != std::string_view::npos) {
    note += "「" + std::string(afterPref.substr(0, end)) +
            "」は辞書にない市区町村名です（合併などでなくなった名前から今の市区町村は推し量りません）。";
  }
  return note;
}

// ---- Addresses in Latin letters ("2-8-1 Nishi-Shinjuku, Shinjuku-ku, Tokyo") ----

// Whether the text is written in Latin letters: no kana or kanji, four
// letters at least.
bool IsLatinAddress(std::string_view text) {
  size_t letters = 0;
  for (char ch : text) {
    const auto b = static_cast<unsigned char>(ch);
    if (b >= 0xE0 && b != 0xEF) return false;  // kana, kanji (full-width letters are EF ..)
    if (std::isalpha(b)) ++letters;
  }
  return letters >= 4 && !HasKanji(text);
}

// A Latin address in parts: between commas, or between blanks where no
// comma is written; each part's letters as one word (Hepburn's m before b
// and p as n). Its numbers: the 丁目 ("1-chome") first, then the rest.
struct LatinAddress {
  std::vector<std::string> parts;
  std::string numbers;
};

// Long vowels' marks as the plain vowels ("chōme" is chome).
std::string WithoutMacrons(std::string_view written) {
  static const std::pair<std::string_view, char> kMarks[] = {{"ō", 'o'}, {"Ō", 'O'}, {"ū", 'u'}, {"Ū", 'U'}, {"ā", 'a'},
                                                             {"Ā", 'A'}, {"ē", 'e'}, {"ī", 'i'}, {"ô", 'o'}, {"û", 'u'},
                                                             {"â", 'a'}, {"ê", 'e'}, {"î", 'i'}};
  std::string text(written);
  for (const auto& [from, to] : kMarks) {
    for (size_t at; (at = text.find(from)) != std::string::npos;) text.replace(at, from.size(), 1, to);
  }
  return text;
}

// Hepburn's m before b, p and m as n; "nn" before a vowel as ん and a
// syllable of n ("Sannai" is サンナイ).
void AsTransliterated(std::string& p) {
  for (std::string_view pair : {"mb", "mp", "mm"}) {
    for (size_t at; (at = p.find(pair)) != std::string::npos;) p[at] = 'n';
  }
  for (size_t at = 0; (at = p.find("nn", at)) != std::string::npos; at += 2) {
    if (at + 2 < p.size() && std::string_view("aiueo").find(p[at + 2]) != std::string_view::npos) p.insert(at + 1, "'");
  }
}

// Reads a Latin address character by character into its parts and numbers.
class LatinReader {
 public:
  explicit LatinReader(std::string text) : text_(std::move(text)), commas_(text_.find(',') != std::string::npos) {}

  LatinAddress Read() {
    for (size_t i = 0; i <= text_.size(); ++i) Take(i);
    LatinAddress out;
    for (auto& p : parts_) {
      AsTransliterated(p);
      if (!p.empty()) out.parts.push_back(std::move(p));
    }
    out.numbers = chome_.empty() ? numbers_ : numbers_.empty() ? chome_ : chome_ + "-" + numbers_;
    return out;
  }

 private:
  void Take(size_t i) {
    const char ch = i < text_.size() ? text_[i] : ',';
    const auto b = static_cast<unsigned char>(ch);
    if (std::isalpha(b) || b >= 0x80) {
      word_ += static_cast<char>(std::tolower(b));
    } else if (std::isdigit(b)) {
      if (!word_.empty()) EndWord();
      run_ += ch;
    } else if (ch == '-' && !run_.empty() && run_.back() != '-') {
      run_ += '-';
    } else {
      EndPart(i, ch);
    }
  }
  void EndPart(size_t i, char ch) {
    if (!word_.empty() || ch == ',' || ch == ' ') EndWord();
    if (ch != ',' && (commas_ || ch != ' ')) return;
    // "1-chome": the word after the number names it.
    size_t j = i;
    while (j < text_.size() && (text_[j] == ' ' || text_[j] == '-')) ++j;
    const std::string_view next = std::string_view(text_).substr(j, 5);
    EndRun(next == "chome" || next == "Chome");
    if (!parts_.back().empty()) parts_.emplace_back();
  }
  void EndRun(bool chome) {
    while (!run_.empty() && run_.back() == '-') run_.pop_back();
    if (run_.empty()) return;
    std::string& to = chome ? chome_ : numbers_;
    to += (to.empty() ? "" : "-") + run_;
    run_.clear();
  }
  void EndWord() {
    static const std::set<std::string> kDropped = {"japan", "banchi", "ban",  "go",      "gou",    "prefecture", "pref",
                                                   "city",  "ward",   "town", "village", "county", "district"};
    EndRun(word_ == "chome");
    if (!word_.empty() && word_ != "chome" && !kDropped.count(word_)) {
      // "Shin-Yokohama": the ん before a vowel or y is kept apart from it.
      std::string& part = parts_.back();
      if (!part.empty() && part.back() == 'n' && std::string_view("aiueoy").find(word_[0]) != std::string_view::npos)
        part += '\'';
      part += word_;
    }
    word_.clear();
  }

  std::string text_;
  bool commas_;
  std::vector<std::string> parts_{std::string()};
  std::string word_, chome_, numbers_, run_;
};

LatinAddress ReadLatin(std::string_view written) { return LatinReader(WithoutMacrons(written)).Read(); }

// The prefectures' names in Latin letters, in their numbers' order.
constexpr std::string_view kPrefLatin[] = {
    "hokkaido", "aomori",    "iwate",     "miyagi",    "akita",    "yamagata",  "fukushima", "ibaraki",
    "tochigi",  "gunma",     "saitama",   "chiba",     "tokyo",    "kanagawa",  "niigata",   "toyama",
    "ishikawa", "fukui",     "yamanashi", "nagano",    "gifu",     "shizuoka",  "aichi",     "mie",
    "shiga",    "kyoto",     "osaka",     "hyogo",     "nara",     "wakayama",  "tottori",   "shimane",
    "okayama",  "hiroshima", "yamaguchi", "tokushima", "kagawa",   "ehime",     "kochi",     "fukuoka",
    "saga",     "nagasaki",  "kumamoto",  "oita",      "miyazaki", "kagoshima", "okinawa"};

// The prefecture a word names ("tokyo", "tokyoto", "osakafu"), -1 when none.
int LatinPrefecture(const std::string& word) {
  static const std::vector<std::pair<std::string, int>> keys = [] {
    std::vector<std::pair<std::string, int>> k;
    for (size_t p = 0; p < std::size(kPrefLatin); ++p) {
      for (std::string_view suffix : {"", "to", "fu", "ken", "do"})
        k.emplace_back(ReadingKey(std::string(kPrefLatin[p]) + std::string(suffix)), static_cast<int>(p));
    }
    return k;
  }();
  const std::string key = ReadingKey(word);
  for (const auto& [k, p] : keys) {
    if (!key.empty() && k == key) return p;
  }
  return -1;
}

// Whether a city's reading is the key read: whole, with its kind left out
// ("shinjuku" for シンジュクク), or as the ward or town after its city or
// district ("higashiyamaku" for キョウトシヒガシヤマク).
bool ReadingFits(const std::string& reading, const std::string& key) {
  static const std::vector<std::string> kinds = [] {
    std::vector<std::string> k;
    for (const char* kind : {"shi", "ku", "machi", "cho", "mura", "son"}) k.push_back(ReadingKey(kind));
    return k;
  }();
  static const std::string kShi = ReadingKey("shi"), kGun = ReadingKey("gun");
  if (key.empty() || reading.size() < key.size()) return false;
  if (reading == key) return true;
  for (const auto& kind : kinds) {
    if (reading.size() == key.size() + kind.size() && StartsWith(reading, key) &&
        reading.compare(key.size(), std::string::npos, kind) == 0) {
      return true;
    }
  }
  // After the city or district: the ward or town, with or without its kind.
  auto after = [&](const std::string& tail) {
    if (reading.size() <= tail.size() || reading.compare(reading.size() - tail.size(), tail.size(), tail) != 0)
      return false;
    const std::string_view before = std::string_view(reading).substr(0, reading.size() - tail.size());
    return (before.size() >= kShi.size() && before.substr(before.size() - kShi.size()) == kShi) ||
           (before.size() >= kGun.size() && before.substr(before.size() - kGun.size()) == kGun);
  };
  if (after(key)) return true;
  return std::any_of(kinds.begin(), kinds.end(), [&](const std::string& kind) { return after(key + kind); });
}

// Whether a telephone or fax number's mark comes just before at ("TEL 011-…").
bool AfterTelephoneMark(std::string_view text, size_t at) {
  std::string_view before = text.substr(0, at);
  while (!before.empty() && (before.back() == ' ' || before.back() == ':' || before.back() == '.'))
    before.remove_suffix(1);
  for (std::string_view mark : {"TEL", "Tel", "tel", "FAX", "Fax", "fax", "電話", "ＴＥＬ", "ＦＡＸ", "：", "　"}) {
    if (before.size() >= mark.size() && before.substr(before.size() - mark.size()) == mark) {
      if (mark == "：" || mark == "　")
        return AfterTelephoneMark(before.substr(0, before.size() - mark.size()), before.size() - mark.size());
      return true;
    }
  }
  return false;
}

// How much of rest a town name of several parts takes ("湯本29地割、湯本30地割",
// "種市第15地割~第21地割": "種市第16地割" is one of them); 0 when none.
size_t PartsTaken(std::string_view head, std::string_view rest) {
  static const std::string_view kComma = "、", kDai = "第", kChiwari = "地割";
  size_t best = 0;
  for (size_t start = 0; start <= head.size();) {
    const size_t comma = std::min(head.find(kComma, start), head.size());
    const std::string_view part = head.substr(start, comma - start);
    start = comma + kComma.size();
    if (!part.empty() && StartsWith(rest, part)) {
      best = std::max(best, part.size());
      continue;
    }
    const size_t tilde = part.find('~');
    const size_t dai = part.find(kDai);
    if (tilde == std::string_view::npos || dai == std::string_view::npos || dai > tilde) continue;
    const std::string_view base = part.substr(0, dai);
    if (base.empty() || !StartsWith(rest, base)) continue;
    size_t i = dai + kDai.size(), j = tilde + 1;
    if (StartsWith(part.substr(j), kDai)) j += kDai.size();
    auto from = NumberAt(part, i), to = NumberAt(part, j);
    size_t k = base.size();
    if (StartsWith(rest.substr(k), kDai)) k += kDai.size();
    auto written = NumberAt(rest, k);
    if (!from || !to || !written || !StartsWith(rest.substr(k), kChiwari)) continue;
    if (*written >= *from && *written <= *to) best = std::max(best, k + kChiwari.size());
  }
  return best;
}

// The length of the kana the text begins with.
size_t KanaRun(std::string_view text) {
  size_t end = 0;
  for (size_t n = 0; end < text.size(); end += n) {
    const char32_t c = platform::DecodeUtf8At(text, end, &n);
    if (!((c >= U'ぁ' && c <= U'ゖ') || (c >= U'ァ' && c <= U'ヺ') || c == U'ー')) break;
  }
  return end;
}

std::u32string Utf32(std::string_view s) {
  std::u32string out;
  for (size_t i = 0, n = 0; i < s.size(); i += n) out += platform::DecodeUtf8At(s, i, &n);
  return out;
}

// Whether typed is name with one character left out, or with one written
// twice; both end alike (市, 区, 町 or 村), and name has three at least.
bool OneApart(const std::u32string& typed, const std::u32string& name) {
  if (name.size() < 3 || typed.empty() || typed.back() != name.back()) return false;
  if (typed.size() + 1 == name.size()) {
    for (size_t k = 0; k + 1 < name.size(); ++k) {
      if (name.substr(0, k) + name.substr(k + 1) == typed) return true;
    }
    return false;
  }
  if (typed.size() == name.size() + 1) {
    for (size_t k = 1; k + 1 < typed.size(); ++k) {
      if (typed[k] == typed[k - 1] && typed.substr(0, k) + typed.substr(k + 1) == name) return true;
    }
  }
  return false;
}

// The characters of a line with where each begins, for finding a code in it.
class CodeScan {
 public:
  explicit CodeScan(const std::string& text) {
    for (size_t i = 0, n = 0; i < text.size(); i += n) chars_.push_back({platform::DecodeUtf8At(text, i, &n), i});
  }
  size_t Size() const { return chars_.size(); }
  size_t At(size_t k, size_t end) const { return k < chars_.size() ? chars_[k].at : end; }
  char32_t Char(size_t k) const { return k < chars_.size() ? chars_[k].c : 0; }
  int Digit(size_t k) const {
    const char32_t c = Char(k);
    if (c >= U'0' && c <= U'9') return static_cast<int>(c - U'0');
    return c >= U'０' && c <= U'９' ? static_cast<int>(c - U'０') : -1;
  }
  bool Dash(size_t k) const {
    static const std::u32string_view kDashes = U"-‐−–—―ー－ｰ";
    return k < chars_.size() && kDashes.find(chars_[k].c) != std::u32string_view::npos;
  }
  // Up to most digits from j on into code; j moves past them.
  void Digits(size_t& j, std::string& code, size_t most) const {
    for (; Digit(j) >= 0 && code.size() < most; ++j) code += static_cast<char>('0' + Digit(j));
  }
  // The code that begins at k ("〒100-0001", "100-0001", "〒1000001"), and
  // where it ends; "" when none does.
  std::string CodeAt(size_t k, size_t& end) const {
    const bool marked = Char(k) == U'〒';
    size_t j = marked ? k + 1 : k;
    while (marked && (Char(j) == U' ' || Char(j) == U'　')) ++j;
    if (!marked && k > 0 && (Digit(k - 1) >= 0 || Dash(k - 1))) return std::string();
    std::string code;
    Digits(j, code, 3);
    if (code.size() != 3 || (!Dash(j) && !marked)) return std::string();
    if (Dash(j)) ++j;
    Digits(j, code, 7);
    if (code.size() != 7 || Digit(j) >= 0 || Dash(j)) return std::string();
    end = j;
    return code;
  }

 private:
  struct Char32 {
    char32_t c;
    size_t at;
  };
  std::vector<Char32> chars_;
};

// The postal code written anywhere on the line ("〒100-0001",
// "100-0001", "１００－０００１", "〒1000001"), as "NNN-NNNN", taken out of
// the text so that its digits are not read as the block; "" when none.
std::string TakeWrittenCode(std::string& text) {
  const CodeScan scan(text);
  for (size_t k = 0; k < scan.Size(); ++k) {
    if (scan.Char(k) != U'〒' && AfterTelephoneMark(text, scan.At(k, text.size()))) continue;
    size_t end = 0;
    const std::string code = scan.CodeAt(k, end);
    if (code.empty()) continue;
    const size_t from = scan.At(k, text.size()), to = scan.At(end, text.size());
    text.replace(from, to - from, " ");
    // "000-0000" is a form's placeholder, no code: nothing to check.
    return code.substr(0, 3) == "000" ? std::string() : code.substr(0, 3) + "-" + code.substr(3);
  }
  return std::string();
}

// How much an answer tells: a town read, the city alone, a former name,
// nothing.
int Weight(const AddressAnswer& a) {
  using S = AddressAnswer::Status;
  const bool town =
      std::any_of(a.candidates.begin(), a.candidates.end(), [](const CodeMatch& m) { return !m.town.empty(); });
  if ((a.status == S::Single || a.status == S::Several) && town) return 3;
  if (a.status == S::Single || a.status == S::Several || a.status == S::CityOnly) return 2;
  return a.status == S::CityNotFound ? 1 : 0;
}

// Of two readings of one text the one that tells more; both, as several,
// when each reads a town.
AddressAnswer Better(AddressAnswer a, AddressAnswer b) {
  const int wa = Weight(a), wb = Weight(b);
  if (wa != wb || wa < 3) return wa >= wb ? a : b;
  for (auto& m : b.candidates) {
    const bool seen = std::any_of(a.candidates.begin(), a.candidates.end(), [&](const CodeMatch& k) {
      return k.newCode == m.newCode && k.town == m.town && k.city == m.city;
    });
    if (!seen) a.candidates.push_back(std::move(m));
  }
  if (a.candidates.size() > 1) {
    a.status = AddressAnswer::Status::Several;
    a.pref.clear();
    a.city.clear();
    a.town.clear();
    a.note = "都道府県を略した住所とも、市の名前から始まる住所とも読めます。";
  }
  return a;
}

}  // namespace

class Gazetteer::Resolver {
 public:
  Resolver(const Gazetteer& g, std::string line, std::string written = {})
      : g_(g), line_(std::move(line)), written_(std::move(written)) {}
  Reading Read(std::string_view address) const;
  std::optional<Reading> OtherReading(const Reading& read) const;
  std::vector<CityHit> KanaCities(std::string_view afterPref, int pref, std::string& written) const;
  std::vector<CityHit> NearCities(std::string_view afterPref, int pref, std::string& written) const;
  size_t KanaCityLength(const City& city, const std::string& key, bool shi, std::string_view rest) const;
  size_t NearCityLength(const City& city, const std::u32string& typed, std::string_view rest) const;
  // A read whose cities are known, answered.
  AddressAnswer Answer(const Reading& read) const;
  // No city of the name written ("浦和市高砂", "浜松市北区細江町"): the
  // towns of that name in the cities that took it over, or in its
  // prefecture, as candidates. False when none is found.
  bool FormerCity(const Reading& read, const std::vector<uint16_t>& within, std::string_view name,
                  std::string_view rest, AddressAnswer& answer, size_t atLeast) const;
  bool FormerCityOf(const Reading& read, AddressAnswer& answer) const;
  bool FormerWard(const std::vector<TownHit>& towns, const Reading& read, AddressAnswer& answer) const;
  // An office the line names, in the cities read (or the prefecture):
  // its own code answers, the town's beside it.
  bool NamedOffice(const Reading& read, AddressAnswer& answer) const;
  // The code written on the line against the answer.
  void CheckWrittenCode(AddressAnswer& answer) const;
  // Whether the city has records of its own by 番地, no town named.
  bool HasNumberedRecords(uint16_t city) const;
  std::vector<std::string> LatinAsKanji(std::string_view text) const;
  std::vector<std::string> LatinInOrder(const std::vector<std::string>& words, const std::string& numbers) const;
  std::vector<uint16_t> LatinCities(const std::vector<std::string>& w, size_t& i, int pref) const;
  std::vector<uint16_t> CitiesRead(const std::string& key, int pref) const;
  std::set<std::string> LatinTownHeads(uint16_t city, const std::string& townKey) const;
  void KeepShared(const std::vector<TownHit>& towns, AddressAnswer& answer) const;
  std::vector<uint16_t> OfficeCities(const Reading& read) const;
  static std::vector<std::pair<std::string, uint32_t>> OfficesNamedIn(const City& city, std::string_view text);
  std::string TownCodeBeside(const Reading& read) const;
  // The written code is an office's at the address written ("上智大学
  // 〒102-8554 …紀尾井町7-1" for the office 学校法人上智学院): that office.
  void OfficeOfWrittenCode(const Reading& read, AddressAnswer& answer) const;
  std::vector<TownHit> FindTowns(std::string_view afterPref, const std::vector<CityHit>& cities) const;
  // The records of the towns found that the rest of the address fits; the
  // answer gets the parts of the address recognised.
  std::vector<const Place*> FindRecords(const std::vector<TownHit>& towns, AddressAnswer& answer) const;
  void Decide(const std::vector<const Place*>& candidates, AddressAnswer& answer) const;
  // No town read: what the city alone says.
  void DecideCity(const std::vector<TownHit>& towns, AddressAnswer& answer) const;

 private:
  Reading ReadFrom(std::string_view text, const std::string* normalised = nullptr) const;
  PrefHit FindPrefecture(std::string_view a) const;
  std::vector<CityHit> FindCities(std::string_view afterPref, int pref) const;
  // The longest name of the city's towns that rest begins with ("" when
  // none), and how much of rest it takes.
  std::pair<std::string_view, size_t> LongestHead(uint16_t city, std::string_view rest) const;
  std::string WithBuilding(const City& city, std::string_view head, std::string_view rest) const;
  // denied: no record fits, all are returned.
  static std::vector<const Place*> Fitting(const std::vector<const Place*>& named, const TownHit& hit, bool& denied);

  const Gazetteer& g_;
  std::string line_;     // the whole line, folded
  std::string written_;  // the code written on it ("NNN-NNNN"), "" when none
};

AddressAnswer Gazetteer::Resolve(std::string_view address) const {
  AddressAnswer answer;
  if (LongerThan(address, kMaxAddressCharacters)) {
    answer.note = "住所が " + std::to_string(kMaxAddressCharacters) + " 文字を超えています。";
    return answer;
  }
  std::string text(address);
  const std::string written = TakeWrittenCode(text);
  // An office may be named anywhere on the line, before the address too.
  const Resolver r(*this, NormalisedAddress(text), written);
  if (IsLatinAddress(text)) {
    if (auto latin = ResolveLatin(r, text)) {
      answer = std::move(*latin);
      answer.writtenCode = written;
      r.CheckWrittenCode(answer);
      return answer;
    }
  }
  const Reading read = r.Read(text);
  if (read.cities.empty()) {
    if (!r.NamedOffice(read, answer) && !r.FormerCityOf(read, answer)) {
      answer.note = UnknownCityNote(read.AfterPref());
      if (read.pref.pref >= 0) answer.pref = prefs_[static_cast<size_t>(read.pref.pref)].name;
    }
  } else {
    answer = r.Answer(read);
    r.OfficeOfWrittenCode(read, answer);
    // "千葉市川市": 千葉県市川市, unless 千葉市 has a town 川市 too.
    if (const auto other = r.OtherReading(read)) {
      AddressAnswer second = r.Answer(*other);
      answer = Better(std::move(answer), std::move(second));
    }
    answer.note += VariantNote(text, answer);
    // The name as folded shows kanji numerals as digits ("8王市"): then the
    // city read is said alone.
    const bool digits = std::any_of(read.kanaCity.begin(), read.kanaCity.end(), IsAsciiDigit);
    if (!read.kanaCity.empty() && !answer.city.empty())
      answer.note += digits ? "市区町村名を「" + answer.city + "」として読みました。"
                            : "「" + read.kanaCity + "」を「" + answer.city + "」として読みました。";
  }
  answer.writtenCode = written;
  r.CheckWrittenCode(answer);
  return answer;
}

// A Latin address as the kanji ones it names, their answers together.
std::optional<AddressAnswer> Gazetteer::ResolveLatin(const Resolver& r, std::string_view text) const {
  const std::vector<std::string> texts = r.LatinAsKanji(text);
  if (texts.empty()) return std::nullopt;
  AddressAnswer all = Resolve(texts.front());
  std::string read = texts.front();
  for (size_t k = 1; k < texts.size(); ++k) {
    AddressAnswer more = Resolve(texts[k]);
    if (k < 3) read += "、" + texts[k];
    if (k == 3) read += "…";
    for (auto& m : more.candidates) {
      const bool seen = std::any_of(all.candidates.begin(), all.candidates.end(),
                                    [&](const CodeMatch& c) { return c.newCode == m.newCode && c.town == m.town; });
      if (!seen) all.candidates.push_back(std::move(m));
    }
  }
  std::set<std::string> codes;
  for (const auto& m : all.candidates) codes.insert(m.newCode);
  if (texts.size() > 1 && codes.size() > 1) {
    all.status = AddressAnswer::Status::Several;
    all.pref.clear();
    all.city.clear();
    all.town.clear();
    all.note = "ローマ字の読みに合う市区町村がいくつもあります。";
  }
  all.note = "ローマ字を「" + read + "」と読みました。" + all.note;
  return all;
}

AddressAnswer Gazetteer::Resolver::Answer(const Reading& read) const {
  AddressAnswer answer;
  const std::vector<TownHit> towns = FindTowns(read.AfterPref(), read.cities);
  if (NamedOffice(read, answer)) return answer;
  if (std::all_of(towns.begin(), towns.end(), [](const TownHit& t) { return t.head.empty(); })) {
    // "琴平町500": the city's own records by 番地 ("の次に番地がくる場合").
    std::vector<TownHit> numbered;
    for (const TownHit& hit : towns) {
      if (!hit.rest.empty() && IsAsciiDigit(hit.rest[0]) && HasNumberedRecords(hit.city)) numbered.push_back(hit);
    }
    if (!numbered.empty()) {
      Decide(FindRecords(numbered, answer), answer);
    } else if (!FormerWard(towns, read, answer)) {
      DecideCity(towns, answer);
    }
  } else {
    Decide(FindRecords(towns, answer), answer);
  }
  return answer;
}

// The whole text when a prefecture and city begin it; else the first part
// where they do, else the first where a city does.
Reading Gazetteer::Resolver::Read(std::string_view address) const {
  // The whole line is folded once, for the office names and for this.
  Reading whole = ReadFrom(address, &line_);
  if (whole.pref.pref >= 0 && !whole.cities.empty()) return whole;
  if (whole.pref.shortly) {
    // "千葉市..." is no short 千葉県 when the rest names no city of it.
    Reading plain;
    plain.a = whole.a;
    plain.cities = FindCities(plain.a, -1);
    if (!plain.cities.empty()) return plain;
  }
  std::optional<Reading> first, withCity;
  for (size_t start : PartStarts(address)) {
    Reading r = start == 0 ? std::move(whole) : ReadFrom(address.substr(start));
    if (r.pref.pref >= 0 && !r.cities.empty()) return r;
    if (!withCity && !r.cities.empty()) withCity = r;
    if (!first) first = std::move(r);
  }
  return withCity ? *withCity : *first;
}

Reading Gazetteer::Resolver::ReadFrom(std::string_view text, const std::string* normalised) const {
  Reading r;
  r.a = normalised ? *normalised : NormalisedAddress(text);
  r.pref = FindPrefecture(r.a);
  r.cities = FindCities(r.AfterPref(), r.pref.pref);
  if (r.cities.empty() && r.pref.shortly) {
    // "大阪市…" is no short 大阪府 but the city.
    r.pref = {};
    r.cities = FindCities(r.a, -1);
  }
  if (r.cities.empty()) r.cities = KanaCities(r.AfterPref(), r.pref.pref, r.kanaCity);
  if (r.cities.empty()) r.cities = NearCities(r.AfterPref(), r.pref.pref, r.kanaCity);
  return r;
}

// A city written in kana and its kind ("はなまき市", "いわて町"): the cities
// whose reading it is.
std::vector<CityHit> Gazetteer::Resolver::KanaCities(std::string_view afterPref, int pref, std::string& written) const {
  const size_t end = KanaRun(afterPref);
  if (end < 6) return {};  // two kana at least
  static const std::pair<std::string_view, std::string_view> kKinds[] = {{"市", "shi"}, {"区", "ku"},   {"町", "machi"},
                                                                         {"町", "cho"}, {"村", "mura"}, {"村", "son"}};
  std::vector<CityHit> hits;
  const std::string kana(afterPref.substr(0, end));
  for (const auto& [kind, latin] : kKinds) {
    if (!StartsWith(afterPref.substr(end), kind)) continue;
    const std::string key = ReadingKey(kana) + ReadingKey(latin);
    for (uint16_t c = 0; c < g_.cities_.size(); ++c) {
      const City& city = g_.cities_[c];
      if (pref >= 0 && city.pref != pref) continue;
      if (const size_t length = KanaCityLength(city, key, kind == "市", afterPref.substr(end + kind.size()))) {
        hits.push_back({c, end + kind.size() + length - 1});
        written = kana + std::string(kind);
      }
    }
  }
  return hits;
}

// Whether the city's reading is the key, and how much of rest it takes
// then, plus one (0: it is not); "よこはま市中区" is 横浜市中区, and
// "よこはま市" alone every ward of it.
size_t Gazetteer::Resolver::KanaCityLength(const City& city, const std::string& key, bool shi,
                                           std::string_view rest) const {
  if (city.reading.size() < key.size()) return 0;
  const size_t at = city.fold.find("市", 3);
  if (shi && at != std::string::npos && at + 3 < city.fold.size() && StartsWith(city.reading, key)) {
    const std::string_view ward = std::string_view(city.fold).substr(at + 3);
    return 1 + (StartsWith(rest, ward) ? ward.size() : 0);
  }
  if (city.reading.compare(city.reading.size() - key.size(), key.size(), key) != 0) return 0;
  return city.local.empty() && city.reading.size() != key.size() ? 0 : 1;
}

// A city with one character of its name left out or written twice
// ("八王市", "名古屋屋市"): the cities it fits.
std::vector<CityHit> Gazetteer::Resolver::NearCities(std::string_view afterPref, int pref, std::string& written) const {
  std::u32string text;
  std::vector<size_t> ends;  // byte offset after each character
  for (size_t i = 0, n = 0; i < afterPref.size() && text.size() < 8; i += n) {
    text += platform::DecodeUtf8At(afterPref, i, &n);
    ends.push_back(i + n);
  }
  std::vector<CityHit> hits;
  for (size_t end = 1; end < text.size() && hits.empty(); ++end) {
    const char32_t kind = text[end];
    if (kind != U'市' && kind != U'区' && kind != U'町' && kind != U'村') continue;
    const std::u32string typed = text.substr(0, end + 1);
    for (uint16_t c = 0; c < g_.cities_.size(); ++c) {
      const City& city = g_.cities_[c];
      if (pref >= 0 && city.pref != pref) continue;
      if (const size_t length = NearCityLength(city, typed, afterPref.substr(ends[end]))) {
        hits.push_back({c, ends[end] + length - 1});
        written = std::string(afterPref.substr(0, ends[end]));
      }
    }
  }
  return hits;
}

// Whether typed is the city's name one character apart, and how much of
// rest its ward takes then, plus one (0: it is not).
size_t Gazetteer::Resolver::NearCityLength(const City& city, const std::u32string& typed, std::string_view rest) const {
  const size_t shi = city.fold.find("市", 3);
  const bool ward = shi != std::string::npos && shi + 3 < city.fold.size();
  const std::string_view whole = ward ? std::string_view(city.fold).substr(0, shi + 3) : std::string_view(city.fold);
  for (std::string_view name : {whole, std::string_view(city.local)}) {
    if (name.empty() || !OneApart(typed, Utf32(name))) continue;
    const std::string_view wardName = ward ? std::string_view(city.fold).substr(shi + 3) : std::string_view();
    return 1 + (ward && StartsWith(rest, wardName) ? wardName.size() : 0);
  }
  return 0;
}

// The same text read without a short prefecture ("千葉市川市": 千葉市 and
// its towns), or nothing when it is not short.
std::optional<Reading> Gazetteer::Resolver::OtherReading(const Reading& read) const {
  if (!read.pref.shortly) return std::nullopt;
  Reading r;
  r.a = read.a;
  r.cities = FindCities(r.a, -1);
  if (r.cities.empty()) return std::nullopt;
  return r;
}

// The prefecture, when it is written.
PrefHit Gazetteer::Resolver::FindPrefecture(std::string_view a) const {
  static const size_t kSuffix = std::string_view("県").size();
  for (size_t p = 0; p < g_.prefs_.size(); ++p) {
    if (StartsWith(a, g_.prefs_[p].fold)) return {static_cast<int>(p), g_.prefs_[p].fold.size(), false};
  }
  // Without its 都, 府 or 県; 北海道 is never written short.
  for (size_t p = 0; p < g_.prefs_.size(); ++p) {
    const std::string& f = g_.prefs_[p].fold;
    if (f.size() < 3 * kSuffix || f == "北海道") continue;
    const std::string_view head = std::string_view(f).substr(0, f.size() - kSuffix);
    if (StartsWith(a, head)) return {static_cast<int>(p), head.size(), true};
  }
  return {};
}

// Cities written there: whole, without their district, a designated
// city's name without its ward ("横浜市" for every ward), or its ward
// without the city ("中区": every city's 中区).
std::vector<CityHit> Gazetteer::Resolver::FindCities(std::string_view afterPref, int pref) const {
  static const std::string kShi = "市", kKu = "区";
  std::vector<CityHit> hits;
  for (uint16_t c = 0; c < g_.cities_.size(); ++c) {
    const City& city = g_.cities_[c];
    if (pref >= 0 && city.pref != pref) continue;
    size_t length = 0;
    // 市原市 and 市川市 begin with 市: a designated city's 市 is after its name.
    const size_t shi = city.fold.find(kShi, kShi.size());
    const bool ward = shi != std::string::npos && shi + kShi.size() < city.fold.size();
    if (!city.fold.empty() && StartsWith(afterPref, city.fold)) {
      length = city.fold.size();
    } else if (!city.local.empty() && StartsWith(afterPref, city.local)) {
      length = city.local.size();
    } else if (ward && StartsWith(afterPref, std::string_view(city.fold).substr(0, shi + kShi.size()))) {
      length = shi + kShi.size();
    } else if (const std::string_view wardName = ward ? std::string_view(city.fold).substr(shi + kShi.size()) : "";
               wardName.size() > kKu.size() && wardName.substr(wardName.size() - kKu.size()) == kKu &&
               StartsWith(afterPref, wardName)) {
      length = wardName.size();
    }
    if (length > 0) hits.push_back({c, length});
  }
  return hits;
}

// The longest name of the city's towns that rest begins with ("" when none).
std::pair<std::string_view, size_t> Gazetteer::Resolver::LongestHead(uint16_t city, std::string_view rest) const {
  static const size_t kRi = std::string_view("り").size();
  std::string_view head;
  size_t taken = 0;
  for (uint32_t i : g_.cities_[city].places) {
    const Place& p = g_.places_[i];
    const std::string& h = p.head;
    if (p.parts) {
      if (const size_t t = PartsTaken(h, rest); t > taken) {
        head = h;
        taken = t;
      }
      continue;
    }
    if (h.size() <= head.size()) continue;
    if (StartsWith(rest, h)) {
      head = h;
      taken = h.size();
    } else if (p.ri > 0 && StartsWith(rest, std::string_view(h).substr(0, p.ri)) &&
               StartsWith(rest.substr(p.ri), std::string_view(h).substr(p.ri + kRi))) {
      // "岐山通1-1" for 岐山通り: the り is often left out.
      head = h;
      taken = h.size() - kRi;
    }
  }
  return {head, taken};
}

// The longest town name that the rest begins with, in each city; the
// cities where city and town together run longest.
std::vector<TownHit> Gazetteer::Resolver::FindTowns(std::string_view afterPref,
                                                    const std::vector<CityHit>& cities) const {
  static const std::string kOaza = "大字", kAza = "字";
  std::vector<TownHit> best;
  size_t bestLength = 0;
  for (const CityHit& hit : cities) {
    const std::string_view written = afterPref.substr(hit.length);
    StreetSplit split = SplitStreet(written);
    std::string_view rest = split.rest;
    const bool oaza = StartsWith(rest, kOaza);
    if (oaza)
      rest.remove_prefix(kOaza.size());
    else if (StartsWith(rest, kAza))
      rest.remove_prefix(kAza.size());
    auto [head, taken] = LongestHead(hit.city, rest);
    // Streets written after the town ("紫野宮西町19-1（堀川通鞍馬口上ル）").
    if (head.empty() && !split.street.empty()) {
      split = {std::string_view(), written};
      rest = written;
      std::tie(head, taken) = LongestHead(hit.city, rest);
    }
    // A street without its direction before the town ("寺之内通大猪熊町").
    if (const size_t dori = rest.find("通"); head.empty() && split.street.empty() && dori != std::string_view::npos) {
      const std::string_view after = rest.substr(dori + std::string_view("通").size());
      auto [h, t] = LongestHead(hit.city, after);
      if (!h.empty()) {
        split = {rest.substr(0, dori + std::string_view("通").size()), after};
        rest = after;
        head = h;
        taken = t;
      }
    }
    const size_t length = hit.length + taken;
    if (length > bestLength) best.clear();
    if (length >= bestLength) {
      bestLength = length;
      best.push_back({hit.city, hit.length, head, rest.substr(taken), oaza, StreetKey(split.street)});
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
// 番地, blocks, the names of its parts, 大字, Kyoto's streets. Records it
// fits come first, then those it cannot tell; the town's plain record
// only when nothing fits.
std::vector<const Gazetteer::Place*> Gazetteer::Resolver::Fitting(const std::vector<const Place*>& named,
                                                                  const TownHit& hit, bool& denied) {
  denied = false;
  std::vector<Condition> conditions;
  for (const Place* p : named) conditions.push_back(ParseCondition(p->inner));
  const Numbers n = NumbersAgainst(hit, conditions);
  std::vector<const Place*> yes, unknown, unknownStreets, fallback;
  bool streetYes = false;
  for (size_t k = 0; k < named.size(); ++k) {
    const Condition& c = conditions[k];
    if (c.kind == Condition::Kind::Plain || c.kind == Condition::Kind::Other) {
      fallback.push_back(named[k]);
      continue;
    }
    const Fit fit = Evaluate(c, n, hit.rest);
    const bool street = c.kind == Condition::Kind::Streets;
    if (fit == Fit::Yes) yes.push_back(named[k]);
    streetYes = streetYes || (fit == Fit::Yes && street);
    if (fit == Fit::Unknown) (street ? unknownStreets : unknown).push_back(named[k]);
  }
  // A street and direction lead to one block: the towns whose lists were
  // cut short are not also it.
  if (!streetYes) unknown.insert(unknown.end(), unknownStreets.begin(), unknownStreets.end());
  std::vector<const Place*> chosen = yes;
  if (!yes.empty()) {
    chosen.insert(chosen.end(), unknown.begin(), unknown.end());
  } else {
    chosen = unknown;
    chosen.insert(chosen.end(), fallback.begin(), fallback.end());
  }
  // Numbers or names that no record of the town lists: every record of it
  // stays a candidate (one code for the town is still an answer).
  if (chosen.empty()) {
    chosen = named;
    denied = true;
  }
  return chosen;
}

std::vector<const Gazetteer::Place*> Gazetteer::Resolver::FindRecords(const std::vector<TownHit>& towns,
                                                                      AddressAnswer& answer) const {
  // Each town's records; a town that the block rules out ("仙台市五橋3-1":
  // 青葉区's 五橋 is 1 and 2丁目) gives way to one it fits.
  std::vector<std::pair<const TownHit*, std::vector<const Place*>>> fitting, denied;
  for (const TownHit& hit : towns) {
    const City& city = g_.cities_[hit.city];
    const std::string head = WithBuilding(city, hit.head, hit.rest);
    std::vector<const Place*> named;
    for (uint32_t i : city.places) {
      if (g_.places_[i].head == head) named.push_back(&g_.places_[i]);
    }
    bool none = false;
    auto chosen = Fitting(named, hit, none);
    (none ? denied : fitting).emplace_back(&hit, std::move(chosen));
  }
  if (fitting.empty()) fitting = std::move(denied);
  std::vector<const Place*> candidates;
  std::set<std::string> names;
  for (const auto& [hit, chosen] : fitting) {
    const City& city = g_.cities_[hit->city];
    candidates.insert(candidates.end(), chosen.begin(), chosen.end());
    answer.pref = g_.prefs_[city.pref].name;
    answer.city = city.name;
    for (const Place* p : chosen) names.insert(p->name.substr(0, p->name.find("（")));
  }
  if (names.size() == 1) answer.town = *names.begin();
  return candidates;
}

bool Gazetteer::Resolver::HasNumberedRecords(uint16_t city) const {
  const City& c = g_.cities_[city];
  return std::any_of(c.places.begin(), c.places.end(), [&](uint32_t i) {
    const Place& p = g_.places_[i];
    return p.head.empty() && !p.inner.empty() && ParseCondition(p.inner).kind == Condition::Kind::Numbers;
  });
}

bool Gazetteer::Resolver::FormerCity(const Reading& read, const std::vector<uint16_t>& within, std::string_view name,
                                     std::string_view rest, AddressAnswer& answer, size_t atLeast) const {
  static const std::string kOaza = "大字", kAza = "字";
  const bool oaza = StartsWith(rest, kOaza);
  if (oaza)
    rest.remove_prefix(kOaza.size());
  else if (StartsWith(rest, kAza))
    rest.remove_prefix(kAza.size());
  std::vector<TownHit> hits;
  size_t best = 0;
  for (uint16_t c : within) {
    auto [head, taken] = LongestHead(c, rest);
    if (head.empty() || taken <= atLeast || taken < best) continue;
    if (taken > best) hits.clear();
    best = taken;
    hits.push_back({c, 0, head, rest.substr(taken), oaza, std::string()});
  }
  if (hits.empty()) return false;
  AddressAnswer found;
  Decide(FindRecords(hits, found), found);
  answer.status = AddressAnswer::Status::CityNotFound;
  answer.candidates = std::move(found.candidates);
  answer.town = found.town;
  if (read.pref.pref >= 0) answer.pref = g_.prefs_[static_cast<size_t>(read.pref.pref)].name;
  answer.note =
      "「" + std::string(name) +
      "」は辞書にない市区町村名です（合併などで変わった名前かもしれません）。同じ名前の町域を候補にしました。";
  return true;
}

// "浦和市高砂": the cities whose name holds 浦和 (さいたま市浦和区), else
// every city of the prefecture written.
bool Gazetteer::Resolver::FormerCityOf(const Reading& read, AddressAnswer& answer) const {
  static const size_t kEnd = std::string_view("市").size();
  static const std::string kGun = "郡";
  const std::string_view after = read.AfterPref();
  size_t end = std::string_view::npos;
  for (std::string_view e : {"市", "町", "村"}) {
    const size_t at = after.find(e);
    if (at != std::string_view::npos && at >= kEnd && at <= 8 * kEnd && (end == std::string_view::npos || at < end))
      end = at;
  }
  if (end == std::string_view::npos) return false;
  const std::string_view name = after.substr(0, end + kEnd), rest = after.substr(end + kEnd);
  // A former town of a district lives on in a town name ("宮崎郡佐土原町下田島"
  // is 宮崎市佐土原町下田島).
  const size_t gun = name.find(kGun);
  const std::string_view local = gun == std::string_view::npos ? name : name.substr(gun + kGun.size());
  const std::string_view stem = local.substr(0, local.size() - kEnd);
  const std::string joined = std::string(local) + std::string(rest);
  std::vector<uint16_t> holding, inPref;
  for (uint16_t c = 0; c < g_.cities_.size(); ++c) {
    const City& city = g_.cities_[c];
    if (read.pref.pref >= 0 && city.pref != read.pref.pref) continue;
    inPref.push_back(c);
    if (!stem.empty() && city.fold.find(stem) != std::string::npos) holding.push_back(c);
  }
  // The cities that hold the name first, then the prefecture written (or
  // the country): only ever candidates.
  for (const auto* within : {&holding, &inPref}) {
    if (within->empty()) continue;
    // The joined name counts only where a town goes on past the former
    // town's name ("佐土原町下田島", not a town "沼" in "沼南町").
    if (gun != std::string_view::npos && FormerCity(read, *within, name, joined, answer, local.size())) return true;
    if (FormerCity(read, *within, name, rest, answer, 0)) return true;
  }
  return false;
}

// "浜松市北区細江町": a ward the city no longer has; its towns in the
// city's wards.
bool Gazetteer::Resolver::FormerWard(const std::vector<TownHit>& towns, const Reading& read,
                                     AddressAnswer& answer) const {
  static const std::string kKu = "区";
  if (towns.empty()) return false;
  const TownHit& first = towns.front();
  const City& city = g_.cities_[first.city];
  if (city.fold.size() <= first.cityLength || first.rest.empty()) return false;
  const size_t ku = first.rest.find(kKu);
  if (ku == std::string_view::npos || ku == 0 || ku > 4 * kKu.size()) return false;
  std::vector<uint16_t> wards;
  for (const TownHit& t : towns) wards.push_back(t.city);
  const std::string name = city.fold.substr(0, first.cityLength) + std::string(first.rest.substr(0, ku + kKu.size()));
  if (!FormerCity(read, wards, name, first.rest.substr(ku + kKu.size()), answer, 0)) return false;
  answer.pref = g_.prefs_[city.pref].name;
  return true;
}

// The offices of the cities read, or of the prefecture when no city is.
std::vector<uint16_t> Gazetteer::Resolver::OfficeCities(const Reading& read) const {
  std::vector<uint16_t> cities;
  for (const CityHit& hit : read.cities) cities.push_back(hit.city);
  if (cities.empty() && read.pref.pref >= 0) {
    for (uint16_t c = 0; c < g_.cities_.size(); ++c) {
      if (g_.cities_[c].pref == read.pref.pref) cities.push_back(c);
    }
  }
  return cities;
}

// The city's offices whose name the text holds.
std::vector<std::pair<std::string, uint32_t>> Gazetteer::Resolver::OfficesNamedIn(const City& city,
                                                                                  std::string_view text) {
  std::vector<std::pair<std::string, uint32_t>> found;
  const auto& offices = city.offices;
  for (size_t at = 0, n = 0; at < text.size(); at += n) {
    platform::DecodeUtf8At(text, at, &n);
    const std::string_view rest = text.substr(at), first = rest.substr(0, n);
    auto it = std::lower_bound(offices.begin(), offices.end(), first,
                               [](const auto& o, std::string_view k) { return std::string_view(o.first) < k; });
    for (; it != offices.end() && StartsWith(it->first, first); ++it) {
      if (StartsWith(rest, it->first)) found.push_back(*it);
    }
  }
  return found;
}

bool Gazetteer::Resolver::NamedOffice(const Reading& read, AddressAnswer& answer) const {
  const std::string_view text = line_;
  std::vector<const Place*> named;
  size_t best = 0;
  for (uint16_t c : OfficeCities(read)) {
    for (const auto& [name, i] : OfficesNamedIn(g_.cities_[c], text)) {
      if (name.size() < best) continue;
      const Place& p = g_.places_[i];
      if (name.size() > best) named.clear();
      best = name.size();
      if (std::find(named.begin(), named.end(), &p) == named.end()) named.push_back(&p);
    }
  }
  if (named.empty()) return false;
  // Offices of one name at several addresses: the one at the address written.
  std::vector<const Place*> there;
  for (const Place* p : named) {
    if (!p->head.empty() && text.find(p->head) != std::string_view::npos) there.push_back(p);
  }
  if (!there.empty()) named = there;
  std::set<std::string> codes;
  for (const Place* p : named) codes.insert(CurrentCodeText(p->codes));
  for (const Place* p : named) answer.candidates.push_back(g_.MatchOf(*p));
  const City& city = g_.cities_[named.front()->city];
  answer.pref = g_.prefs_[city.pref].name;
  answer.city = city.name;
  if (codes.size() > 1) {
    answer.status = AddressAnswer::Status::Several;
    answer.note = "同じ名前の事業所がいくつもあります。";
    return true;
  }
  answer.status = AddressAnswer::Status::Single;
  answer.candidates.resize(1);
  answer.town = named.front()->name;
  answer.townCode = TownCodeBeside(read);
  answer.note = "事業所の個別の郵便番号です。";
  if (!answer.townCode.empty()) answer.note += "町域の郵便番号は " + answer.townCode + " です。";
  return true;
}

// The code of the town an office stands in, when the address decides it.
std::string Gazetteer::Resolver::TownCodeBeside(const Reading& read) const {
  if (read.cities.empty()) return std::string();
  const std::vector<TownHit> towns = FindTowns(read.AfterPref(), read.cities);
  if (std::all_of(towns.begin(), towns.end(), [](const TownHit& t) { return t.head.empty(); })) return std::string();
  AddressAnswer town;
  Decide(FindRecords(towns, town), town);
  return town.status == AddressAnswer::Status::Single ? town.candidates.front().newCode : std::string();
}

void Gazetteer::Resolver::OfficeOfWrittenCode(const Reading& read, AddressAnswer& answer) const {
  if (written_.empty() || answer.status != AddressAnswer::Status::Single || answer.candidates.front().office ||
      answer.candidates.front().newCode == written_) {
    return;
  }
  for (const CityHit& hit : read.cities) {
    for (const auto& [name, i] : g_.cities_[hit.city].offices) {
      const Place& p = g_.places_[i];
      // The office's address, block and all, is on the line.
      if (CurrentCodeText(p.codes) != written_ || p.head.empty() || line_.find(p.head) == std::string::npos) continue;
      answer.townCode = answer.candidates.front().newCode;
      answer.candidates = {g_.MatchOf(p)};
      answer.town = p.name;
      answer.note = "書かれた郵便番号は住所にある事業所のものです。町域の郵便番号は " + answer.townCode + " です。";
      return;
    }
  }
}

void Gazetteer::Resolver::CheckWrittenCode(AddressAnswer& answer) const {
  using S = AddressAnswer::Status;
  const std::string& w = answer.writtenCode;
  if (w.empty()) return;
  const auto at = std::find_if(answer.candidates.begin(), answer.candidates.end(),
                               [&](const CodeMatch& m) { return m.newCode == w; });
  const bool among = at != answer.candidates.end();
  if (answer.status == S::Single) {
    if (among) {
      answer.codeAgrees = true;
      answer.note += "書かれた郵便番号 " + w + " と合っています。";
    } else {
      answer.status = S::CodeDisagrees;
      answer.note +=
          "書かれた郵便番号 " + w + " は住所の郵便番号 " + answer.candidates.front().newCode + " と合いません。";
    }
  } else if (answer.status == S::Several && among) {
    // The code written decides among the towns the address leaves open.
    const CodeMatch chosen = *at;
    answer.candidates = {chosen};
    answer.status = S::Single;
    answer.codeAgrees = true;
    answer.note = "住所だけでは決まらず、書かれた郵便番号 " + w + " で選びました。";
  } else if (answer.status == S::Several) {
    answer.status = S::CodeDisagrees;
    answer.note += "書かれた郵便番号 " + w + " は住所のどの候補とも合いません。";
  } else if (among) {
    std::rotate(answer.candidates.begin(), at, at + 1);
    answer.note += "書かれた郵便番号 " + w + " は候補の一つです。";
  } else {
    answer.note += "書かれた郵便番号 " + w + " は確かめられません。";
  }
}

// The kanji addresses a Latin one names ("2-8-1 Nishi-Shinjuku, Shinjuku-ku,
// Tokyo" -> 東京都新宿区西新宿2-8-1), through the readings of the cities and
// towns; none when no city's reading fits.
std::vector<std::string> Gazetteer::Resolver::LatinAsKanji(std::string_view text) const {
  const LatinAddress latin = ReadLatin(text);
  const std::vector<std::string>& words = latin.parts;
  if (words.empty()) return {};
  // English order puts the prefecture last; Japanese order first.
  std::vector<std::string> reversed(words.rbegin(), words.rend());
  std::vector<std::string> out = LatinInOrder(reversed, latin.numbers);
  if (out.empty()) out = LatinInOrder(words, latin.numbers);
  return out;
}

std::vector<std::string> Gazetteer::Resolver::LatinInOrder(const std::vector<std::string>& w,
                                                           const std::string& numbers) const {
  size_t i = 0;
  const int pref = LatinPrefecture(w[0]);
  if (pref >= 0) i = 1;
  std::vector<uint16_t> cities = LatinCities(w, i, pref);
  if (cities.empty()) return {};
  std::string rest;
  for (size_t k = i; k < w.size(); ++k) rest += w[k];
  const std::string townKey = rest.empty() ? std::string() : ReadingKey(rest);
  std::vector<std::string> out;
  for (uint16_t c : cities) {
    const City& city = g_.cities_[c];
    for (const auto& head : LatinTownHeads(c, townKey))
      out.push_back(g_.prefs_[city.pref].name + city.name + head + numbers);
  }
  return out;
}

// The cities whose reading the words from w[i] give (i moves past them):
// one word, or a designated city and its ward ("kyotoshi", "higashiyamaku";
// "sendai", "aobaku" with the city's 市 left out).
std::vector<uint16_t> Gazetteer::Resolver::LatinCities(const std::vector<std::string>& w, size_t& i, int pref) const {
  std::vector<uint16_t> cities;
  for (size_t span = std::min<size_t>(2, w.size() - i); span >= 1 && cities.empty(); --span) {
    cities = CitiesRead(ReadingKey(w[i] + (span == 2 ? w[i + 1] : std::string())), pref);
    if (cities.empty() && span == 2) cities = CitiesRead(ReadingKey(w[i] + "shi" + w[i + 1]), pref);
    if (!cities.empty()) i += span;
  }
  // "Kita-ku, Osaka": the prefecture's name is also its city's (大阪市北区,
  // not 堺市北区).
  if (pref >= 0 && cities.size() > 1) {
    const std::string prefKey = ReadingKey(w[0]);
    std::vector<uint16_t> named;
    std::copy_if(cities.begin(), cities.end(), std::back_inserter(named),
                 [&](uint16_t c) { return StartsWith(g_.cities_[c].reading, prefKey); });
    if (!named.empty()) cities = named;
  }
  return cities;
}

// The cities (of the prefecture, when one is known) whose reading the key is.
std::vector<uint16_t> Gazetteer::Resolver::CitiesRead(const std::string& key, int pref) const {
  std::vector<uint16_t> cities;
  for (uint16_t c = 0; c < g_.cities_.size(); ++c) {
    const City& city = g_.cities_[c];
    if ((pref < 0 || city.pref == pref) && ReadingFits(city.reading, key)) cities.push_back(c);
  }
  return cities;
}

// The names of the city's towns whose reading begins the key, the longest
// ("" when none does).
std::set<std::string> Gazetteer::Resolver::LatinTownHeads(uint16_t city, const std::string& townKey) const {
  std::set<std::string> heads;
  size_t best = 0;
  for (uint32_t pi : g_.cities_[city].places) {
    const Place& p = g_.places_[pi];
    if (p.reading.empty() || p.head.empty() || p.reading.size() < best || !StartsWith(townKey, p.reading)) continue;
    if (p.reading.size() > best) heads.clear();
    best = p.reading.size();
    heads.insert(p.head);
  }
  if (heads.empty()) heads.insert(std::string());
  return heads;
}

// Single, Several or None, by the codes of the candidates.
void Gazetteer::Resolver::Decide(const std::vector<const Place*>& candidates, AddressAnswer& answer) const {
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
  } else {
    answer.status = AddressAnswer::Status::Several;
    answer.note =
        citiesSeen.size() > 1 ? "同じ名前の市区町村がほかにもあります。" : "丁目・番地などで郵便番号が分かれます。";
  }
}

// Of several cities read, what they share: the prefecture, and the
// designated city whose wards they are ("浜松市").
void Gazetteer::Resolver::KeepShared(const std::vector<TownHit>& towns, AddressAnswer& answer) const {
  const City& first = g_.cities_[towns.front().city];
  const std::string city = first.name.substr(0, first.name.find("市") + std::string_view("市").size());
  bool samePref = true, sameCity = first.name.find("市") != std::string::npos;
  for (const TownHit& t : towns) {
    const City& c = g_.cities_[t.city];
    samePref = samePref && c.pref == first.pref;
    sameCity = sameCity && c.name.substr(0, city.size()) == city;
  }
  if (!samePref) answer.pref.clear();
  answer.city = samePref && sameCity ? city : std::string();
}

// The city's code for towns it does not list is a candidate, not an
// answer: the town written may be one the dictionary lacks, or misspelt.
// A city with one code for all of it is decided by its name.
void Gazetteer::Resolver::DecideCity(const std::vector<TownHit>& towns, AddressAnswer& answer) const {
  std::set<std::string> codes;
  for (const TownHit& hit : towns) {
    const City& city = g_.cities_[hit.city];
    std::set<std::string> cityCodes;
    for (uint32_t i : city.places) cityCodes.insert(CurrentCodeText(g_.places_[i].codes));
    for (uint32_t i : city.places) {
      const Place& p = g_.places_[i];
      if (!p.head.empty() || !p.inner.empty()) continue;
      // The wards of one city often share the code: it is listed once.
      if (codes.insert(CurrentCodeText(p.codes)).second) answer.candidates.push_back(g_.MatchOf(p));
      break;
    }
    answer.pref = g_.prefs_[city.pref].name;
    answer.city = city.name;
    if (towns.size() == 1 && cityCodes.size() == 1 && !answer.candidates.empty()) {
      answer.status = AddressAnswer::Status::Single;
      return;
    }
  }
  if (towns.size() > 1) KeepShared(towns, answer);
  if (codes.empty()) {
    answer.note = "町域が分かりません。";
  } else if (codes.size() > 1) {
    answer.status = AddressAnswer::Status::Several;
    answer.note = "同じ名前の市区町村がほかにもあります。";
  } else {
    answer.status = AddressAnswer::Status::CityOnly;
    answer.note = towns.front().rest.empty() ? "町域が書かれていません。市区町村の「以下に掲載がない場合」の番号です。"
                                             : "町域が辞書にありません。市区町村の「以下に掲載がない場合」の番号です。";
  }
}

}  // namespace kovant::dict
