// kovant-lookup's modes as functions: postal-code search, batch and column
// conversion, addresses and the address walk. Each writes through the
// output it is given and returns the exit status: 0 all found, 1 some not
// found, 2 an unreadable dictionary or a failed write.
#pragma once

#include <cstddef>
#include <istream>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "lookup/lookupoutput.h"

namespace kovant::lookup {

struct ColumnOptions {
  size_t column = 0;  // 1-based
  char separator = ',';
  bool header = false;
  std::string encoding;  // "sjis", "utf8" or "" to recognise
};

// The longest row --column reads (a spreadsheet row is a few hundred
// bytes; a longer one is a quote left open, or no table at all).
inline constexpr size_t kMaxRowBytes = size_t{1} << 20;

// Codes given as arguments: at least one line (or JSON object) each.
int LookUpCodes(const std::string& dicPath, const std::vector<std::string>& codes, LookupOutput& out);
// Codes read from fd one per line (in Shift-JIS when encoding is "sjis"),
// answered in chunks (at a terminal, one by one) from an index of the
// dictionary made once.
int LookUpCodeLines(const std::string& dicPath, int fd, LookupOutput& out, const std::string& encoding = "");
// The table read from in with five columns added to each row: for the code
// in the column (--column), or for the address in it (--address-column).
// Rows are read, answered and written a few at a time; a row not valid in
// the table's encoding, or a quote left open at its end, is named by its
// line on standard error and marked in its status (exit status 1); a row
// over kMaxRowBytes ends the conversion (2).
int ConvertCodeColumn(const std::string& dicPath, std::istream& in, const ColumnOptions& options, LookupOutput& out);
int ConvertAddressColumn(const std::string& dicPath, std::istream& in, const ColumnOptions& options, LookupOutput& out);
// --find: the towns whose name or reading holds text, best first.
int FindTowns(const std::string& dicPath, const std::string& text, size_t limit, LookupOutput& out);
// --address: each address to its code. Exit status 0 when each has one
// code, 1 when some have several or none, else 3 when some have only their
// city's (市区町村のみ).
int ResolveAddresses(const std::string& dicPath, const std::vector<std::string>& addresses, LookupOutput& out);
// --address -: the lines of fd (Shift-JIS when encoding is "sjis"), each
// answered as it is read; lines that look like the other encoding are said
// on standard error.
int ResolveAddressLines(const std::string& dicPath, int fd, LookupOutput& out, const std::string& encoding = "");
// --walk: the prefectures, a prefecture's cities, or a city's towns.
int Walk(const std::string& dicPath, const std::vector<std::string>& names, LookupOutput& out);
// --copy: the copy text the settings (iniPath, or the user's) compose.
int CopyText(const std::string& dicPath, const std::string& code, bool oldCode, const std::string& iniPath,
             LookupOutput& out);
int ShowInfo(const std::string& dicPath, LookupOutput& out);
int ShowVersion(const std::string& dicPath, LookupOutput& out);

enum class Mode { Codes, Column, Address, AddressColumn, Find, Walk, Copy, Info, Version, Help, Usage };

// The command line as given, and the mode it asks for (Usage: it is wrong;
// error then says why, or the usage is shown).
struct Options {
  Mode mode = Mode::Codes;
  std::string error;
  std::string dicPath, iniPath, findText;
  bool json = false, walk = false, copy = false, oldCode = false, info = false, version = false;
  bool address = false;
  size_t limit = 50;
  ColumnOptions column;
  std::vector<std::string> args;
};

// An option the program takes: one entry gives both the parser and --help.
struct OptionSpec {
  const char* name;
  const char* alias;  // or nullptr
  bool value;         // takes the next argument
  const char* label;  // --help's left column
  const char* help;
  // Records the option; false when its value is no good.
  bool (*apply)(Options& options, const std::string& value);
};

std::span<const OptionSpec> OptionTable();
std::string UsageText();
Options ParseOptions(int argc, const char* const* argv);

// The output format the options ask for.
std::unique_ptr<LookupOutput> MakeOutput(const Options& options, OutputSink& sink);
// Runs the mode the options ask for (not Help or Usage).
int Run(const Options& options, LookupOutput& out);

}  // namespace kovant::lookup
