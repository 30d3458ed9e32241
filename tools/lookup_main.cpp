// kovant-lookup: postal-code search, batch and column conversion, and the
// address walk from the command line.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <functional>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "copy/compose.h"
#include "dict/address.h"
#include "dict/census.h"
#include "dict/codeindex.h"
#include "dict/codeinput.h"
#include "dict/search.h"
#include "dict/walk.h"
#include "platform/files.h"
#include "platform/sjis.h"
#include "settings/settings.h"
#include "tools/table.h"

using namespace kovant;

namespace {

constexpr const char* kUsage =
    "使い方: kovant-lookup [--dic FILE] [--json] [CODE... | -]\n"
    "        kovant-lookup [--dic FILE] --column N [--tsv] [--header] [--encoding sjis|utf8] [FILE]\n"
    "        kovant-lookup [--dic FILE] [--json] --walk [PREFECTURE [CITY]]\n"
    "        kovant-lookup [--dic FILE] [--json] --find TEXT [--limit N]\n"
    "        kovant-lookup [--dic FILE] [--json] --address [ADDRESS... | -]\n"
    "        kovant-lookup [--dic FILE] --address-column N [--tsv] [--header] [--encoding sjis|utf8] [FILE]\n"
    "        kovant-lookup [--dic FILE] --copy [--old] [--ini FILE] CODE\n"
    "        kovant-lookup [--dic FILE] --info | --version | --help\n"
    "  CODE は 7 桁の郵便番号か 3 桁・5 桁の旧郵便番号（\"〒100-0001\"、全角数字も可）。\n"
    "  CODE がない（または -）ときは標準入力から 1 行に 1 つずつ読みます。\n"
    "  一致した町域ごとに 新〒、旧〒、都道府県、市区町村、町域 をタブ区切りで書き、\n"
    "  事業所には 6 列目に「事業所」、見つからないときは「該当なし」、不正な入力には「不正」。\n"
    "  --column N  CSV（--tsv なら TSV）の N 列目の郵便番号に 郵便番号,都道府県,市区町村,町域,状態 を足す\n"
    "  --header    1 行目を見出しとしてそのまま残し、見出しを足す\n"
    "  --find      町域名・読み（かな、ローマ字）に TEXT を含む町域を、よく合うものから最大 N 件（既定 50）\n"
    "  --address   住所（都道府県の省略、丁目・番地、\"1-2-3\"、ビル名も可）から郵便番号。状態は 一致・複数・該当なし\n"
    "  --address-column N  CSV の N 列目の住所に 郵便番号,都道府県,市区町村,町域,状態 を足す\n"
    "  --encoding  入力の文字コード（既定: 自動判別）。出力は入力と同じ文字コードと改行\n"
    "  --json      入力 1 つにつき JSON 1 行（status と matches）\n"
    "  --info      使用中の辞書、データ日付、町域と事業所の数\n"
    "  終了状態: 0 すべて見つかった、1 見つからないものがあった、2 使い方・辞書・書き込みの誤り\n";

constexpr const char* kFound = "一致";
constexpr const char* kSeveral = "複数";
constexpr const char* kNone = "該当なし";
constexpr const char* kInvalid = "不正";

std::string JsonString(std::string_view s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

// Standard output with its failures noticed: a full disk is an error (exit
// status 2), a reader that went away (| head -1) ends the program quietly.
class Out {
 public:
  void Write(std::string_view text) {
    if (!failed_ && std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) failed_ = true;
  }
  bool Failed() { return failed_ || std::ferror(stdout); }
  // The status to end with: given, or 2 when the output could not be written.
  int Finish(int status) {
    if (std::fflush(stdout) != 0 || Failed()) {
      if (errno != EPIPE)
        std::fprintf(stderr, "kovant-lookup: 書き込めません: %s\n", platform::SystemErrorText(errno).c_str());
      return 2;
    }
    return status;
  }

 private:
  bool failed_ = false;
} out;

// One output line's fields, viewed where they are kept.
struct Line {
  std::string_view newCode, oldCode, pref, city, town;
  bool office = false;  // an individual code of a large office
};

// Appends the tab-separated line: a batch writes thousands.
void AppendTextLine(std::string& out, const Line& l, std::string_view note) {
  for (std::string_view field : {l.newCode, l.oldCode, l.pref, l.city, l.town}) {
    out.append(field);
    out += '\t';
  }
  if (note.empty()) {
    out.back() = '\n';
  } else {
    out.append(note);
    out += '\n';
  }
}

std::string TextLine(const Line& l, std::string_view note) {
  std::string text;
  AppendTextLine(text, l, note);
  return text;
}

std::string JsonMatch(const Line& l) {
  return "{\"new\":" + JsonString(l.newCode) + ",\"old\":" + JsonString(l.oldCode) +
         ",\"prefecture\":" + JsonString(l.pref) + ",\"city\":" + JsonString(l.city) +
         ",\"town\":" + JsonString(l.town) + (l.office ? ",\"office\":true" : "") + "}";
}

void PrintName(const std::string& name, bool json) {
  out.Write(json ? "{\"name\":" + JsonString(name) + "}\n" : name + "\n");
}

int ReadError(const std::string& path, const dict::Error& e) {
  std::fprintf(stderr, "%s\n", dict::ReadErrorMessage(path, e).c_str());
  return 2;
}

// The codes of a listed town, read from its record.
dict::Result<dict::TownRecord> TownAt(const std::string& path, int32_t pos) {
  auto dic = dict::DicFile::Open(path);
  if (!dic) return dic.error();
  return (*dic)->ReadTown(pos);
}

int Walk(const std::string& path, const dict::PrefectureTable& table, const std::vector<std::string>& names,
         bool json) {
  if (names.empty()) {
    for (const auto& row : table.rows) PrintName(row.Name, json);
    return table.rows.empty() ? 1 : 0;
  }
  size_t p = 0;
  while (p < table.rows.size() && table.rows[p].Name != names[0]) ++p;
  if (p == table.rows.size()) {
    std::fprintf(stderr, "kovant-lookup: 都道府県が見つかりません: %s\n", names[0].c_str());
    return 1;
  }
  const auto& pref = table.rows[p];
  auto cities = dict::LoadCities(path, table, pref.PrefNo);
  if (cities.readError) return ReadError(path, *cities.readError);
  if (names.size() == 1) {
    for (const auto& c : cities.entries) PrintName(c.text, json);
    return cities.entries.empty() ? 1 : 0;
  }
  const dict::ListEntry* city = nullptr;
  for (const auto& c : cities.entries) {
    if (c.text == names[1]) city = &c;
  }
  if (!city) {
    std::fprintf(stderr, "kovant-lookup: 市区町村が見つかりません: %s %s\n", names[0].c_str(), names[1].c_str());
    return 1;
  }
  auto towns = dict::LoadTowns(path, cities.cityTable[static_cast<size_t>(city->itemData - 1)], true);
  if (towns.readError) return ReadError(path, *towns.readError);
  for (const auto& t : towns.entries) {
    auto rec = TownAt(path, t.itemData);
    if (!rec) return ReadError(path, rec.error());
    const std::string newCode = dict::CurrentCodeText(*rec), oldCode = dict::FormerCodeText(*rec);
    const Line line{newCode,
                    oldCode,
                    pref.Name,
                    city->text,
                    rec->NameLength == 0 ? std::string_view() : t.text,
                    dict::IsOfficeRecord(*rec)};
    out.Write(json ? JsonMatch(line) + "\n" : TextLine(line, line.office ? "事業所" : ""));
  }
  return towns.entries.empty() ? 1 : 0;
}

// The towns of many codes (none for a code that is not one), found one
// way or the other: each(i, line) for each town of codes[i], in the order
// of the codes.
using Visit = std::function<void(size_t, const Line&)>;
using Finder = std::function<dict::Result<bool>(const std::vector<std::string>& codes, const Visit& each)>;

// Few codes: the window's own search, no index to build.
Finder SearchFinder(const std::string& path, const dict::PrefectureTable& table) {
  return [path, &table](const std::vector<std::string>& codes, const Visit& each) -> dict::Result<bool> {
    for (size_t i = 0; i < codes.size(); ++i) {
      if (codes[i].empty()) continue;
      auto outcome = dict::SearchPostalCode(path, table, codes[i]);
      if (outcome.readError) return *outcome.readError;
      for (const auto& row : outcome.rows) {
        auto picked = dict::ShowPickedResult(path, row, "");
        if (!picked) return picked.error();
        auto rec = TownAt(path, row.itemData);
        if (!rec) return rec.error();
        size_t b1 = row.text.find(' '), b2 = row.text.find(' ', b1 + 1);
        each(i, {picked->NewCode, picked->OldCode, picked->Address1, picked->Address2,
                 std::string_view(row.text).substr(b2 + 1), dict::IsOfficeRecord(*rec)});
      }
    }
    return true;
  };
}

Finder IndexFinder(const dict::CodeIndex& index) {
  return [&index](const std::vector<std::string>& codes, const Visit& each) {
    return index.ForEachMatch(codes, [&](size_t i, const dict::MatchView& m) {
      each(i, {m.newCode, m.oldCode, m.pref, m.city, m.town, m.office});
    });
  };
}

// Input codes as typed: for each, a line per town or one line with its
// status. Returns whether every one was found, or the read error.
dict::Result<bool> LookUp(const std::vector<std::string>& inputs, const Finder& find, bool json) {
  std::vector<std::string> codes, queries;
  std::vector<bool> bad;
  for (const std::string& input : inputs) {
    codes.push_back(dict::NormalizeCodeInput(input));
    const auto problem = dict::CodeInputProblem(codes.back());
    if (problem) std::fprintf(stderr, "%s: %s\n", input.c_str(), problem->c_str());
    bad.push_back(problem.has_value());
    queries.push_back(problem ? std::string() : codes.back());
  }
  bool all = true;
  std::string text;
  text.reserve(inputs.size() * 80);  // about a line each
  // The towns of input `next` arrive one by one; it is closed when a later
  // input's town arrives or at the end. JSON holds them back, since the
  // status (one town or several) comes first there.
  size_t next = 0, count = 0;
  std::string matchesJson;
  auto close = [&] {
    const char* status = bad[next] ? kInvalid : count == 0 ? kNone : count == 1 ? kFound : kSeveral;
    all = all && count > 0;
    if (json) {
      text += "{\"input\":" + JsonString(inputs[next]) + ",\"code\":" + JsonString(codes[next]) +
              ",\"status\":" + JsonString(status) + ",\"matches\":[" + matchesJson + "]}\n";
    } else if (count == 0) {
      AppendTextLine(text, {codes[next], "", "", "", "", false}, status);
    }
    ++next;
    count = 0;
    matchesJson.clear();
  };
  auto found = find(queries, [&](size_t i, const Line& line) {
    while (next < i) close();
    if (json) {
      matchesJson += (count ? "," : "") + JsonMatch(line);
    } else {
      AppendTextLine(text, line, line.office ? "事業所" : "");
    }
    ++count;
  });
  if (!found) return found.error();
  while (next < inputs.size()) close();
  out.Write(text);
  return all;
}

// The code column's form of a code: "NNN-NNNN", "NNN-NN" or "NNN".
std::string CodeText(const std::string& code) {
  return code.size() > 3 ? code.substr(0, 3) + "-" + code.substr(3) : code;
}

struct ColumnOptions {
  size_t column = 0;  // 1-based
  char separator = ',';
  bool header = false;
  std::string encoding;  // "sjis", "utf8" or "" to recognise
};

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

constexpr size_t kChunk = 256;  // rows looked up together

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

int ConvertColumn(const std::string& dicPath, const std::string& file, const ColumnOptions& options, bool addresses) {
  std::string text;
  if (file.empty() || file == "-") {
    text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  } else {
    auto read = platform::ReadWholeFile(file, size_t{512} << 20);
    if (!read) {
      std::fprintf(stderr, "kovant-lookup: %s: 読み込めません。\n", file.c_str());
      return 2;
    }
    text = std::move(*read);
  }
  std::optional<dict::CodeIndex> index;
  std::optional<dict::Gazetteer> gazetteer;
  Filler fill;
  if (addresses) {
    auto loaded = dict::Gazetteer::Load(dicPath);
    if (!loaded) return ReadError(dicPath, loaded.error());
    gazetteer = std::move(*loaded);
    fill = AddressFiller(*gazetteer);
  } else {
    auto built = dict::CodeIndex::Build(dicPath);
    if (!built) return ReadError(dicPath, built.error());
    index = std::move(*built);
    fill = CodeFiller(*index);
  }
  const bool sjis = options.encoding.empty() ? !IsUtf8(text) : options.encoding == "sjis";
  auto encode = [&](const std::string& utf8) { return sjis ? platform::Utf8ToSjis(utf8) : utf8; };
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
    std::string chunk;
    for (size_t r = first; r < last; ++r) {
      const std::vector<std::string> added =
          header && r == 0 ? std::vector<std::string>{"郵便番号", "都道府県", "市区町村", "町域", "状態"}
                           : filled->columns[r - first - (header ? 1 : 0)];
      chunk += records[r].raw;
      for (const auto& field : added) chunk += options.separator + tools::TableField(encode(field), options.separator);
      chunk += records[r].lineEnd;
    }
    out.Write(chunk);
  }
  return out.Finish(all ? 0 : 1);
}

// --find: the towns whose name or reading holds text, best first.
int FindTowns(const std::string& dicPath, const std::string& text, size_t limit, bool json) {
  auto gazetteer = dict::Gazetteer::Load(dicPath);
  if (!gazetteer) return ReadError(dicPath, gazetteer.error());
  const auto found = gazetteer->Find(text, limit);
  std::string lines;
  for (const auto& m : found) {
    const Line line{m.newCode, m.oldCode, m.pref, m.city, m.town, m.office};
    if (json) {
      lines += JsonMatch(line) + "\n";
    } else {
      AppendTextLine(lines, line, m.office ? "事業所" : "");
    }
  }
  out.Write(lines);
  return out.Finish(found.empty() ? 1 : 0);
}

// --address: each address (or each line of standard input) to its code.
int ResolveAddresses(const std::string& dicPath, std::vector<std::string> addresses, bool json) {
  if (addresses.empty() || (addresses.size() == 1 && addresses[0] == "-")) {
    addresses.clear();
    for (std::string line; std::getline(std::cin, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      addresses.push_back(line);
    }
  }
  auto gazetteer = dict::Gazetteer::Load(dicPath);
  if (!gazetteer) return ReadError(dicPath, gazetteer.error());
  bool all = true;
  std::string text;
  for (const auto& address : addresses) {
    const auto a = gazetteer->Resolve(address);
    const char* status = a.status == dict::AddressAnswer::Status::Single    ? kFound
                         : a.status == dict::AddressAnswer::Status::Several ? kSeveral
                                                                            : kNone;
    all = all && a.status == dict::AddressAnswer::Status::Single;
    if (json) {
      text += "{\"input\":" + JsonString(address) + ",\"status\":" + JsonString(status) +
              ",\"prefecture\":" + JsonString(a.pref) + ",\"city\":" + JsonString(a.city) +
              ",\"town\":" + JsonString(a.town) + ",\"note\":" + JsonString(a.note) + ",\"candidates\":[";
      for (size_t i = 0; i < a.candidates.size(); ++i) {
        const auto& m = a.candidates[i];
        text += (i ? "," : "") + JsonMatch({m.newCode, m.oldCode, m.pref, m.city, m.town, m.office});
      }
      text += "]}\n";
    } else {
      const std::string shown = a.note.empty() ? std::string(status) : status + std::string("（") + a.note + "）";
      if (a.candidates.empty()) AppendTextLine(text, {"", "", a.pref, a.city, a.town, false}, shown);
      for (const auto& m : a.candidates)
        AppendTextLine(text, {m.newCode, m.oldCode, m.pref, m.city, m.town, false}, shown);
    }
  }
  out.Write(text);
  return out.Finish(all ? 0 : 1);
}

// The dictionary's data date for --version.
std::string DataDate(const std::string& path) {
  auto dic = dict::DicFile::Open(path);
  if (!dic) return "辞書なし";
  auto header = (*dic)->ReadHeader();
  return header ? "辞書データ " + header->DataDate : "辞書を読めません";
}

// Lines of standard input, read in large blocks: a file of codes is tens
// of thousands of short lines. A line is handed out as soon as it is
// whole, so at a terminal each code is answered at once.
class LineReader {
 public:
  bool Next(std::string& line) {
    line.clear();
    for (;;) {
      const char* nl = static_cast<const char*>(std::memchr(buffer_ + start_, '\n', end_ - start_));
      if (nl) {
        line.append(buffer_ + start_, static_cast<size_t>(nl - (buffer_ + start_)));
        start_ = static_cast<size_t>(nl - buffer_) + 1;
        return true;
      }
      line.append(buffer_ + start_, end_ - start_);
      start_ = end_ = 0;
      if (eof_) return !line.empty();
      const ssize_t n = read(STDIN_FILENO, buffer_, sizeof buffer_);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        eof_ = true;
        continue;
      }
      end_ = static_cast<size_t>(n);
    }
  }

 private:
  char buffer_[65536];
  size_t start_ = 0, end_ = 0;
  bool eof_ = false;
};

// The batch index maps the dictionary: if the file is cut short while it is
// mapped (not what the updater does: it renames a new file into place),
// reading the lost pages raises SIGBUS. That ends the program as any other
// read error does, with a message and status 2, not with a crash.
void OnShrunkenDictionary(int) {
  static const char kMessage[] = "kovant-lookup: 辞書が読み込み中に短くなりました。\n";
  ssize_t ignored = write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
  (void)ignored;
  _exit(2);
}

}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGBUS, OnShrunkenDictionary);
  // Standard input read line by line in bulk, not in step with stdio.
  std::ios::sync_with_stdio(false);
  std::cin.tie(nullptr);
  std::string path, iniPath;
  bool json = false, walk = false, copyText = false, oldCode = false, info = false, version = false;
  bool address = false;
  std::string findText;
  size_t limit = 50;
  ColumnOptions column;
  std::vector<std::string> args;
  auto usage = [](int status) {
    std::fputs(kUsage, status == 0 ? stdout : stderr);
    return status;
  };
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](std::string& to) {
      if (i + 1 >= argc) return false;
      to = argv[++i];
      return true;
    };
    std::string number;
    if (a == "--dic") {
      if (!value(path)) return usage(2);
    } else if (a == "--ini") {
      if (!value(iniPath)) return usage(2);
    } else if (a == "--json") {
      json = true;
    } else if (a == "--walk") {
      walk = true;
    } else if (a == "--info") {
      info = true;
    } else if (a == "--copy") {
      copyText = true;
    } else if (a == "--old") {
      oldCode = true;
    } else if (a == "--column" || a == "--address-column") {
      if (!value(number)) return usage(2);
      char* end = nullptr;
      const long n = std::strtol(number.c_str(), &end, 10);
      if (*end != '\0' || n < 1 || n > 100000) {
        std::fprintf(stderr, "kovant-lookup: %s は 1 以上の列番号です: %s\n", a.c_str(), number.c_str());
        return 2;
      }
      column.column = static_cast<size_t>(n);
      address = address || a == "--address-column";
    } else if (a == "--address") {
      address = true;
    } else if (a == "--find") {
      if (!value(findText)) return usage(2);
    } else if (a == "--limit") {
      if (!value(number)) return usage(2);
      char* end = nullptr;
      const long n = std::strtol(number.c_str(), &end, 10);
      if (*end != '\0' || n < 1 || n > 1000000) return usage(2);
      limit = static_cast<size_t>(n);
    } else if (a == "--tsv") {
      column.separator = '\t';
    } else if (a == "--header") {
      column.header = true;
    } else if (a == "--encoding") {
      if (!value(column.encoding)) return usage(2);
      if (column.encoding == "shift_jis" || column.encoding == "cp932") column.encoding = "sjis";
      if (column.encoding == "utf-8") column.encoding = "utf8";
      if (column.encoding != "sjis" && column.encoding != "utf8") return usage(2);
    } else if (a == "--version") {
      version = true;
    } else if (a == "-h" || a == "--help") {
      return usage(0);
    } else if (a.size() > 1 && a[0] == '-' && a != "-") {
      return usage(2);
    } else {
      args.push_back(a);
    }
  }
  if (path.empty()) path = dict::DictionaryPathIn(dict::LocateDictionaryFolder());
  if (version) {
    out.Write(std::string("kovant-lookup ") + KOVANT_VERSION + "（" + DataDate(path) + ": " + path + "）\n");
    return out.Finish(0);
  }
  if (info) {
    if (walk || copyText || !args.empty() || column.column) return usage(2);
    auto census = dict::TakeCensus(path);
    if (!census) return ReadError(path, census.error());
    char buf[512];
    std::snprintf(buf, sizeof buf, "辞書: %s\nデータ日付: %s\n町域: %zu\n事業所: %zu\n市区町村: %zu\n郵便番号: %zu\n",
                  path.c_str(), census->header.DataDate.c_str(), census->towns, census->offices, census->cities,
                  census->codes.size());
    out.Write(buf);
    return out.Finish(0);
  }
  if (column.column) {
    if (walk || copyText || json || args.size() > 1) return usage(2);
    return ConvertColumn(path, args.empty() ? std::string() : args[0], column, address);
  }
  if (!findText.empty()) {
    if (walk || copyText || address || !args.empty()) return usage(2);
    return FindTowns(path, findText, limit, json);
  }
  if (address) {
    if (walk || copyText) return usage(2);
    return ResolveAddresses(path, args, json);
  }
  if ((walk && args.size() > 2) || (copyText && (walk || args.size() != 1))) return usage(2);
  auto loaded = dict::LoadDictionary(path);
  if (!loaded) return ReadError(path, loaded.error());
  if (loaded->versionMismatch) {
    std::fprintf(stderr, "%s\n", std::string(dict::kVersionMessage).c_str());
    return 2;
  }
  const auto& table = loaded->table;
  if (walk) return out.Finish(Walk(path, table, args, json));

  if (copyText) {
    settings::Settings settings;
    std::string folder = platform::SettingsFolder(), name(settings::kIniFileName);
    if (!iniPath.empty()) {
      auto slash = iniPath.rfind('/');
      folder = slash == std::string::npos ? "." : iniPath.substr(0, slash == 0 ? 1 : slash);
      name = slash == std::string::npos ? iniPath : iniPath.substr(slash + 1);
    }
    settings::LoadSettings(settings, folder, name);
    const std::string code = dict::NormalizeCodeInput(args[0]);
    if (auto problem = dict::CodeInputProblem(code)) {
      std::fprintf(stderr, "%s: %s\n", args[0].c_str(), problem->c_str());
      return 1;
    }
    auto outcome = dict::SearchPostalCode(path, table, code);
    if (outcome.readError) return ReadError(path, *outcome.readError);
    if (outcome.rows.empty()) return 1;
    auto picked = dict::ShowPickedResult(path, outcome.rows[0], "");
    if (!picked) return ReadError(path, picked.error());
    out.Write(copy::ComposeCopyText(oldCode ? 0 : 1, *picked, settings) + "\n");
    return out.Finish(0);
  }

  bool all = true;
  if (args.empty() || (args.size() == 1 && args[0] == "-")) {
    // Codes from standard input, one per line: the dictionary is read once
    // into an index when the first line arrives.
    std::optional<dict::CodeIndex> index;
    std::vector<std::string> lines;
    std::string line;
    const bool interactive = isatty(STDIN_FILENO);
    auto flush = [&]() -> dict::Result<bool> {
      if (lines.empty()) return true;
      if (!index) {
        auto built = dict::CodeIndex::Build(path);
        if (!built) return built.error();
        index = std::move(*built);
      }
      auto found = LookUp(lines, IndexFinder(*index), json);
      lines.clear();
      if (interactive) std::fflush(stdout);
      return found;
    };
    LineReader input;
    while (!out.Failed() && input.Next(line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
      // At a terminal each answer comes at once; from a file, in chunks.
      if (lines.size() < (interactive ? 1 : kChunk)) continue;
      auto found = flush();
      if (!found) return ReadError(path, found.error());
      all = all && *found;
    }
    auto found = flush();
    if (!found) return ReadError(path, found.error());
    all = all && *found;
    return out.Finish(all ? 0 : 1);
  }
  auto found = LookUp(args, SearchFinder(path, table), json);
  if (!found) return ReadError(path, found.error());
  all = *found;
  return out.Finish(all ? 0 : 1);
}
