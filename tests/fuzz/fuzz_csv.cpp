// Any bytes as Japan Post's files (CSV, or a zip holding one): the builder
// refuses or builds, and what it builds reads back.
#include <cstdint>
#include <string>

#include "dict/reader.h"
#include "fuzztemp.h"
#include "update/builder.h"

using namespace kovant;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::WriteInput("KEN_ALL.CSV", data, size);
  auto input = tools::ReadInputFile(path);
  if (!input.ok()) return 0;
  auto offices = tools::ParseOffices(input->bytes, "fuzz");
  auto rows = tools::ParseKenAll(input->bytes, "fuzz");
  if (!rows.ok()) return 0;
  auto joined = tools::JoinSplitRows(*rows, "fuzz");
  if (!joined.ok()) return 0;
  auto towns = std::move(*joined);
  if (offices.ok()) towns.insert(towns.end(), offices->begin(), offices->end());
  tools::BuildReport report;
  auto dic = tools::BuildDictionary(towns, {"2026-01-01", "fuzz"}, report);
  if (!dic.ok()) return 0;
  // Read back from memory: the file the builder writes holds the same bytes.
  auto built = dict::DicFile::FromBytes(*dic);
  auto loaded = dict::LoadDictionary(*built);
  if (!loaded.ok() || loaded->table.rows.size() != 47) __builtin_trap();  // the builder's own output must load
  return 0;
}
