// Address to postal code: the walk from prefecture to city to town.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "dict/current.h"
#include "dict/listorder.h"
#include "dict/reader.h"

namespace kovant::dict {

// The text listed for a town record without a name.
inline constexpr std::string_view kNoTownEntry = " 以下に該当する住所がない場合";

struct CityTableEntry {
  int16_t CityNo = 0;
  int32_t TownListPos = 0;
};

struct CityListing {
  std::vector<ListEntry> entries;         // list order; item data = sequence number k (1-based, file order)
  std::vector<CityTableEntry> cityTable;  // entry k-1 belongs to item k
  std::string heading;                    // "住所２（ N 件）"
  std::optional<Error> readError;         // entries hold what was read before it
};

struct TownListing {
  std::vector<ListEntry> entries;  // list order; item data = the town record's position
  std::string heading;             // "住所３（ N 件）", N the entries listed
  size_t officesLeftOut = 0;       // offices of the city not listed
  std::optional<Error> readError;
};

// The cities of prefecture prefNo (the item data of its List2 row).
CityListing LoadCities(const std::string& dictionaryPath, const PrefectureTable& table, int prefNo);

// The towns of one city of the last LoadCities. The city's offices (which
// can outnumber its towns) are listed only with withOffices, after the
// towns and sorted among themselves; otherwise they are only counted.
// Without withReadings the entries' reading keys stay "": the window asks
// TownReadingKeys for them when its head search first needs them.
TownListing LoadTowns(const std::string& dictionaryPath, const CityTableEntry& city, bool withOffices = false,
                      bool withReadings = true);

// The reading keys of the town records at positions, in their order, as
// LoadTowns gives them.
std::vector<std::string> TownReadingKeys(const std::string& dictionaryPath, const std::vector<int64_t>& positions);

// The town step: address1 and address2 are the chosen prefecture and city,
// entry the chosen town entry. supplement is what the supplement field holds
// now; it is emptied first unless inputClear is set, and replaced by the
// parenthesised part of the town name when it has one.
Result<CurrentResult> ShowTownResult(const std::string& dictionaryPath, const std::string& address1,
                                     const std::string& address2, const ListEntry& entry, const std::string& supplement,
                                     bool inputClear);

}  // namespace kovant::dict
