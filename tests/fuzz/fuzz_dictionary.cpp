// Any bytes as KOVANT.DIC: loading, searching, walking and picking never
// crash or hang; failures come back as errors.
#include <algorithm>
#include <cstdint>
#include <string>

#include "dict/address.h"
#include "dict/codec.h"
#include "dict/codeindex.h"
#include "dict/search.h"
#include "dict/walk.h"
#include "platform/sjis.h"
#include "fuzztemp.h"

using namespace kovant;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::WriteInput("KOVANT.DIC", data, size);
  auto loaded = dict::LoadDictionary(path);
  if (!loaded.ok() || loaded->versionMismatch) return 0;
  const dict::PrefectureTable& table = loaded->table;
  // Codes taken from the input's last bytes, so the fuzzer can steer them.
  std::string digits;
  for (size_t i = size; i-- > 0 && digits.size() < 7;) digits += static_cast<char>('0' + data[i] % 10);
  std::vector<std::string> codes;
  for (size_t len : {3u, 5u, 7u}) {
    if (digits.size() < len) break;
    codes.push_back(digits.substr(0, len));
    auto found = dict::SearchPostalCode(path, table, codes.back());
    for (size_t i = 0; i < found.rows.size() && i < 4; ++i) (void)dict::ShowPickedResult(path, found.rows[i], "");
  }
  // The batch index reads every record of the same file, the names of the
  // country its readings too.
  if (auto index = dict::CodeIndex::Build(path); index.ok()) (void)index->FindMany(codes);
  if (auto names = dict::Gazetteer::Load(path); names.ok()) {
    (void)names->Resolve(std::string(reinterpret_cast<const char*>(data), std::min<size_t>(size, 64)));
    (void)names->Find(digits, 3);
  }
  for (const auto& pref : table.rows) {
    auto cities = dict::LoadCities(path, table, pref.PrefNo);
    for (size_t c = 0; c < cities.cityTable.size() && c < 3; ++c) {
      auto towns = dict::LoadTowns(path, cities.cityTable[c], c % 2 == 0);
      // The oracle: every listed name is the name of the record its item
      // data points at, never a neighbour's.
      for (const auto& entry : towns.entries) {
        auto dic = dict::DicFile::Open(path);
        if (!dic) break;
        auto rec = (*dic)->ReadTown(entry.itemData);
        if (!rec) break;
        auto name = dict::ExpandText(rec->Name, rec->NameLength);
        const std::string want = rec->NameLength == 0 ? std::string(dict::kNoTownEntry)
                                 : name               ? platform::SjisToUtf8(*name)
                                                      : std::string();
        if (name && entry.text != want) __builtin_trap();
      }
      for (size_t t = 0; t < towns.entries.size() && t < 3; ++t) {
        (void)dict::ShowTownResult(path, pref.Name, "city", towns.entries[t], "supplement", t % 2 == 0);
      }
    }
  }
  return 0;
}
