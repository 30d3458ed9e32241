#include "tools/builder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <set>
#include <unordered_map>

#include "dict/codec.h"
#include "dict/format.h"
#include "platform/sjis.h"

namespace kovant::tools {
namespace {

using namespace kovant::dict;

void PutI16(std::string& out, int v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
void PutI32(std::string& out, int64_t v) {
  uint32_t u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) out += static_cast<char>((u >> (8 * i)) & 0xFF);
}
void PutText(std::string& out, std::string_view text, size_t width) {
  std::string sjis = platform::Utf8ToSjis(text);
  std::string_view cut = platform::SjisPrefix(sjis, width);
  out += cut;
  out.append(width - cut.size(), '\0');
}
void PatchI32(std::string& out, size_t offset, int64_t v) {
  uint32_t u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) out[offset + static_cast<size_t>(i)] = static_cast<char>((u >> (8 * i)) & 0xFF);
}

// Half-width ASCII has no place in a coded name: it would read as codes.
std::string WidenAscii(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size() * 3);
  for (unsigned char c : utf8) {
    if (c == ' ') {
      out += "　";
    } else if (c > 0x20 && c < 0x7F) {
      char32_t w = 0xFF00 + (c - 0x20);  // U+FF01.. for '!'..
      out += static_cast<char>(0xE0 | (w >> 12));
      out += static_cast<char>(0x80 | ((w >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (w & 0x3F));
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
    std::string sjis = platform::Utf8ToSjis(WidenAscii(utf8), &lossy);
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
        if (sjis.compare(i, text.size(), text) == 0) {
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

// Characters of a UTF-8 text.
std::vector<std::string> Characters(const std::string& s) {
  std::vector<std::string> out;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    out.push_back(s.substr(i, n));
    i += n;
  }
  return out;
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
  std::array<int, 10> flags{};
  std::vector<const KenRow*> towns;
};

}  // namespace

Result<std::string> EncodeName(const std::string& utf8) { return TheEncoder().Encode(utf8); }

Result<std::string> EncodeTownName(const std::string& utf8, size_t maxBytes, bool* shortened) {
  *shortened = false;
  auto whole = EncodeName(utf8);
  if (!whole || whole->size() <= maxBytes) return whole;
  *shortened = true;
  auto chars = Characters(utf8);
  for (size_t k = chars.size(); k-- > 0;) {
    std::string head;
    int open = 0;
    for (size_t i = 0; i < k; ++i) {
      head += chars[i];
      if (chars[i] == "（") ++open;
      if (chars[i] == "）" && open > 0) --open;
    }
    std::string candidate = head + "…" + (open > 0 ? "）" : "");
    auto coded = EncodeName(candidate);
    if (!coded) return coded;
    if (coded->size() <= maxBytes) return coded;
  }
  return std::string();
}

Result<std::string> BuildDictionary(const std::vector<KenRow>& towns, const BuildOptions& options,
                                    BuildReport& report) {
  report = BuildReport{};
  // Cities in order of first appearance within their prefecture.
  std::vector<City> cities;
  std::map<std::pair<int, std::string>, size_t> cityIndex;  // (prefecture, code or name) -> city
  std::array<std::set<int>, kPrefectureCount + 1> prefixes;
  for (const KenRow& row : towns) {
    int prefNo = std::stoi(row.lgCode.substr(0, 2));
    // Offices name their city as KEN_ALL does; cities that only offices have
    // get their own record.
    auto key = std::make_pair(prefNo, row.city);
    auto [it, inserted] = cityIndex.try_emplace(key, cities.size());
    if (inserted) {
      City c;
      c.prefNo = prefNo;
      c.name = row.city;
      cities.push_back(std::move(c));
    }
    City& city = cities[it->second];
    city.towns.push_back(&row);
    city.flags[static_cast<size_t>(row.oldCode[2] - '0')] |= 1;
    city.flags[static_cast<size_t>(row.newCode[2] - '0')] |= 2;
    prefixes[static_cast<size_t>(prefNo)].insert(std::stoi(row.newCode.substr(0, 2)));
    prefixes[static_cast<size_t>(prefNo)].insert(std::stoi(row.oldCode.substr(0, 2)));
    (row.office ? report.offices : report.towns)++;
  }
  std::stable_sort(cities.begin(), cities.end(), [](const City& a, const City& b) { return a.prefNo < b.prefNo; });
  if (cities.size() > 32767) return Error{"市区町村が多すぎます。"};
  for (size_t i = 0; i < cities.size(); ++i) cities[i].cityNo = static_cast<int>(i + 1);
  report.cities = cities.size();

  std::string out;
  out.reserve(towns.size() * 24 + 65536);
  PutI32(out, kDicVersion);
  out.append(12, '\0');
  PutText(out, options.dataDate, 20);
  PutText(out, options.description, 64);

  // Prefecture records; their city positions are patched in below.
  std::array<size_t, kPrefectureCount + 1> cityPosField{};
  for (int p = 1; p <= kPrefectureCount; ++p) {
    const auto& set = prefixes[static_cast<size_t>(p)];
    if (set.size() > kMaxPrefixes) {
      return Error{PrefectureNames()[static_cast<size_t>(p - 1)] + ": 郵便番号の上２桁が " +
                   std::to_string(set.size()) + " 種類あり、15 を超えています。"};
    }
    auto name = EncodeName(WithoutKen(PrefectureNames()[static_cast<size_t>(p - 1)]));
    if (!name || name->size() > kPrefNameField) return Error{"都道府県名を符号化できません。"};
    out += static_cast<char>(p);
    cityPosField[static_cast<size_t>(p)] = out.size();
    PutI32(out, 0);
    out += static_cast<char>(set.size());
    std::string prefixBytes(kMaxPrefixes, '\0');
    size_t k = 0;
    for (int v : set) prefixBytes[k++] = static_cast<char>(v);
    out += prefixBytes;
    out += static_cast<char>(name->size());
    out += *name;
  }

  // City records, the end marker, then every city's town chain.
  std::vector<size_t> townPosField(cities.size());
  std::array<bool, kPrefectureCount + 1> seen{};
  for (size_t i = 0; i < cities.size(); ++i) {
    const City& c = cities[i];
    if (!seen[static_cast<size_t>(c.prefNo)]) {
      seen[static_cast<size_t>(c.prefNo)] = true;
      PatchI32(out, cityPosField[static_cast<size_t>(c.prefNo)], static_cast<int64_t>(out.size()) + 1);
    }
    auto name = EncodeName(c.name);
    if (!name) return Error{name.error().description};
    if (name->size() > kCityNameField) return Error{"市区町村名が長すぎます: " + c.name};
    out += static_cast<char>(c.prefNo);
    PutI16(out, c.cityNo);
    townPosField[i] = out.size();
    PutI32(out, 0);
    for (int d = 0; d < 5; ++d) out += static_cast<char>(c.flags[static_cast<size_t>(d)] + 10 * c.flags[static_cast<size_t>(d + 5)]);
    out += static_cast<char>(name->size());
    out += *name;
  }
  size_t endMarker = out.size() + 1;
  out += static_cast<char>(0xFF);
  out.append(kCityFixed - 1, '\0');
  // A prefecture without cities points at the end marker: its chain is empty.
  for (int p = 1; p <= kPrefectureCount; ++p) {
    if (!seen[static_cast<size_t>(p)]) PatchI32(out, cityPosField[static_cast<size_t>(p)], static_cast<int64_t>(endMarker));
  }

  for (size_t i = 0; i < cities.size(); ++i) {
    const City& c = cities[i];
    PatchI32(out, townPosField[i], static_cast<int64_t>(out.size()) + 1);
    for (const KenRow* row : c.towns) {
      bool cut = false;
      auto name = EncodeTownName(row->town, kTownNameField - (row->office ? 1 : 0), &cut);
      if (!name) return Error{"行 " + std::to_string(row->line) + ": " + name.error().description};
      if (row->office) *name += dict::kOfficeMark;
      if (cut) report.shortened.push_back(row->newCode + " " + row->town);
      int tail = row->oldCode.size() == 3 ? std::stoi(row->oldCode.substr(1, 2)) * 100 : std::stoi(row->oldCode.substr(1, 4));
      int64_t number = (row->oldCode.size() == 3 ? 100000000LL : 200000000LL) +
                       (row->oldCode[0] - '0') * 10000000LL + std::stoll(row->newCode);
      PutI16(out, c.cityNo);
      PutI16(out, tail);
      PutI32(out, number);
      out += static_cast<char>(name->size());
      out += *name;
    }
  }
  // The closing record ends the last chain (no city has number 0).
  out.append(kTownFixed, '\0');
  if (out.size() > 0x7FFFFFFF) return Error{"辞書が大きすぎます。"};
  return out;
}

}  // namespace kovant::tools
