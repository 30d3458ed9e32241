// Dictionaries built from the bundled sample and from Japan Post's files
// that the project carries (KOVANT_KENALL and KOVANT_JIGYOSYO name others).
#pragma once

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dicfixture.h"
#include "update/builder.h"

namespace kovant::test {

inline std::string SamplePath() { return std::string(KOVANT_SOURCE_DIR) + "/data/sample_towns.csv"; }

// The rows of one of Japan Post's files (zip or CSV) as parse reads them.
template <typename Parse>
std::vector<tools::KenRow> RowsOf(const std::string& path, Parse parse) {
  auto in = tools::ReadInputFile(path);
  EXPECT_TRUE(in.ok()) << (in.ok() ? "" : in.error().description);
  if (!in) return {};
  auto rows = parse(in->bytes, path);
  EXPECT_TRUE(rows.ok()) << (rows.ok() ? "" : rows.error().description);
  return rows.ok() ? *rows : std::vector<tools::KenRow>{};
}

// The joined town rows of a KEN_ALL file.
inline std::vector<tools::KenRow> TownsOf(const std::string& path) {
  auto joined = tools::JoinSplitRows(RowsOf(path, tools::ParseKenAll), path);
  EXPECT_TRUE(joined.ok()) << (joined.ok() ? "" : joined.error().description);
  return joined.ok() ? *joined : std::vector<tools::KenRow>{};
}

// Builds a dictionary from towns into folder/KOVANT.DIC and returns its path.
inline std::string BuildInto(const std::string& folder, const std::vector<tools::KenRow>& towns,
                             tools::BuildReport* reportOut = nullptr, const std::string& dataDate = "2026-01-01") {
  tools::BuildReport report;
  auto dic = tools::BuildDictionary(towns, {dataDate, "test"}, report);
  EXPECT_TRUE(dic.ok()) << (dic.ok() ? "" : dic.error().description);
  std::string path = folder + "/KOVANT.DIC";
  RawDic raw;
  raw.bytes = dic.ok() ? *dic : std::string();
  raw.Write(path);
  if (reportOut) *reportOut = report;
  return path;
}

inline std::string SampleOfficesPath() { return std::string(KOVANT_SOURCE_DIR) + "/data/sample_offices.csv"; }

// The office rows of an office file.
inline std::vector<tools::KenRow> OfficesOf(const std::string& path) { return RowsOf(path, tools::ParseOffices); }

inline std::string SampleDictionary(const std::string& name) {
  return BuildInto(TempFolder(name), TownsOf(SamplePath()));
}

// Japan Post's town file.
inline std::string NationalFile() {
  const char* p = std::getenv("KOVANT_KENALL");
  return p && *p ? std::string(p) : std::string(KOVANT_SOURCE_DIR) + "/data/japanpost/ken_all.zip";
}

// Japan Post's office file.
inline std::string NationalOfficeFile() {
  const char* p = std::getenv("KOVANT_JIGYOSYO");
  return p && *p ? std::string(p) : std::string(KOVANT_SOURCE_DIR) + "/data/japanpost/jigyosyo.zip";
}

#define KOVANT_NEEDS_NATIONAL_FILE(var) const std::string var = ::kovant::test::NationalFile()

}  // namespace kovant::test
