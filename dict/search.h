// Postal code to address: the search over KOVANT.DIC and the pick of a row.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dict/current.h"
#include "dict/listorder.h"
#include "dict/reader.h"
#include "dict/rowlist.h"

namespace kovant::dict {

inline constexpr std::string_view kWrongLengthMessage = "入力された桁数が正しくありません。";
inline constexpr std::string_view kNotDigitsMessage = "数字を入力してください。";
inline constexpr std::string_view kSupplementHint = "必要に応じて補足を入力してください。";

struct SearchOutcome {
  // A refused input: the warning to show; nothing was searched.
  std::string warning;
  // Matching towns, "prefecture city town" rows in list order, item data the
  // town record's position. Kept as far as it got when the dictionary failed.
  RowList rows;
  // "該　当　住　所 （N 件）" once the search ran.
  std::string heading;
  // The dictionary failed while searching (for ReadErrorMessage).
  std::optional<Error> readError;
};

// Searches a 3-, 5- or 7-digit current or former postal code. A file
// with a checked code section answers from its index, kept in memory
// from search to search while the file stays the same; any other file,
// or a table not the file's own, is scanned record by record.
SearchOutcome SearchPostalCode(const std::string& dictionaryPath, const PrefectureTable& table, std::string_view code);
// The same, always by the scan: what the index must answer alike.
SearchOutcome ScanPostalCode(const std::string& dictionaryPath, const PrefectureTable& table, std::string_view code);

// "該　当　住　所 （N 件）"
std::string ResultHeading(size_t count);

// What picking a search row makes the current result. supplement is what
// the supplement field holds; it is kept when the town name has no "（".
Result<CurrentResult> ShowPickedResult(const std::string& dictionaryPath, RowView row, const std::string& supplement);

}  // namespace kovant::dict
