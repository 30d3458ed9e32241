// Any bytes as KOVANT.DIC: loading, searching, walking and picking never
// crash or hang; failures come back as errors.
//
// Each step opens the file afresh, as the window does, and every opening
// costs a block cache: the work per input is bounded (one search, pick,
// prefecture, city and town, steered by the input's last two bytes) so that
// the fuzzer spends its time on new shapes rather than on walking one shape
// everywhere.
#include <algorithm>
#include <cstdint>
#include <string>

#include "dict/address.h"
#include "dict/codec.h"
#include "dict/codeindex.h"
#include "dict/search.h"
#include "dict/walk.h"
#include "fuzztemp.h"
#include "platform/sjis.h"

using namespace kovant;

namespace {

// The oracle: every listed name is the name of the record its item data
// points at, never a neighbour's.
void CheckNames(const std::string& path, const dict::TownListing& towns) {
  auto dic = dict::DicFile::Open(path);
  if (!dic) return;
  for (size_t i = 0; i < towns.entries.size() && i < 64; ++i) {
    const auto& entry = towns.entries[i];
    auto rec = (*dic)->ReadTown(entry.itemData);
    if (!rec) return;
    auto name = dict::ExpandText(rec->Name, rec->NameLength);
    const std::string want = rec->NameLength == 0 ? std::string(dict::kNoTownEntry)
                             : name               ? platform::SjisToUtf8(*name)
                                                  : std::string();
    if (name && entry.text != want) __builtin_trap();
  }
}

// One prefecture and one city the input names (the first byte of the end's
// pair), its towns with or without offices, and one town's details.
void Walk(const std::string& path, const dict::PrefectureTable& table, uint8_t steer) {
  if (table.rows.empty()) return;
  const auto& pref = table.rows[steer % table.rows.size()];
  auto cities = dict::LoadCities(path, table, pref.PrefNo);
  if (cities.cityTable.empty()) return;
  auto towns = dict::LoadTowns(path, cities.cityTable[steer % cities.cityTable.size()], steer % 2 == 0);
  CheckNames(path, towns);
  if (towns.entries.empty()) return;
  (void)dict::ShowTownResult(path, pref.Name, "city", towns.entries[steer % towns.entries.size()], "supplement",
                             steer % 3 == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::WriteInput("KOVANT.DIC", data, size);
  auto loaded = dict::LoadDictionary(path);
  if (!loaded.ok() || loaded->versionMismatch) return 0;
  const dict::PrefectureTable& table = loaded->table;
  // Codes taken from the input's last bytes, so the fuzzer can steer them.
  std::string digits;
  for (size_t i = size; i-- > 0 && digits.size() < 7;) digits += static_cast<char>('0' + data[i] % 10);
  // One search of 3, 5 or 7 digits, as the last byte says, and one pick.
  const uint8_t last = size > 0 ? data[size - 1] : 0;
  std::vector<std::string> codes;
  const size_t len = size_t{3} + 2 * (last % 3);
  if (digits.size() >= len) {
    codes.push_back(digits.substr(0, len));
    auto found = dict::SearchPostalCode(path, table, codes.back());
    if (!found.rows.empty()) (void)dict::ShowPickedResult(path, found.rows[found.rows.size() / 2], "");
  }
  // The batch index reads every record of the same file, the names of the
  // country its readings too: each for half the inputs, as the last byte's
  // tens say (its units give a digit).
  const unsigned heavy = last / 10;
  if (heavy & 1) {
    if (auto index = dict::CodeIndex::Build(path); index.ok()) (void)index->FindMany(codes);
  }
  if (heavy & 2) {
    if (auto names = dict::Gazetteer::Load(path); names.ok()) {
      (void)names->Resolve(std::string(reinterpret_cast<const char*>(data), std::min<size_t>(size, 64)));
      (void)names->Find(digits, 3);
    }
  }
  Walk(path, table, size > 1 ? data[size - 2] : 0);
  return 0;
}
