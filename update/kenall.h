// Japan Post's KEN_ALL.CSV (and the office file) as the dictionary builder reads it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "dict/address.h"
#include "dict/result.h"

namespace kovant::tools {

using dict::CityLocalName;  // its home is the dictionary's name handling
using dict::Error;
using dict::Result;

// One row of the national file, text in UTF-8.
struct KenRow {
  size_t line = 0;      // 1-based line in the file
  std::string lgCode;   // local government code, 5 digits
  std::string oldCode;  // former code, 3 or 5 digits (blanks removed)
  std::string newCode;  // current code, 7 digits
  std::string pref, city, town;
  bool office = false;  // a row of the office file
  size_t keepTail = 0;  // bytes at the end of town kept whole when it must be shortened
  // Readings as the file gives them (half-width katakana): the town's, or
  // for an office its name's; an office row has no prefecture or city one.
  std::string prefKana, cityKana, townKana;
};

// The 47 prefecture names in code order (index 0 is 北海道).
const std::vector<std::string>& PrefectureNames();

// Bytes of the CSV inside a zip archive or of a plain CSV file. date is the
// data's date ("YYYY-MM-DD") from the archive entry or the file.
struct InputFile {
  std::string bytes;
  std::string date;
  std::string name;  // the CSV's own name
};
Result<InputFile> ReadInputFile(const std::string& path);
// The same for bytes already in memory (a download); path names them in
// messages, name and date stand when they are not inside a zip. A CSV in a
// zip is inflated up to maxBytes, counted as it comes out (what the zip
// states of its size is not believed).
inline constexpr size_t kMaxInputBytes = size_t{512} << 20;
Result<InputFile> ReadInputBytes(std::string raw, const std::string& path, const std::string& name,
                                 const std::string& date, size_t maxBytes = kMaxInputBytes);

// A libzip error code (ZIP_ER_...) as a Japanese phrase for messages.
std::string ZipErrorText(int code);

// The line feeds in text, plus one: the rows it holds, near enough.
size_t LineCount(std::string_view text);

// Shift-JIS or UTF-8 bytes to UTF-8 (a byte order mark is dropped).
std::string CsvToUtf8(std::string_view bytes);

// Calls fn(fields, line) for each record of CSV text (quotes may hold
// commas, line ends and doubled quotes) until fn returns false; a field over
// maxField bytes or a record over maxFields fields ends it with an error
// naming the line, before more is read.
struct CsvLimits {
  size_t maxFields = SIZE_MAX, maxField = SIZE_MAX;
};
Result<bool> ForEachCsvRecord(std::string_view csv, const CsvLimits& limits,
                              const std::function<bool(std::vector<std::string>&, size_t line)>& fn);

// Splits CSV text into rows of fields; quotes may hold commas and doubled quotes.
std::vector<std::vector<std::string>> ParseCsv(std::string_view utf8, std::vector<size_t>* lineNumbers);

// Checks and converts the rows of KEN_ALL.CSV (15 columns). sourceName is
// named in messages ("FILE:LINE: ...").
Result<std::vector<KenRow>> ParseKenAll(std::string_view csvBytes, const std::string& sourceName);

// The office file JIGYOSYO.CSV (13 columns): the town becomes town and block
// followed by the office's name in full-width parentheses.
Result<std::vector<KenRow>> ParseOffices(std::string_view csvBytes, const std::string& sourceName);

// The same, appended to rows: a whole build reads both files into one
// vector made once at the size of both. AppendKenAll lets the file's bytes
// go as soon as they are text.
Result<bool> AppendKenAll(std::string&& csvBytes, const std::string& sourceName, std::vector<KenRow>& rows);
Result<bool> AppendOffices(std::string_view csvBytes, const std::string& sourceName, std::vector<KenRow>& rows);

// Joins town names that KEN_ALL splits over several rows (an opening "（"
// continued on the next rows of the same code) and turns the notes of the
// file into address text (see NormalizeTownName). A town that keeps running
// past what any real one holds is refused, naming its first line in
// sourceName.
Result<std::vector<KenRow>> JoinSplitRows(std::vector<KenRow> rows, const std::string& sourceName);

// The notes of the national file as address text:
//  "以下に掲載がない場合"            -> ""  (a town record without a name)
//  "<city>一円" (the whole city)    -> ""  ("一円" alone is a real place name and stays)
//  "<city>の次に<X>がくる場合(<Y>)" -> "（<X>）" or "（<X>　<Y>）": the address is the
//                                    city followed by the number, the hint goes to the supplement;
//  "<town>の次に<X>がくる場合"      -> "<town>（<X>）" when <town> is not the city itself
//  "…（次のビルを除く）"            -> "…" (a note, not an address)
std::string NormalizeTownName(const std::string& town, const std::string& city);

}  // namespace kovant::tools
