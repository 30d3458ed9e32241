// A spreadsheet's column of codes or addresses, five columns added to each
// row: the rows themselves are written back byte for byte.
#include <algorithm>
#include <cstdio>
#include <functional>
#include <sstream>

#include "dict/address.h"
#include "dict/codeindex.h"
#include "dict/codeinput.h"
#include "platform/sjis.h"
#include "lookup/lookup.h"
#include "lookup/lookupdetail.h"
#include "lookup/table.h"

namespace kovant::lookup {

using namespace detail;

bool detail::IsUtf8(std::string_view s) {
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

bool IsAscii(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

void EncodingHint::Check(std::string_view line, size_t number) {
  const bool other = sjis_ ? !IsAscii(line) && IsUtf8(line) : !IsUtf8(line);
  if (!other) return;
  if (count_++ > 0) return;
  if (sjis_) {
    std::fprintf(stderr, "kovant-lookup: 行 %zu: UTF-8 のようです（Shift-JIS として読んでいます）。\n", number);
  } else {
    std::fprintf(stderr, "kovant-lookup: 行 %zu: UTF-8 として読めません%s。\n", number,
                 told_ ? "" : "（Shift-JIS の入力なら --encoding sjis を付けてください）");
  }
}

void EncodingHint::Summary() const {
  if (count_ > 1) {
    std::fprintf(stderr, "kovant-lookup: %s行が全部で %zu 行ありました。\n",
                 sjis_ ? "UTF-8 のような" : "UTF-8 として読めない", count_);
  }
}

namespace {

// The code column's form of a code: "NNN-NNNN", "NNN-NN" or "NNN".
std::string CodeText(const std::string& code) {
  return code.size() > 3 ? code.substr(0, 3) + "-" + code.substr(3) : code;
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

// Texts joined by "／", each once, empty ones left out.
void AddOnce(std::string& joined, std::vector<std::string>& seen, const std::string& text) {
  if (text.empty() || std::find(seen.begin(), seen.end(), text) != seen.end()) return;
  joined += (seen.empty() ? "" : "／") + text;
  seen.push_back(text);
}

// Towns as address text (町域) and Japan Post's notes on them (for the
// status): "名駅（その他）" is 名駅 in 町域 and その他 in the status.
struct TownColumns {
  std::string pref, city, town, notes;
};

// A cell names at most this many towns (or cities, codes): a former
// three-digit code covers thousands, and one cell of them all is no cell a
// spreadsheet can show. Past it the cell says 複数 and how many.
constexpr size_t kMostNamed = 10;

void Bound(std::string& joined, const std::vector<std::string>& seen) {
  if (seen.size() > kMostNamed) joined = std::string(kSeveral) + "（" + std::to_string(seen.size()) + " 件）";
}

TownColumns JoinTowns(const std::vector<dict::CodeMatch>& matches) {
  TownColumns t;
  std::vector<std::string> prefs, cities, towns, notes;
  for (const auto& m : matches) {
    const dict::TownText text = dict::SplitTownNote(m.town);
    AddOnce(t.pref, prefs, m.pref);
    // A code shared by cities names them all (411-0000: 三島市／駿東郡清水町…).
    AddOnce(t.city, cities, m.city);
    AddOnce(t.town, towns, text.text);
    AddOnce(t.notes, notes, text.note);
  }
  if (prefs.size() > 1) t.pref.clear();
  Bound(t.city, cities);
  Bound(t.town, towns);
  // Notes of thousands of towns say nothing of any one.
  if (notes.size() > kMostNamed) t.notes.clear();
  return t;
}

// The five appended columns of one row: code, prefecture, city, town, status.
std::vector<std::string> Columns(const Cell& cell, const std::vector<dict::CodeMatch>& matches) {
  if (cell.code.empty() || (cell.repaired && matches.empty())) return {"", "", "", "", kInvalid};
  const TownColumns t = JoinTowns(matches);
  std::string status = matches.empty() ? kNone : matches.size() == 1 ? kFound : kSeveral;
  if (!t.notes.empty()) status += "（" + t.notes + "）";
  if (cell.repaired) status += "（先頭の0を補完）";
  return {CodeText(cell.code), t.pref, t.city, t.town, status};
}

// The five appended columns for each cell of a chunk (UTF-8), and whether
// each was found; or the dictionary's error.
struct Filled {
  std::vector<std::vector<std::string>> columns;
  bool all = true;
  bool cityOnly = false;  // some addresses resolved to their city only (exit status 3)
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
  std::string codes;
  std::vector<std::string> seen;
  for (const auto& m : a.candidates) AddOnce(codes, seen, m.newCode);
  Bound(codes, seen);
  if (a.status == dict::AddressAnswer::Status::None) return {"", a.pref, a.city, a.town, kNone};
  const TownColumns t = JoinTowns(a.candidates);
  std::string status = AddressStatusText(a);
  if (!t.notes.empty()) status += "（" + t.notes + "）";
  // A customer list is checked by this column: the code written is named.
  if (a.status == dict::AddressAnswer::Status::CodeDisagrees) status += "（書かれた番号 " + a.writtenCode + "）";
  if (!a.candidates.empty() && a.candidates.front().office) status += "（事業所）";
  return {codes, t.pref, t.city, t.town, status};
}

Filler AddressFiller(const dict::Gazetteer& gazetteer) {
  return [&gazetteer](const std::vector<std::string>& texts) -> dict::Result<Filled> {
    Filled filled;
    for (const auto& text : texts) {
      const auto answer = gazetteer.Resolve(text);
      filled.all = filled.all && (answer.status == dict::AddressAnswer::Status::Single ||
                                  answer.status == dict::AddressAnswer::Status::CityOnly);
      filled.cityOnly = filled.cityOnly || answer.status == dict::AddressAnswer::Status::CityOnly;
      filled.columns.push_back(AddressColumns(answer));
    }
    return filled;
  };
}

bool IsSjis(std::string_view s) {
  for (size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80 || (c >= 0xA1 && c <= 0xDF)) continue;
    if (!platform::IsSjisLeadByte(c) || i + 1 == s.size()) return false;
    const auto trail = static_cast<unsigned char>(s[++i]);
    if (trail < 0x40 || trail == 0x7F || trail > 0xFC) return false;
  }
  return true;
}

// A stray byte must not decide the encoding: the file is Shift-JIS when more
// of its first lines with non-ASCII text are not UTF-8 than are (Shift-JIS
// text is almost never valid UTF-8). Those lines are the first MiB's, or
// while it has none (ASCII rows gain Japanese columns, so the choice
// matters even for them) up to 16 MiB's; later lines are only checked
// against the choice.
constexpr size_t kEvidenceBytes = size_t{1} << 20, kMostEvidenceBytes = size_t{16} << 20;

struct Evidence {
  size_t utf8 = 0, other = 0;
};

Evidence Weigh(std::string_view head, bool whole) {
  // A head cut off may end inside a character.
  while (!whole && !head.empty() && static_cast<unsigned char>(head.back()) >= 0x80) head.remove_suffix(1);
  Evidence e;
  while (!head.empty()) {
    const size_t end = std::min(head.find('\n'), head.size());
    const std::string_view line = head.substr(0, end);
    head.remove_prefix(std::min(end + 1, head.size()));
    if (IsAscii(line)) continue;
    ++(IsUtf8(line) ? e.utf8 : e.other);
  }
  return e;
}

bool LooksLikeSjis(tools::TableReader& reader) {
  for (size_t n = kEvidenceBytes;; n *= 4) {
    const std::string_view head = reader.Peek(n);
    const Evidence e = Weigh(head, head.size() < n);
    if (e.utf8 + e.other > 0 || head.size() < n || n >= kMostEvidenceBytes) return e.other > e.utf8;
  }
}

constexpr const char* kBadEncoding = "不正（文字コード）";
constexpr const char* kOpenQuote = "不正（引用符）";

// What is wrong with a row as its status, said on standard error with its
// line; nullptr when nothing is.
const char* RowProblem(const tools::TableRecord& rec, bool sjis) {
  // A UTF-8 row in a Shift-JIS table is mostly valid Shift-JIS too, and
  // would be looked up as nonsense: named like the other way round.
  if (sjis && !IsAscii(rec.raw) && IsUtf8(rec.raw)) {
    std::fprintf(stderr, "kovant-lookup: 行 %zu: UTF-8 の行です（表は Shift-JIS として読んでいます）。\n", rec.line);
    return kBadEncoding;
  }
  if (!(sjis ? IsSjis(rec.raw) : IsUtf8(rec.raw))) {
    std::fprintf(stderr, "kovant-lookup: 行 %zu: %s として読めない文字があります。\n", rec.line,
                 sjis ? "Shift-JIS" : "UTF-8");
    return kBadEncoding;
  }
  if (rec.openQuoteLine) {
    std::fprintf(stderr, "kovant-lookup: 行 %zu: 引用符が閉じられないまま終わりました。\n", rec.openQuoteLine);
    return kOpenQuote;
  }
  return nullptr;
}

// Rows read together: up to kChunk of them, or fewer long ones, so that
// what is held stays a few times the longest row. stop says why the table
// ended after them, if it did.
constexpr size_t kChunkBytes = size_t{1} << 20;

struct Chunk {
  std::vector<tools::TableRecord> rows;
  tools::TableReader::Status stop = tools::TableReader::Status::Record;
  tools::TableRecord last;  // where a TooLong stop happened
};

void ReadChunk(tools::TableReader& reader, Chunk& chunk) {
  chunk.rows.clear();
  size_t bytes = 0;
  while (chunk.rows.size() < kChunk && bytes < kChunkBytes) {
    chunk.stop = reader.Next(chunk.last);
    if (chunk.stop != tools::TableReader::Status::Record) return;
    bytes += chunk.last.raw.size();
    chunk.rows.push_back(std::move(chunk.last));
  }
}

// The chunk's cells to look up (UTF-8), each row's problem beside it.
std::vector<std::string> CellsToFill(const Chunk& chunk, bool header, bool sjis, const ColumnOptions& options,
                                     std::vector<const char*>& problems, int& status) {
  std::vector<std::string> cells;
  for (size_t r = 0; r < chunk.rows.size(); ++r) {
    problems.push_back(RowProblem(chunk.rows[r], sjis));
    if (problems.back()) status = 1;
    if (problems.back() || (header && r == 0)) continue;
    const auto& fields = chunk.rows[r].fields;
    const std::string cell = options.column <= fields.size() ? fields[options.column - 1] : std::string();
    cells.push_back(sjis ? platform::SjisToUtf8(cell) : cell);
  }
  return cells;
}

// The names of the added columns, none the same as one of the input's own
// (a table that has a 郵便番号 already gets 郵便番号_2).
std::vector<std::string> AddedHeaders(const tools::TableRecord& header, char separator, bool sjis) {
  std::istringstream raw(header.raw);
  tools::TableReader reader(raw, separator, kMaxRowBytes, kMaxRowBytes);
  tools::TableRecord all;
  std::vector<std::string> taken;
  if (reader.Next(all) == tools::TableReader::Status::Record) taken = std::move(all.fields);
  if (sjis) {
    for (auto& name : taken) name = platform::SjisToUtf8(name);
  }
  std::vector<std::string> added;
  for (const char* name : {"郵便番号", "都道府県", "市区町村", "町域", "状態"}) {
    std::string unique = name;
    for (int n = 2; std::find(taken.begin(), taken.end(), unique) != taken.end(); ++n) {
      unique = std::string(name) + "_" + std::to_string(n);
    }
    taken.push_back(unique);
    added.push_back(unique);
  }
  return added;
}

// A chunk's rows with their columns added; false after a dictionary's error
// (said, with status set).
bool WriteChunk(const std::string& dicPath, const Chunk& chunk, bool header, bool sjis, const ColumnOptions& options,
                const Filler& fill, LookupOutput& out, int& status) {
  std::vector<const char*> problems;
  const std::vector<std::string> cells = CellsToFill(chunk, header, sjis, options, problems, status);
  auto filled = fill(cells);
  if (!filled) return status = ReadError(dicPath, filled.error()), false;
  if (!filled->all) status = 1;
  if (filled->cityOnly && status == 0) status = 3;
  for (size_t r = 0, k = 0; r < chunk.rows.size(); ++r) {
    std::vector<std::string> added;
    if (header && r == 0) {
      added = AddedHeaders(chunk.rows[0], options.separator, sjis);
    } else if (problems[r]) {
      added = {"", "", "", "", problems[r]};
    } else {
      added = std::move(filled->columns[k++]);
    }
    if (sjis) {
      for (auto& field : added) field = platform::Utf8ToSjis(field);
    }
    out.Row(chunk.rows[r], added);
  }
  out.Flush();
  return true;
}

// Why the table could not be read to its end; the status for it, 2.
int StopError(const Chunk& chunk) {
  if (chunk.stop == tools::TableReader::Status::ReadError) {
    std::fprintf(stderr, "kovant-lookup: 入力を読み込めません。\n");
  } else if (chunk.last.openQuoteLine) {
    std::fprintf(stderr, "kovant-lookup: 行 %zu: 引用符が閉じられないまま 1 MiB を超えたため中止しました。\n",
                 chunk.last.openQuoteLine);
  } else {
    std::fprintf(stderr, "kovant-lookup: 行 %zu: 1 行が 1 MiB を超えるため中止しました。\n", chunk.last.line);
  }
  return 2;
}

// The table's rows, read, filled and written chunk by chunk: the output
// keeps the input's encoding.
int Convert(const std::string& dicPath, std::istream& in, const ColumnOptions& options, const Filler& fill,
            LookupOutput& out) {
  tools::TableReader reader(in, options.separator, options.column, kMaxRowBytes);
  const bool sjis = options.encoding.empty() ? LooksLikeSjis(reader) : options.encoding == "sjis";
  int status = 0;
  Chunk chunk;
  for (bool first = true; chunk.stop == tools::TableReader::Status::Record && !out.Failed(); first = false) {
    ReadChunk(reader, chunk);
    if (!WriteChunk(dicPath, chunk, first && options.header, sjis, options, fill, out, status)) return status;
  }
  if (chunk.stop != tools::TableReader::Status::End && !out.Failed()) return out.Finish(StopError(chunk));
  return out.Finish(status);
}

}  // namespace

int ConvertCodeColumn(const std::string& dicPath, std::istream& in, const ColumnOptions& options, LookupOutput& out) {
  auto index = dict::CodeIndex::Build(dicPath);
  if (!index) return ReadError(dicPath, index.error());
  return Convert(dicPath, in, options, CodeFiller(*index), out);
}

int ConvertAddressColumn(const std::string& dicPath, std::istream& in, const ColumnOptions& options,
                         LookupOutput& out) {
  auto gazetteer = dict::Gazetteer::Load(dicPath);
  if (!gazetteer) return ReadError(dicPath, gazetteer.error());
  return Convert(dicPath, in, options, AddressFiller(*gazetteer), out);
}

}  // namespace kovant::lookup
