// Building KOVANT.DIC from the rows of the national file.
#pragma once

#include <string>
#include <vector>

#include "tools/kenall.h"

namespace kovant::tools {

struct BuildOptions {
  std::string dataDate;     // goes into the header's 20-byte text
  std::string description;  // goes into the header's 64-byte text (ASCII)
};

struct BuildReport {
  size_t towns = 0, offices = 0, cities = 0;
  std::vector<std::string> shortened;  // "CODE NAME" of each shortened town name
};

// Town rows (already joined) to the bytes of a dictionary file.
Result<std::string> BuildDictionary(const std::vector<KenRow>& towns, const BuildOptions& options,
                                    BuildReport& report);

// Encodes a UTF-8 name with the code table, longest expansion first. Fails
// on a character without a Shift-JIS double-byte form.
Result<std::string> EncodeName(const std::string& utf8);

// Encodes a town name into at most maxBytes, shortening it at a character
// boundary with "…" (and "）" when a parenthesis is open) when needed.
Result<std::string> EncodeTownName(const std::string& utf8, size_t maxBytes, bool* shortened);

}  // namespace kovant::tools
