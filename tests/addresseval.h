// The evaluation set of the address resolver, made from Japan Post's own
// files and never from the resolver: the street addresses of the office
// file (prefecture, city, town and block as the file writes them), each
// with the one area code that KEN_ALL gives its town when it gives it only
// one, and the same addresses written the other ways people write them.
#pragma once

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "dict/address.h"
#include "update/kenall.h"

namespace kovant::test {

struct AddressCase {
  std::string address;
  std::string expected;  // "NNN-NNNN"
  std::string style;     // how it is written
};

struct AddressSet {
  std::vector<AddressCase> cases;  // towns with one area code
  // Office addresses left out, and why: the town has several area codes
  // (a block decides), has buildings with codes of their own, or is not
  // in KEN_ALL under that name.
  size_t severalCodes = 0, buildings = 0, unknownTown = 0, offices = 0;
  std::vector<std::string> severalAddresses;             // the first kind, for the check below
  std::map<std::string, std::set<std::string>> codesOf;  // address -> its town's codes
};

inline std::string HalfWidthDigits(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size();) {
    // "０".."９" are EF BC 90..99; "－" is EF BC 8D.
    if (i + 2 < s.size() && static_cast<unsigned char>(s[i]) == 0xEF && static_cast<unsigned char>(s[i + 1]) == 0xBC) {
      const auto c = static_cast<unsigned char>(s[i + 2]);
      if (c >= 0x90 && c <= 0x99) {
        out += static_cast<char>('0' + (c - 0x90));
        i += 3;
        continue;
      }
      if (c == 0x8D) {
        out += '-';
        i += 3;
        continue;
      }
    }
    out += s[i++];
  }
  return out;
}

// "１丁目２－３" as "1-2-3": the 丁目 written as a dash.
inline std::string Dashed(const std::string& block) {
  std::string s = HalfWidthDigits(block);
  static const std::string kChome = "丁目", kBanchi = "番地", kBan = "番", kGo = "号";
  for (const std::string* mark : {&kChome, &kBanchi, &kBan}) {
    for (size_t at; (at = s.find(*mark)) != std::string::npos;) {
      const bool more = at + mark->size() < s.size() && s[at + mark->size()] >= '0' && s[at + mark->size()] <= '9';
      s.replace(at, mark->size(), more ? "-" : "");
    }
  }
  if (auto at = s.find(kGo); at != std::string::npos) s.erase(at, kGo.size());
  return s;
}

inline AddressSet MakeAddressSet(const std::vector<tools::KenRow>& towns,
                                 const std::vector<std::vector<std::string>>& officeRows) {
  static const std::string kOpen = "（", kFloor = "階）", kBasement = "地階・階層不明）";
  using Key = std::tuple<std::string, std::string, std::string>;
  std::map<Key, std::set<std::string>> codes;
  std::map<std::pair<std::string, std::string>, std::vector<std::string>> buildingHeads;
  for (const auto& t : towns) {
    const std::string head = t.town.substr(0, t.town.find(kOpen));
    codes[{t.pref, t.city, head}].insert(t.newCode.substr(0, 3) + "-" + t.newCode.substr(3));
    if (t.town.find(kFloor) != std::string::npos || t.town.find(kBasement) != std::string::npos) {
      buildingHeads[{t.pref, t.city}].push_back(head);
    }
  }
  AddressSet set;
  for (const auto& f : officeRows) {
    if (f.size() < 8) continue;
    ++set.offices;
    const std::string &pref = f[3], &city = f[4], &town = f[5], &block = f[6];
    auto it = codes.find({pref, city, town});
    if (town.empty() || it == codes.end()) {
      ++set.unknownTown;
      continue;
    }
    bool building = false;
    for (const auto& head : buildingHeads[{pref, city}])
      building = building || (head.size() > town.size() && head.rfind(town, 0) == 0);
    if (building) {
      ++set.buildings;
      continue;
    }
    if (it->second.size() > 1) {
      ++set.severalCodes;
      set.severalAddresses.push_back(pref + city + town + block);
      set.codesOf[set.severalAddresses.back()] = it->second;
      continue;
    }
    const std::string code = *it->second.begin();
    set.cases.push_back({pref + city + town + block, code, "as in the office file"});
    set.cases.push_back({city + town + block, code, "without the prefecture"});
    set.cases.push_back(
        {pref + " " + city + " " + town + " " + HalfWidthDigits(block), code, "half-width, with blanks"});
    set.cases.push_back({pref + city + town + Dashed(block), code, "blocks as 1-2-3"});
    const std::string local = dict::CityLocalName(city);
    if (local != city) set.cases.push_back({pref + local + town + block, code, "without the district (郡)"});
  }
  return set;
}

struct Tally {
  size_t right = 0, several = 0, wrong = 0, none = 0;
  size_t Total() const { return right + several + wrong + none; }
};

// right: the one code expected; several: candidates that include it;
// wrong: a single other code, or candidates without it; none: no answer,
// or only the city's (市区町村のみ).
inline Tally Score(const dict::Gazetteer& g, const std::vector<AddressCase>& cases,
                   std::vector<std::string>* wrongOnes) {
  Tally t;
  for (const auto& c : cases) {
    const auto a = g.Resolve(c.address);
    bool holds = false;
    for (const auto& m : a.candidates) holds = holds || m.newCode == c.expected;
    if (a.status == dict::AddressAnswer::Status::Single && holds) {
      ++t.right;
    } else if (a.status == dict::AddressAnswer::Status::Several && holds) {
      ++t.several;
    } else if (a.status == dict::AddressAnswer::Status::None || a.status == dict::AddressAnswer::Status::CityOnly) {
      ++t.none;
      if (wrongOnes) wrongOnes->push_back("none: " + c.address + " " + c.expected);
    } else {
      ++t.wrong;
      if (wrongOnes) {
        wrongOnes->push_back(
            "wrong: " + c.address + " " + c.expected + " got " +
            (a.candidates.empty() ? std::string() : a.candidates[0].newCode + " " + a.candidates[0].town));
      }
    }
  }
  return t;
}

// ---- The set written by hand (tests/data/addresses_handwritten_*.tsv) ----

struct HandCase {
  // expect: 一致, 複数, 市区町村のみ, 該当なし, or 候補 (the codes offered,
  // never as 一致).
  std::string address, expect, style;
  std::set<std::string> codes;
  bool codeDisagrees = false;  // the code written on the line is not the address's
};

// The set's rows after its header: address, expect, codes (separated by
// commas or blanks),
// style, why. Empty when the file is not there.
inline std::vector<HandCase> ReadHandwrittenSet(const std::string& path) {
  std::ifstream in(path);
  std::vector<HandCase> cases;
  std::string line;
  for (bool header = true; std::getline(in, line); header = false) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (header || line.empty()) continue;
    std::vector<std::string> f;
    for (size_t start = 0;;) {
      const size_t tab = line.find('\t', start);
      f.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
    if (f.size() < 4) continue;
    HandCase c{f[0], f[1], f[3], {}, f.size() > 4 && f[4].find("disagrees") != std::string::npos};
    for (size_t start = 0; start < f[2].size();) {
      const size_t comma = std::min(f[2].find_first_of(", ", start), f[2].size());
      if (comma > start) c.codes.insert(f[2].substr(start, comma - start));
      start = comma + 1;
    }
    cases.push_back(std::move(c));
  }
  return cases;
}

enum class HandVerdict { Right, Unsure, Wrong };

struct HandTally {
  size_t right = 0, unsure = 0, wrong = 0;
  size_t Total() const { return right + unsure + wrong; }
  void Add(HandVerdict v) { ++(v == HandVerdict::Right ? right : v == HandVerdict::Unsure ? unsure : wrong); }
};

inline const char* StatusName(dict::AddressAnswer::Status s) {
  using S = dict::AddressAnswer::Status;
  switch (s) {
    case S::Single: return "一致";
    case S::Several: return "複数";
    case S::CityOnly: return "市区町村のみ";
    case S::CodeDisagrees: return "番号不一致";
    case S::CityNotFound: return "市区町村名なし";
    case S::None: break;
  }
  return "該当なし";
}

// Right: the status expected, with the code expected (一致), every code
// left open among the candidates (複数, 市区町村のみ). Wrong: 一致 with
// another code, or 一致 where the text decides none. Anything else is
// unsure: the answer says it needs a look.
// A code written on the line that the address contradicts must be said:
// 一致 there is wrong, the address's own code under 番号不一致 is right.
inline HandVerdict Judge(const HandCase& c, const dict::AddressAnswer& a) {
  std::set<std::string> got;
  for (const auto& m : a.candidates) got.insert(m.newCode);
  const bool single = a.status == dict::AddressAnswer::Status::Single;
  if (c.codeDisagrees) {
    if (single) return HandVerdict::Wrong;
    return a.status == dict::AddressAnswer::Status::CodeDisagrees && got == c.codes ? HandVerdict::Right
                                                                                    : HandVerdict::Unsure;
  }
  if (c.expect == "候補") {
    if (single) return HandVerdict::Wrong;
    return std::includes(got.begin(), got.end(), c.codes.begin(), c.codes.end()) ? HandVerdict::Right
                                                                                 : HandVerdict::Unsure;
  }
  if (c.expect == "一致") {
    if (single) return got == c.codes ? HandVerdict::Right : HandVerdict::Wrong;
    return HandVerdict::Unsure;
  }
  if (single) return HandVerdict::Wrong;
  // A former city's name: "not found" with the towns of that name offered
  // is what 該当なし asked for, and more.
  if (c.expect == "該当なし" && a.status == dict::AddressAnswer::Status::CityNotFound) return HandVerdict::Right;
  if (StatusName(a.status) != c.expect) return HandVerdict::Unsure;
  const bool holds = std::includes(got.begin(), got.end(), c.codes.begin(), c.codes.end());
  return holds ? HandVerdict::Right : HandVerdict::Unsure;
}

inline std::string DescribeMiss(const HandCase& c, const dict::AddressAnswer& a, HandVerdict v) {
  std::string codes;
  for (const auto& m : a.candidates) codes += (codes.empty() ? "" : ",") + m.newCode;
  std::string expected;
  for (const auto& code : c.codes) expected += (expected.empty() ? "" : ",") + code;
  return std::string(v == HandVerdict::Wrong ? "WRONG " : "unsure ") + c.address + " | expected " + c.expect + " " +
         expected + " | got " + StatusName(a.status) + " " + codes + " " + a.note;
}

}  // namespace kovant::test
