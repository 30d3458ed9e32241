#include "update/builder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <unordered_map>

#include "dict/codec.h"
#include "dict/codeindex.h"
#include "dict/format.h"
#include "dict/fold.h"
#include "dict/readingsection.h"
#include "dict/sections.h"
#include "platform/sjis.h"

namespace kovant::tools {
namespace {

using namespace kovant::dict;

// The build's names and readings are tens of thousands of short texts of a
// few thousand characters: each character converted once.
std::string ToSjis(std::string_view utf8, bool* lossy = nullptr) {
  thread_local platform::SjisEncoder encoder;
  return encoder.Encode(utf8, lossy);
}

void PutText(std::string& out, std::string_view text, size_t width) {
  std::string sjis = ToSjis(text);
  std::string_view cut = platform::SjisPrefix(sjis, width);
  out += cut;
  out.append(width - cut.size(), '\0');
}

// Half-width ASCII has no place in a coded name: it would read as codes.
std::string WidenAscii(const std::string& utf8) {
  // Names almost never hold any.
  if (std::none_of(utf8.begin(), utf8.end(), [](char c) { return c >= 0x20 && c < 0x7F; })) return utf8;
  std::string out;
  out.reserve(utf8.size() * 3);
  for (unsigned char c : utf8) {
    if (c == ' ') {
      out += "　";
    } else if (c > 0x20 && c < 0x7F) {
      platform::AppendUtf8(out, 0xFF00 + (c - 0x20));  // U+FF01.. for '!'..
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

struct Encoder {
  std::unordered_map<uint16_t, uint8_t> single;          // double-byte char -> code
  std::vector<std::pair<std::string, uint8_t>> longest;  // multi-char codes, longest first

  Encoder() {
    const auto& table = CodeTable();
    for (int c = 1; c < kCodeCount; ++c) {
      const std::string& s = table[static_cast<size_t>(c)];
      if (s.size() == 2) {
        single[static_cast<uint16_t>((static_cast<unsigned char>(s[0]) << 8) | static_cast<unsigned char>(s[1]))] =
            static_cast<uint8_t>(c);
      } else {
        longest.emplace_back(s, static_cast<uint8_t>(c));
      }
    }
    std::stable_sort(longest.begin(), longest.end(),
                     [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
  }

  Result<std::string> Encode(const std::string& utf8) const {
    bool lossy = false;
    std::string sjis = ToSjis(WidenAscii(utf8), &lossy);
    if (lossy) return Error{"Shift-JIS にない文字があります: " + utf8};
    std::string out;
    out.reserve(sjis.size());
    size_t i = 0;
    while (i < sjis.size()) {
      unsigned char c = static_cast<unsigned char>(sjis[i]);
      if (!platform::IsSjisLeadByte(c) || i + 1 >= sjis.size()) {
        return Error{"全角にできない文字があります: " + utf8};
      }
      bool done = false;
      for (const auto& [text, code] : longest) {
        // Their first characters tell them apart from nearly every name.
        if (sjis[i] == text[0] && sjis[i + 1] == text[1] && sjis.compare(i, text.size(), text) == 0) {
          out += static_cast<char>(code);
          i += text.size();
          done = true;
          break;
        }
      }
      if (done) continue;
      uint16_t key = static_cast<uint16_t>((c << 8) | static_cast<unsigned char>(sjis[i + 1]));
      if (auto it = single.find(key); it != single.end()) {
        out += static_cast<char>(it->second);
      } else {
        out.append(sjis, i, 2);
      }
      i += 2;
    }
    return out;
  }
};

const Encoder& TheEncoder() {
  static const Encoder encoder;
  return encoder;
}

std::string WithoutKen(const std::string& pref) {
  static const std::string kKen = "県";
  if (pref.size() > kKen.size() && pref.compare(pref.size() - kKen.size(), kKen.size(), kKen) == 0) {
    return pref.substr(0, pref.size() - kKen.size());
  }
  return pref;
}

struct City {
  int prefNo = 0;
  int cityNo = 0;
  std::string name;
  std::string kana;  // the first town row's city reading
  std::array<int, 10> flags{};
  std::vector<KenRow*> towns;  // WriteTowns lets their names go as it writes them
};

// A reading as the section keeps it: full-width katakana in Shift-JIS.
std::string StoredReading(const std::string& halfWidth) {
  std::string text = dict::FullWidthKana(halfWidth);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return ToSjis(text);
}

// A town's reading without what its name lost to NormalizeTownName: the
// notes and the parenthesised part, which the reading writes "(...)", and
// "の次に..." ("ﾉﾂｷﾞﾆ..."). An office's is its name's reading.
std::string TownReading(const KenRow& row) {
  if (row.office) return StoredReading(row.townKana);
  if (row.town.empty()) return {};
  std::string kana = row.townKana.substr(0, row.townKana.find('('));
  if (auto next = kana.find("ﾉﾂｷﾞﾆ"); next != std::string::npos) kana.resize(next);
  return StoredReading(kana);
}

// The longest head of text, cut where a list item ends ("、") when one fits,
// else at a character, that encodes with "…", a closing "）" when one is
// open, and tail into maxBytes. Lengths grow with the head, so a binary
// search over the cut points keeps long names linear-logarithmic.
Result<std::optional<std::string>> ShortenedHead(const std::string& text, const std::string& tail, size_t maxBytes) {
  static const std::string kItem = "、", kOpen = "（", kClose = "）", kEllipsis = "…";
  std::vector<size_t> cuts;   // byte offsets of character boundaries
  std::vector<int> openAt;    // parentheses open before each cut
  std::vector<size_t> items;  // indexes into cuts where a "、" follows
  int open = 0;
  for (size_t i = 0; i < text.size();) {
    cuts.push_back(i);
    openAt.push_back(open);
    if (text.compare(i, kItem.size(), kItem) == 0) items.push_back(cuts.size() - 1);
    if (text.compare(i, kOpen.size(), kOpen) == 0) ++open;
    if (text.compare(i, kClose.size(), kClose) == 0 && open > 0) --open;
    unsigned char c = static_cast<unsigned char>(text[i]);
    i += c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
  }
  auto encode = [&](size_t k) {
    return EncodeName(text.substr(0, cuts[k]) + kEllipsis + (openAt[k] > 0 ? kClose : std::string()) + tail);
  };
  // The encoding at the last candidate cut that fits, or none.
  auto search = [&](const std::vector<size_t>& candidates) -> Result<std::optional<std::string>> {
    std::optional<std::string> best;
    size_t lo = 0, hi = candidates.size();
    while (lo < hi) {
      size_t mid = lo + (hi - lo) / 2;
      auto coded = encode(candidates[mid]);
      if (!coded) return coded.error();
      if (coded->size() <= maxBytes) {
        best = std::move(*coded);
        lo = mid + 1;
      } else {
        hi = mid;
      }
    }
    return best;
  };
  auto byItem = search(items);
  if (!byItem) return byItem;
  if (byItem->has_value()) return byItem;
  std::vector<size_t> all(cuts.size());
  for (size_t k = 0; k < all.size(); ++k) all[k] = k;
  return search(all);
}

// Characters outside Shift-JIS that Japan Post's files may hold, with the
// form every Japanese system uses in their place.
std::string WithShiftJisForms(std::string text) {
  using Form = std::pair<std::string_view, std::string_view>;
  static const std::vector<Form> kMissing = [] {
    static const Form kForms[] = {{"𠮷", "吉"}, {"𡈽", "土"}, {"𣘺", "橋"}, {"𥔎", "崎"}, {"𠀋", "丈"},
                                  {"𦚰", "脇"}, {"㟢", "崎"}, {"塚", "塚"}, {"﨑", "崎"}, {"髙", "高"}};
    std::vector<Form> missing;
    for (const Form& f : kForms) {
      bool lossy = false;
      platform::Utf8ToSjis(f.first, &lossy);
      if (lossy) missing.push_back(f);  // CP932 has the others (NEC and IBM extensions)
    }
    return missing;
  }();
  for (const auto& [from, to] : kMissing) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
      text.replace(at, from.size(), to);
    }
  }
  return text;
}

// The rows a dictionary can hold, each with its whole name encoded once.
// Rows whose names have no Shift-JIS form even after the usual
// substitutions are left out and reported, not fatal to the whole build.
struct UsableRows {
  std::vector<KenRow> rows;
  std::vector<std::string> coded;  // by index into rows
};

// The rows are kept in place, those left out dropped: no second copy.
UsableRows SelectUsableRows(std::vector<KenRow> towns, BuildReport& report) {
  UsableRows usable;
  std::map<std::string, bool> cityEncodes;
  usable.rows = std::move(towns);
  usable.coded.reserve(usable.rows.size());
  size_t kept = 0;
  for (size_t i = 0; i < usable.rows.size(); ++i) {
    KenRow row = std::move(usable.rows[i]);
    const size_t split = row.keepTail <= row.town.size() ? row.town.size() - row.keepTail : row.town.size();
    const std::string tail = WithShiftJisForms(row.town.substr(split));
    row.town = WithShiftJisForms(row.town.substr(0, split)) + tail;
    row.keepTail = tail.size();
    row.city = WithShiftJisForms(row.city);
    auto cityOk = cityEncodes.find(row.city);
    if (cityOk == cityEncodes.end()) cityOk = cityEncodes.emplace(row.city, EncodeName(row.city).ok()).first;
    auto whole = EncodeName(row.town);
    if (!whole || !cityOk->second) {
      report.skipped.push_back(std::to_string(row.line) + ": " + row.newCode + " " + row.city + row.town);
      continue;
    }
    usable.rows[kept++] = std::move(row);
    usable.coded.push_back(std::move(*whole));
  }
  usable.rows.resize(kept);
  return usable;
}

// The cities with their towns, numbered in file order, and what each
// prefecture's record needs.
struct Grouped {
  std::vector<City> cities;
  std::array<std::set<int>, kPrefectureCount + 1> prefixes;  // first two digits of the codes
  std::array<std::string, kPrefectureCount + 1> prefKana;
};

// Cities in order of first appearance within their prefecture.
Result<Grouped> GroupCities(std::vector<KenRow>& rows, BuildReport& report) {
  Grouped g;
  std::map<std::pair<int, std::string>, size_t> cityIndex;  // (prefecture, name) -> city
  // The codes were checked to be digits when read.
  auto twoDigits = [](const std::string& digits) { return (digits[0] - '0') * 10 + (digits[1] - '0'); };
  size_t last = SIZE_MAX;  // the city of the row before: rows come city by city
  for (KenRow& row : rows) {
    const int prefNo = twoDigits(row.lgCode);
    if (last == SIZE_MAX || g.cities[last].prefNo != prefNo || g.cities[last].name != row.city) {
      // Offices name their city as KEN_ALL does; cities that only offices
      // have get their own record.
      auto [it, inserted] = cityIndex.try_emplace(std::make_pair(prefNo, row.city), g.cities.size());
      if (inserted) {
        City c;
        c.prefNo = prefNo;
        c.name = row.city;
        g.cities.push_back(std::move(c));
      }
      last = it->second;
    }
    City& city = g.cities[last];
    if (city.kana.empty()) city.kana = row.cityKana;
    std::string& prefKana = g.prefKana[static_cast<size_t>(prefNo)];
    if (prefKana.empty()) prefKana = row.prefKana;
    city.towns.push_back(&row);
    city.flags[static_cast<size_t>(row.oldCode[2] - '0')] |= kDigitHasFormer;
    city.flags[static_cast<size_t>(row.newCode[2] - '0')] |= kDigitHasCurrent;
    std::set<int>& prefixes = g.prefixes[static_cast<size_t>(prefNo)];
    prefixes.insert(twoDigits(row.newCode));
    prefixes.insert(twoDigits(row.oldCode));
    (row.office ? report.offices : report.towns)++;
  }
  std::stable_sort(g.cities.begin(), g.cities.end(), [](const City& a, const City& b) { return a.prefNo < b.prefNo; });
  if (g.cities.size() > 32767) return Error{"市区町村が多すぎます。"};
  for (size_t i = 0; i < g.cities.size(); ++i) g.cities[i].cityNo = static_cast<int>(i + 1);
  report.cities = g.cities.size();
  for (size_t i = 0; i < g.cities.size(); ++i) {
    if (i == 0 || g.cities[i].prefNo != g.cities[i - 1].prefNo) ++report.prefectures;
  }
  return g;
}

// The file as it is written: its bytes, and the reading of each record by
// its position.
struct DicWriter {
  std::string out;
  std::vector<std::pair<int64_t, std::string>> readings;  // (record position, reading)
  // The position the next record gets (positions are 1-based).
  int64_t NextPos() const { return static_cast<int64_t>(out.size()) + 1; }
};

void WriteHeader(DicWriter& w, const BuildOptions& options) {
  AppendI32(w.out, kDicVersion);
  w.out.append(12, '\0');
  PutText(w.out, options.dataDate, 20);
  PutText(w.out, options.description, 64);
}

// Prefecture records; the offsets of their city positions, by prefecture
// number, for WriteCities to fill in.
Result<std::array<size_t, kPrefectureCount + 1>> WritePrefectures(DicWriter& w, const Grouped& g) {
  std::array<size_t, kPrefectureCount + 1> cityPosField{};
  for (int p = 1; p <= kPrefectureCount; ++p) {
    const auto& set = g.prefixes[static_cast<size_t>(p)];
    const std::string& prefName = PrefectureNames()[static_cast<size_t>(p - 1)];
    if (set.size() > kMaxPrefixes) {
      return Error{prefName + ": 郵便番号の上２桁が " + std::to_string(set.size()) + " 種類あり、15 を超えています。"};
    }
    auto name = EncodeName(WithoutKen(prefName));
    if (!name || name->size() > kPrefNameField) return Error{"都道府県名を符号化できません。"};
    w.readings.emplace_back(w.NextPos(), StoredReading(g.prefKana[static_cast<size_t>(p)]));
    w.out += static_cast<char>(p);
    cityPosField[static_cast<size_t>(p)] = w.out.size();
    AppendI32(w.out, 0);
    w.out += static_cast<char>(set.size());
    std::string prefixBytes(kMaxPrefixes, '\0');
    size_t k = 0;
    for (int v : set) prefixBytes[k++] = static_cast<char>(v);
    w.out += prefixBytes;
    w.out += static_cast<char>(name->size());
    w.out += *name;
  }
  return cityPosField;
}

// City records and the end marker; the offsets of their town positions, by
// city, for WriteTowns to fill in.
Result<std::vector<size_t>> WriteCities(DicWriter& w, const std::vector<City>& cities,
                                        const std::array<size_t, kPrefectureCount + 1>& cityPosField) {
  std::vector<size_t> townPosField(cities.size());
  std::array<bool, kPrefectureCount + 1> seen{};
  for (size_t i = 0; i < cities.size(); ++i) {
    const City& c = cities[i];
    if (!seen[static_cast<size_t>(c.prefNo)]) {
      seen[static_cast<size_t>(c.prefNo)] = true;
      PatchI32(w.out, cityPosField[static_cast<size_t>(c.prefNo)], w.NextPos());
    }
    auto name = EncodeName(c.name);
    if (!name) return Error{name.error().description};
    if (name->size() > kCityNameField) return Error{"市区町村名が長すぎます: " + c.name};
    w.readings.emplace_back(w.NextPos(), StoredReading(c.kana));
    w.out += static_cast<char>(c.prefNo);
    AppendI16(w.out, c.cityNo);
    townPosField[i] = w.out.size();
    AppendI32(w.out, 0);
    for (int d = 0; d < 5; ++d)
      w.out += static_cast<char>(c.flags[static_cast<size_t>(d)] + 10 * c.flags[static_cast<size_t>(d + 5)]);
    w.out += static_cast<char>(name->size());
    w.out += *name;
  }
  const int64_t endMarker = w.NextPos();
  w.out += static_cast<char>(city::kEndMark);
  w.out.append(kCityFixed - 1, '\0');
  // A prefecture without cities points at the end marker: its chain is empty.
  for (int p = 1; p <= kPrefectureCount; ++p) {
    if (!seen[static_cast<size_t>(p)]) PatchI32(w.out, cityPosField[static_cast<size_t>(p)], endMarker);
  }
  return townPosField;
}

// Every city's town chain, then the closing record that ends the last one
// (no city has number 0).
Result<bool> WriteTowns(DicWriter& w, const std::vector<City>& cities, const std::vector<size_t>& townPosField,
                        UsableRows& usable, BuildReport& report) {
  for (size_t i = 0; i < cities.size(); ++i) {
    const City& c = cities[i];
    PatchI32(w.out, townPosField[i], w.NextPos());
    for (KenRow* row : c.towns) {
      bool cut = false;
      const size_t room = kTownNameField - (row->office ? 1 : 0);
      std::string& whole = usable.coded[static_cast<size_t>(row - usable.rows.data())];
      auto name =
          whole.size() <= room ? Result<std::string>(whole) : EncodeTownName(row->town, room, &cut, row->keepTail);
      if (!name) return Error{"行 " + std::to_string(row->line) + ": " + name.error().description};
      if (row->office) *name += dict::kOfficeMark;
      if (cut) report.shortened.push_back(row->newCode + " " + row->town);
      auto codes = EncodeCodes(row->oldCode, row->newCode);
      if (!codes) return Error{"行 " + std::to_string(row->line) + ": 郵便番号を符号化できません。"};
      w.readings.emplace_back(w.NextPos(), TownReading(*row));
      AppendI16(w.out, c.cityNo);
      AppendI16(w.out, codes->OldCodeTail);
      AppendI32(w.out, codes->CodeNumber);
      w.out += static_cast<char>(name->size());
      w.out += *name;
      // Written: the row's texts go, and the readings still to come reuse
      // their memory rather than add to the peak.
      std::string().swap(row->town);
      std::string().swap(row->townKana);
      std::string().swap(whole);
    }
  }
  w.out.append(kTownFixed, '\0');
  return true;
}

// After the records: the code index, made by reading the records back as
// every reader will, and the readings.
Result<bool> AppendIndexSections(DicWriter& w, BuildReport& report) {
  auto index = dict::CodeIndex::Build(dict::DicFile::FromBytes(w.out), false);
  if (!index) return Error{"作った辞書を読めません: " + index.error().description};
  auto codeSection = index->MakeCodeSection();
  if (!codeSection) return codeSection.error();
  std::string readingSection = dict::MakeReadingSection(std::move(w.readings));
  report.sectionBytes = codeSection->size();
  report.readingBytes = readingSection.size();
  return dict::AppendSections(w.out,
                              {{std::string(dict::kCodeSectionTag), std::move(*codeSection)},
                               {std::string(dict::kReadingSectionTag), std::move(readingSection)}},
                              dict::kCodeSectionTag);
}

}  // namespace

Result<std::string> EncodeName(const std::string& utf8) { return TheEncoder().Encode(utf8); }

Result<std::string> EncodeTownName(const std::string& utf8, size_t maxBytes, bool* shortened, size_t keepTail) {
  *shortened = false;
  auto whole = EncodeName(utf8);
  if (!whole || whole->size() <= maxBytes) return whole;
  *shortened = true;
  if (keepTail > 0 && keepTail < utf8.size()) {
    // Shorten the address before the kept part (an office's name), so the
    // name survives; only when that cannot fit is the whole text cut.
    const std::string tail = utf8.substr(utf8.size() - keepTail);
    auto kept = ShortenedHead(utf8.substr(0, utf8.size() - keepTail), tail, maxBytes);
    if (!kept) return kept.error();
    if (kept->has_value()) return **kept;
  }
  auto cut = ShortenedHead(utf8, std::string(), maxBytes);
  if (!cut) return cut.error();
  return cut->value_or(std::string());
}

namespace {

// The records; the rows and what was made from them are let go on return,
// before the index sections are made.
Result<bool> WriteRecords(DicWriter& w, std::vector<KenRow> towns, const BuildOptions& options, BuildReport& report) {
  UsableRows usable = SelectUsableRows(std::move(towns), report);
  auto grouped = GroupCities(usable.rows, report);
  if (!grouped) return grouped.error();
  // The cities and prefectures have their readings now; the rows' copies
  // are let go, so what follows reuses their memory.
  for (KenRow& row : usable.rows) {
    std::string().swap(row.prefKana);
    std::string().swap(row.cityKana);
  }
  // Made once at their final size: grown, each briefly held itself twice.
  size_t bytes = 65536 + grouped->cities.size() * static_cast<size_t>(kCityFixed + kCityNameField);
  for (const std::string& coded : usable.coded) bytes += static_cast<size_t>(kTownFixed) + 1 + coded.size();
  w.out.reserve(bytes);
  w.readings.reserve(static_cast<size_t>(kPrefectureCount) + grouped->cities.size() + usable.rows.size());
  WriteHeader(w, options);
  auto cityPosField = WritePrefectures(w, *grouped);
  if (!cityPosField) return cityPosField.error();
  auto townPosField = WriteCities(w, grouped->cities, *cityPosField);
  if (!townPosField) return townPosField.error();
  return WriteTowns(w, grouped->cities, *townPosField, usable, report);
}

}  // namespace

Result<std::string> BuildDictionary(std::vector<KenRow> towns, const BuildOptions& options, BuildReport& report) {
  report = BuildReport{};
  DicWriter w;
  if (auto written = WriteRecords(w, std::move(towns), options, report); !written) return written.error();
  if (w.out.size() > 0x7FFFFFFF) return Error{"辞書が大きすぎます。"};
  if (auto appended = AppendIndexSections(w, report); !appended) return appended.error();
  return std::move(w.out);
}

bool IsDataDate(const std::string& t) {
  if (t.size() != 10 || t[4] != '-' || t[7] != '-') return false;
  for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
    if (t[i] < '0' || t[i] > '9') return false;
  }
  int month = std::stoi(t.substr(5, 2)), day = std::stoi(t.substr(8, 2));
  return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

Result<BuiltDictionary> BuildFromInputs(InputFile towns, const std::string& townsSource, const InputFile* offices,
                                        const std::string& officesSource, const std::string& dataDate) {
  BuiltDictionary built;
  // One vector for the rows of both files, a line a row near enough: made
  // once, where growing it for the offices briefly held it twice.
  std::vector<KenRow> rows;
  rows.reserve(LineCount(towns.bytes) + (offices ? LineCount(offices->bytes) : 0));
  if (auto read = AppendKenAll(std::move(towns.bytes), townsSource, rows); !read) return read.error();
  built.townRows = rows.size();
  auto joined = JoinSplitRows(std::move(rows), townsSource);
  if (!joined) return joined.error();
  rows = std::move(*joined);
  if (offices) {
    const size_t before = rows.size();
    if (auto read = AppendOffices(offices->bytes, officesSource, rows); !read) return read.error();
    built.officeRows = rows.size() - before;
  }
  BuildOptions options;
  built.dataDate = dataDate.empty() ? towns.date : dataDate;
  options.dataDate = built.dataDate;
  options.description = towns.name + " " + std::to_string(built.townRows) + " rows" + (offices ? " +offices" : "");
  auto dic = BuildDictionary(std::move(rows), options, built.report);
  if (!dic) return Error{townsSource + ": " + dic.error().description};
  built.bytes = std::move(*dic);
  return built;
}

}  // namespace kovant::tools
