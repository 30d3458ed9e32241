// Building KOVANT.DIC from the rows of the national file.
#pragma once

#include <string>
#include <vector>

#include "update/kenall.h"

namespace kovant::tools {

struct BuildOptions {
  std::string dataDate;     // goes into the header's 20-byte text
  std::string description;  // goes into the header's 64-byte text (ASCII)
};

struct BuildReport {
  size_t towns = 0, offices = 0, cities = 0;
  size_t prefectures = 0;              // prefectures with at least one city
  std::vector<std::string> shortened;  // "CODE NAME" of each shortened town name
  std::vector<std::string> skipped;    // "LINE: CODE NAME" of rows without a Shift-JIS form
  size_t sectionBytes = 0;             // what the code index after the records adds
  size_t readingBytes = 0;             // what the readings add
};

// Town rows (already joined) to the bytes of a dictionary file.
// The rows are taken (moved in where the caller has no more use for them).
Result<std::string> BuildDictionary(std::vector<KenRow> towns, const BuildOptions& options, BuildReport& report);

// Encodes a UTF-8 name with the code table, longest expansion first. Fails
// on a character without a Shift-JIS double-byte form.
Result<std::string> EncodeName(const std::string& utf8);

// Encodes a town name into at most maxBytes, shortening it when needed with
// "…" (and "）" when a parenthesis is open): after the last whole list item
// ("、") that fits, else at a character. The last keepTail bytes (an
// office's name) are kept whole while the text before them can give way.
Result<std::string> EncodeTownName(const std::string& utf8, size_t maxBytes, bool* shortened, size_t keepTail = 0);

// A whole build from Japan Post's files as read: parse, join, add the
// offices (when given), encode. sourceName names the files in messages.
struct BuiltDictionary {
  std::string bytes;
  BuildReport report;
  size_t townRows = 0, officeRows = 0;  // rows read from the files
  std::string dataDate;
};
// The towns' bytes are taken (the build lets them go once they are text).
Result<BuiltDictionary> BuildFromInputs(InputFile towns, const std::string& townsSource, const InputFile* offices,
                                        const std::string& officesSource, const std::string& dataDate);

// "YYYY-MM-DD" with a real month and day.
bool IsDataDate(const std::string& text);

}  // namespace kovant::tools
