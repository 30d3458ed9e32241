// A spreadsheet's column of codes or addresses, five columns added to each
// row: the rows themselves are written back byte for byte.
#include <functional>

#include "dict/address.h"
#include "dict/codeindex.h"
#include "dict/codeinput.h"
#include "platform/sjis.h"
#include "tools/lookup.h"
#include "tools/lookupdetail.h"
#include "tools/table.h"

namespace kovant::lookup {

using namespace detail;

namespace {

// The code column's form of a code: "NNN-NNNN", "NNN-NN" or "NNN".
std::string CodeText(const std::string& code) {
  return code.size() > 3 ? code.substr(0, 3) + "-" + code.substr(3) : code;
}

bool IsUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (size_t k = 1; k < n; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += n;
  }
  return true;
}

// A code cell made ready for the lookup.
struct Cell {
  std::string code;  // normalised; empty when it is no code
  bool repaired = false;
};

Cell PrepareCell(const std::string& cell) {
  Cell c{dict::NormalizeCodeInput(cell)};
  if (!dict::CodeInputProblem(c.code)) return c;
  // A spreadsheet that took the code for a number dropped its leading zero
  // ("600042" for 060-0042): put it back only when nothing else is meant.
  if ((c.code.size() == 6 || c.code.size() == 4) && !dict::CodeInputProblem(c.code + "0")) {
    c.code = "0" + c.code;
    c.repaired = true;
    return c;
  }
  c.code.clear();
  return c;
}

// The five appended columns of one row: code, prefecture, city, town, status.
std::vector<std::string> Columns(const Cell& cell, const std::vector<dict::CodeMatch>& matches) {
  if (cell.code.empty() || (cell.repaired && matches.empty())) return {"", "", "", "", kInvalid};
  std::string pref, city, town;
  if (!matches.empty()) {
    pref = matches[0].pref;
    city = matches[0].city;
    for (size_t i = 0; i < matches.size(); ++i) {
      if (matches[i].pref != pref) pref.clear();
      if (matches[i].city != matches[0].city || matches[i].pref != matches[0].pref) city.clear();
      town += (i ? "／" : "") + matches[i].town;
    }
  }
  std::string status = matches.empty() ? kNone : matches.size() == 1 ? kFound : kSeveral;
  if (cell.repaired) status += "（先頭の0を補完）";
  return {CodeText(cell.code), pref, city, town, status};
}

// The five appended columns for each cell of a chunk (UTF-8), and whether
// each was found; or the dictionary's error.
struct Filled {
  std::vector<std::vector<std::string>> columns;
  bool all = true;
};
using Filler = std::function<dict::Result<Filled>(const std::vector<std::string>& cells)>;

Filler CodeFiller(const dict::CodeIndex& index) {
  return [&index](const std::vector<std::string>& texts) -> dict::Result<Filled> {
    std::vector<Cell> cells;
    std::vector<std::string> codes;
    for (const auto& text : texts) {
      cells.push_back(PrepareCell(text));
      codes.push_back(cells.back().code);
    }
    auto found = index.FindMany(codes);
    if (!found) return found.error();
    Filled filled;
    for (size_t i = 0; i < cells.size(); ++i) {
      filled.all = filled.all && !(*found)[i].empty();
      filled.columns.push_back(Columns(cells[i], (*found)[i]));
    }
    return filled;
  };
}

// An address's answer as the five columns: one code, or all of them and
// their towns joined by "／".
std::vector<std::string> AddressColumns(const dict::AddressAnswer& a) {
  std::string codes, towns;
  for (size_t i = 0; i < a.candidates.size(); ++i) {
    codes += (i ? "／" : "") + a.candidates[i].newCode;
    towns += (i ? "／" : "") + a.candidates[i].town;
  }
  if (a.status == dict::AddressAnswer::Status::None) return {"", a.pref, a.city, a.town, kNone};
  return {codes, a.pref, a.city, towns, a.status == dict::AddressAnswer::Status::Single ? kFound : kSeveral};
}

Filler AddressFiller(const dict::Gazetteer& gazetteer) {
  return [&gazetteer](const std::vector<std::string>& texts) -> dict::Result<Filled> {
    Filled filled;
    for (const auto& text : texts) {
      const auto answer = gazetteer.Resolve(text);
      filled.all = filled.all && answer.status == dict::AddressAnswer::Status::Single;
      filled.columns.push_back(AddressColumns(answer));
    }
    return filled;
  };
}

// The table's rows, chunk by chunk, with their columns filled: the output
// keeps the input's encoding.
int Convert(const std::string& dicPath, const std::string& text, const ColumnOptions& options, const Filler& fill,
            LookupOutput& out) {
  const bool sjis = options.encoding.empty() ? !IsUtf8(text) : options.encoding == "sjis";
  bool all = true;
  const auto records = tools::SplitTable(text, options.separator);
  for (size_t first = 0; first < records.size() && !out.Failed(); first += kChunk) {
    const size_t last = std::min(records.size(), first + kChunk);
    std::vector<std::string> cells;
    for (size_t r = first; r < last; ++r) {
      const auto& fields = records[r].fields;
      const std::string cell = options.column <= fields.size() ? fields[options.column - 1] : std::string();
      cells.push_back(sjis ? platform::SjisToUtf8(cell) : cell);
    }
    const bool header = first == 0 && options.header;
    if (header) cells.erase(cells.begin());
    auto filled = fill(cells);
    if (!filled) return ReadError(dicPath, filled.error());
    all = all && filled->all;
    for (size_t r = first; r < last; ++r) {
      std::vector<std::string> added =
          header && r == 0 ? std::vector<std::string>{"郵便番号", "都道府県", "市区町村", "町域", "状態"}
                           : std::move(filled->columns[r - first - (header ? 1 : 0)]);
      if (sjis) {
        for (auto& field : added) field = platform::Utf8ToSjis(field);
      }
      out.Row(records[r], added);
    }
    out.Flush();
  }
  return out.Finish(all ? 0 : 1);
}

}  // namespace

int ConvertCodeColumn(const std::string& dicPath, const std::string& text, const ColumnOptions& options,
                      LookupOutput& out) {
  auto index = dict::CodeIndex::Build(dicPath);
  if (!index) return ReadError(dicPath, index.error());
  return Convert(dicPath, text, options, CodeFiller(*index), out);
}

int ConvertAddressColumn(const std::string& dicPath, const std::string& text, const ColumnOptions& options,
                         LookupOutput& out) {
  auto gazetteer = dict::Gazetteer::Load(dicPath);
  if (!gazetteer) return ReadError(dicPath, gazetteer.error());
  return Convert(dicPath, text, options, AddressFiller(*gazetteer), out);
}

}  // namespace kovant::lookup
