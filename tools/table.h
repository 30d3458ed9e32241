// Spreadsheet files as kovant-lookup --column reads and writes them: CSV
// (RFC 4180) or TSV, split into records without changing a byte, so every
// row can be written back as it came with columns appended.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kovant::tools {

struct TableRecord {
  std::string_view raw;             // the record's bytes, without its line end
  std::string_view lineEnd;         // "\r\n", "\n", "\r" or "" (the last line)
  std::vector<std::string> fields;  // unquoted
};

// Splits text into records. Quotes may hold separators and line ends; the
// delimiters are ASCII, so Shift-JIS text (whose trail bytes are never
// below 0x40) splits as safely as UTF-8.
std::vector<TableRecord> SplitTable(std::string_view text, char separator);

// A field as the file format wants it: quoted when it holds the separator,
// a quote or a line end.
std::string TableField(std::string_view field, char separator);

}  // namespace kovant::tools
