// From names to codes across the country: every town's name and reading
// in memory, for the search by name and for addresses written as people
// write them ("東京都千代田区大手町１－１－１", "札幌市中央区大通西5丁目").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dict/codeindex.h"
#include "dict/reader.h"

namespace kovant::dict {

// What an address resolved to. It never guesses: an address that could
// belong to two codes is Several, with every candidate; one whose city is
// known and town is not is CityOnly, with the city's code for towns not
// listed ("以下に掲載がない場合") as its candidate, never Single.
//
// CodeDisagrees: a code written on the line is not the address's (the
// address's code is the candidate; writtenCode names the other).
// CityNotFound: no city of that name (a former one: 浦和市, 浜松市北区);
// the towns of that name nearby are candidates, never an answer.
struct AddressAnswer {
  enum class Status { Single, Several, CityOnly, None, CodeDisagrees, CityNotFound };
  Status status = Status::None;
  std::string pref, city, town;       // the parts of the address recognised
  std::vector<CodeMatch> candidates;  // Single: the one; Several: each, its town telling it apart
  std::string note;                   // why it is Several or None
  std::string writtenCode;            // "NNN-NNNN" written on the line, "" when none
  bool codeAgrees = false;            // the written code is the answer's
  std::string townCode;               // an office's answer: the code of the town it stands in
};

// A listed town name as address text and Japan Post's note on it:
// "名駅（その他）" is 名駅 and その他, "以下に掲載がない場合" no text and that
// note. A floor ("…タワー（５２階）") is address text: "…タワー５２階".
struct TownText {
  std::string text, note;
};
TownText SplitTownNote(std::string_view town);
// Whether a town's parenthesised part is a floor (address text, not a note).
bool IsFloorText(std::string_view inner);

// The part of a city name after its district ("虻田郡洞爺湖町" -> "洞爺湖町");
// the whole name when it has none (郡山市 begins with 郡 but is no district).
std::string CityLocalName(const std::string& city);

class Gazetteer {
 public:
  static Result<Gazetteer> Load(const std::string& dictionaryPath);

  // Towns (and offices, after them) whose name or reading holds text (a
  // town name, a part of one, a city and town together, kana or romaji),
  // best first: the name itself, then names beginning so, names holding
  // it, readings.
  std::vector<CodeMatch> Find(std::string_view text, size_t limit) const;

  AddressAnswer Resolve(std::string_view address) const;

  size_t TownCount() const { return places_.size(); }
  // Why the file's readings were set aside ("" when they were not): names
  // are found as before, readings not at all.
  const std::string& SetAside() const { return setAside_; }

 private:
  struct Place {
    TownHead codes;
    uint16_t city = 0;
    bool office = false;
    std::string name;     // UTF-8, as listed
    std::string head;     // folded, before "（"
    std::string inner;    // folded, inside the parentheses
    std::string reading;  // folded
    bool floor = false;   // a floor of a building with codes of its own
    uint8_t ri = 0;       // where the り of "…通り" is in head (0: none), often left out
    bool parts = false;   // head names several parts ("湯本29地割、湯本30地割", "種市第1地割~第3地割")
  };
  struct City {
    uint8_t pref = 0;
    std::string name, fold, local;  // local: after the district (郡), folded
    std::string reading;
    std::vector<uint32_t> places;  // towns only, file order
    // Each name an office in it goes by ("堺市役所", "堺区役所"), and the office.
    std::vector<std::pair<std::string, uint32_t>> offices;
  };
  struct Pref {
    std::string name, fold;
  };
  CodeMatch MatchOf(const Place& p) const;
  // Load's and Resolve's steps (address.cpp).
  class Loader;
  class Resolver;
  std::optional<AddressAnswer> ResolveLatin(const Resolver& r, std::string_view text) const;

  std::vector<Pref> prefs_;
  std::vector<City> cities_;
  std::vector<Place> places_;
  std::string setAside_;
};

}  // namespace kovant::dict
