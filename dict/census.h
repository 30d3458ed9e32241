// What a dictionary holds, counted over every town record: for
// `kovant-lookup --info` and for comparing two dictionaries on update.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dict/reader.h"

namespace kovant::dict {

struct Census {
  DicHeader header;
  size_t towns = 0, offices = 0, cities = 0;
  std::vector<int32_t> codes;  // the distinct current codes (7 digits as a number), ascending
};

Result<Census> TakeCensus(const std::string& dictionaryPath);

// Codes in after but not in before, and the other way round.
struct CodeChanges {
  size_t added = 0, removed = 0;
};
CodeChanges CompareCodes(const std::vector<int32_t>& before, const std::vector<int32_t>& after);

// The folder whose KOVANT.DIC the programs use: KOVANT_HOME as it stands
// when set; otherwise, among the folders platform::DictionaryFolders()
// lists, the one whose dictionary is valid and has the newest data date (the
// first of equals); the executable's folder when none holds one. A data date
// in the future (IsFutureDate) never wins over a plausible one: a file dated
// 2099 would otherwise shadow every genuine update.
struct DictionaryChoice {
  std::string folder;
  // Each dictionary passed over for its date, as a sentence for --info and
  // the window.
  std::vector<std::string> passedOver;
};
DictionaryChoice ChooseDictionaryFolder(std::string_view today);
std::string LocateDictionaryFolder();

}  // namespace kovant::dict
