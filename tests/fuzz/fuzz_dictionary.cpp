// Any bytes as KOVANT.DIC: loading, searching, walking and picking never
// crash or hang; failures come back as errors.
//
// Each step opens the file afresh, as the window does, and every opening
// costs a block cache: the work per input is bounded (the loading, then one
// of the code searches with the index, the names of the country, or a walk
// of two prefectures, a few cities and towns, steered by the input's second
// last byte) so that the fuzzer spends its time on new shapes rather than on
// walking one shape everywhere.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

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

// The first prefecture and one the input names (its second last byte), two
// cities of each, their towns with and without offices, two towns' details.
void Walk(const std::string& path, const dict::PrefectureTable& table, uint8_t steer) {
  const size_t n = table.rows.size();
  for (size_t p : {size_t{0}, size_t{steer} % std::max<size_t>(n, 1)}) {
    if (p >= n) return;
    const auto& pref = table.rows[p];
    auto cities = dict::LoadCities(path, table, pref.PrefNo);
    for (size_t c = 0; c < cities.cityTable.size() && c < 2; ++c) {
      auto towns = dict::LoadTowns(path, cities.cityTable[c], c % 2 == 0);
      CheckNames(path, towns);
      for (size_t t = 0; t < towns.entries.size() && t < 2; ++t) {
        (void)dict::ShowTownResult(path, pref.Name, "city", towns.entries[t], "supplement", t % 2 == 0);
      }
    }
    if (p == 0 && steer % std::max<size_t>(n, 1) == 0) return;
  }
}

// The searches of 3, 5 and 7 digits with a pick of one row of each, the
// batch index over the same file, and the oracle: the window's search from
// the index lists, for a checked section, the rows of the record scan.
void Codes(const std::string& path, const dict::PrefectureTable& table, const std::string& digits) {
  std::vector<std::string> codes;
  for (size_t len : {3u, 5u, 7u}) {
    if (digits.size() < len) break;
    codes.push_back(digits.substr(0, len));
    auto found = dict::SearchPostalCode(path, table, codes.back());
    if (!found.rows.empty()) (void)dict::ShowPickedResult(path, found.rows[found.rows.size() / 2], "");
  }
  auto index = dict::CodeIndex::Build(path);
  if (!index.ok()) return;
  (void)index->FindMany(codes);
  for (const std::string& code : codes) {
    auto listed = index->ListCode(code, table);
    if (!listed.ok() || !listed->has_value()) continue;
    auto scanned = dict::ScanPostalCode(path, table, code);
    if (scanned.readError) continue;
    if ((*listed)->size() != scanned.rows.size()) __builtin_trap();
    for (size_t r = 0; r < scanned.rows.size(); ++r) {
      if ((**listed)[r].itemData != scanned.rows[r].itemData) __builtin_trap();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::WriteInput("KOVANT.DIC", data, size);
  // Codes from the input's last seven bytes, in order, an ASCII digit
  // standing for itself: codes the fuzzer takes from comparisons, or a
  // seed ending in "0600000", then name towns the file has.
  std::string digits;
  for (size_t i = size - std::min<size_t>(size, 7); i < size; ++i) {
    digits += static_cast<char>('0' + (data[i] + 2) % 10);
  }
  // The steps below each open the file again and read much of it; all three
  // on every input took four fifths of its time: one runs for each input.
  const size_t step = fuzz::Pick(data, size, 3);
  if (step == 1) {
    // The names of the country, its readings too. The load reads the
    // prefectures itself: reading them here as well cost a tenth of the
    // fuzzer's rate.
    if (auto names = dict::Gazetteer::Load(path); names.ok()) {
      (void)names->Resolve(std::string(reinterpret_cast<const char*>(data), std::min<size_t>(size, 64)));
      (void)names->Find(digits, 3);
    }
    return 0;
  }
  auto loaded = dict::LoadDictionary(path);
  if (!loaded.ok() || loaded->versionMismatch) return 0;
  if (step == 0) {
    Codes(path, loaded->table, digits);
  } else {
    Walk(path, loaded->table, size > 1 ? data[size - 2] : 0);
  }
  return 0;
}
