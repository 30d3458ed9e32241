// The evaluation set of the address resolver, made from Japan Post's own
// files and never from the resolver: the street addresses of the office
// file (prefecture, city, town and block as the file writes them), each
// with the one area code that KEN_ALL gives its town when it gives it only
// one, and the same addresses written the other ways people write them.
#pragma once

#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "dict/address.h"
#include "tools/kenall.h"

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
// wrong: a single other code, or candidates without it; none: no answer.
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
    } else if (a.status == dict::AddressAnswer::Status::None) {
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

}  // namespace kovant::test
