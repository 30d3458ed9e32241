#include "update/kenall.h"

#include "dict/address.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <functional>
#include <ctime>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/sjis.h"
#include "update/unzip.h"

namespace kovant::tools {
namespace {

bool AllDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && s[b] == ' ') ++b;
  while (e > b && s[e - 1] == ' ') --e;
  return std::string(s.substr(b, e - b));
}

bool EndsWith(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string DateOf(time_t t) { return platform::LocalDate(t); }

bool IsValidUtf8(std::string_view s, bool* hasMultibyte) {
  *hasMultibyte = false;
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    if (n > 1) {
      if (c == 0xC0 || c == 0xC1) return false;
      *hasMultibyte = true;
    }
    for (size_t k = 1; k < n; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += n;
  }
  return true;
}

// Where a row is, for messages: made only for one (a whole file's worth of
// these texts cost as much as its rows).
struct Where {
  const std::string& source;
  size_t line;
  std::string Text() const { return source + ":" + std::to_string(line); }
};

// Where the rows of both files start: checked code, names and prefecture.
// The texts are taken.
Result<KenRow> CheckedRow(const Where& where, std::string lgCode, std::string oldCode, std::string newCode,
                          std::string& pref, std::string& city) {
  if (lgCode.size() != 5 || !AllDigits(lgCode)) {
    return Error{where.Text() + ": 全国地方公共団体コードが不正です: " + lgCode};
  }
  const int prefNo = (lgCode[0] - '0') * 10 + (lgCode[1] - '0');
  if (prefNo < 1 || prefNo > 47) return Error{where.Text() + ": 都道府県コードが不正です: " + lgCode};
  if (pref != PrefectureNames()[static_cast<size_t>(prefNo - 1)]) {
    return Error{where.Text() + ": 都道府県名が不明です: " + pref};
  }
  if (newCode.size() != 7 || !AllDigits(newCode)) return Error{where.Text() + ": 郵便番号が不正です: " + newCode};
  if ((oldCode.size() != 3 && oldCode.size() != 5) || !AllDigits(oldCode)) {
    return Error{where.Text() + ": 旧郵便番号が不正です: " + oldCode};
  }
  if (city.empty()) return Error{where.Text() + ": 市区町村名がありません。"};
  KenRow row;
  row.line = where.line;
  row.lgCode = std::move(lgCode);
  row.oldCode = std::move(oldCode);
  row.newCode = std::move(newCode);
  row.pref = std::move(pref);
  row.city = std::move(city);
  return row;
}

// What one field and one row of Japan Post's files may hold: far above
// any real row, far below what a hostile file could make us allocate.
constexpr size_t kMaxField = 2048;

// The rows of CSV text appended to rows.
template <typename MakeRow>
Result<bool> ParseRows(const std::string& text, const std::string& sourceName, size_t columns,
                       std::vector<KenRow>& rows, MakeRow makeRow) {
  // A row a line, near enough: the vector is made once at its size rather
  // than grown through copies twice as large (a no-op when the caller made
  // room for it).
  const size_t before = rows.size();
  rows.reserve(before + LineCount(text));
  std::optional<Error> failure;
  // Checked as each row is read, so a file of nothing but commas is refused
  // at its first line rather than split whole into fields first.
  auto read = ForEachCsvRecord(text, CsvLimits{columns, kMaxField}, [&](std::vector<std::string>& f, size_t line) {
    const Where where{sourceName, line};
    if (f.size() == 1 && f[0].empty()) return true;  // a blank line
    if (f.size() != columns) {
      failure = Error{where.Text() + ": 列の数が " + std::to_string(f.size()) + " です（" + std::to_string(columns) +
                      " 列のはずです）。"};
      return false;
    }
    auto row = makeRow(where, f);
    if (!row) {
      failure = row.error();
      return false;
    }
    rows.push_back(std::move(row.value()));
    return true;
  });
  if (!read) return Error{sourceName + ":" + read.error().description};
  if (failure) return *failure;
  if (rows.size() == before) return Error{sourceName + ": 行がありません。"};
  return true;
}

// An office's town: town and block, then one parenthesis holding what the
// block's own parenthesis said (a post-office box, mostly) and the office's
// name, so the supplement reads as one clean text.
std::string OfficeTownName(const std::string& town, const std::string& block, const std::string& name,
                           size_t* keepTail) {
  static const std::string kOpen = "（", kClose = "）";
  std::string address = block, inner;
  if (auto open = block.find(kOpen); open != std::string::npos) {
    auto close = block.rfind(kClose);
    if (close != std::string::npos && close > open) {
      inner = block.substr(open + kOpen.size(), close - open - kOpen.size());
      address = block.substr(0, open) + block.substr(close + kClose.size());
    }
  }
  std::string tail = kOpen + (inner.empty() ? name : inner + "　" + name) + kClose;
  *keepTail = tail.size();
  return town + address + tail;
}

}  // namespace

const std::vector<std::string>& PrefectureNames() {
  static const std::vector<std::string> names = {
      "北海道", "青森県", "岩手県", "宮城県",   "秋田県", "山形県",   "福島県", "茨城県", "栃木県", "群馬県",
      "埼玉県", "千葉県", "東京都", "神奈川県", "新潟県", "富山県",   "石川県", "福井県", "山梨県", "長野県",
      "岐阜県", "静岡県", "愛知県", "三重県",   "滋賀県", "京都府",   "大阪府", "兵庫県", "奈良県", "和歌山県",
      "鳥取県", "島根県", "岡山県", "広島県",   "山口県", "徳島県",   "香川県", "愛媛県", "高知県", "福岡県",
      "佐賀県", "長崎県", "熊本県", "大分県",   "宮崎県", "鹿児島県", "沖縄県"};
  return names;
}

Result<InputFile> ReadInputFile(const std::string& path) {
  auto raw = platform::ReadWholeFile(path, std::size_t{512} << 20);
  // Messages name the file as the user's system writes paths.
  const std::string shown = platform::DisplayPath(path);
  if (!raw) return Error{shown + ": 読み込めません。"};
  std::string date;
  if (const auto id = platform::IdentityOfPath(path)) date = DateOf(static_cast<time_t>(id->mtimeNs / 1000000000));
  return ReadInputBytes(std::move(*raw), shown, path.substr(platform::FileNameStart(path)), date);
}

Result<InputFile> ReadInputBytes(std::string raw, const std::string& path, const std::string& name,
                                 const std::string& date, size_t maxBytes) {
  InputFile in;
  in.date = date;
  in.name = name;
  if (raw.size() < 4 || raw.compare(0, 4, "PK\x03\x04") != 0) {
    if (raw.size() >= 4 && raw.compare(0, 4, "PK\x05\x06") == 0)
      return Error{path + ": zip の中にファイルがありません。"};
    in.bytes = std::move(raw);
    return in;
  }
  return ReadZipCsv(raw, path, date, maxBytes);
}

// By memchr: counted byte by byte, the national file's lines took as long
// as its unpacking.
size_t LineCount(std::string_view text) {
  size_t lines = 1;
  for (const char *at = text.data(), *end = at + text.size();
       (at = static_cast<const char*>(std::memchr(at, '\n', static_cast<size_t>(end - at)))) != nullptr; ++at) {
    ++lines;
  }
  return lines;
}

std::string CsvToUtf8(std::string_view bytes) {
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.remove_prefix(3);
  bool multibyte = false;
  if (IsValidUtf8(bytes, &multibyte)) return std::string(bytes);
  // Character by character through the decoder's table: one iconv pass
  // over the national file cost a sixth of the build.
  // Room for what the national file grows to (half as much again, and a
  // little more): growing past it copied the whole text once more. What is
  // not written costs no memory.
  std::string utf8;
  utf8.reserve(bytes.size() * 2);
  platform::SjisDecoder::Append(utf8, bytes);
  return utf8;
}

namespace {

// How many more bytes a field may take before it is one too long: a run is
// appended whole, never more than the byte that makes it too long.
size_t Room(const std::string& field, const CsvLimits& limits) {
  return limits.maxField >= field.size() && limits.maxField - field.size() < SIZE_MAX
             ? limits.maxField - field.size() + 1
             : SIZE_MAX;
}

// A quoted field's text, from just past its opening quote to just past its
// closing one, a run at a time, its line feeds counted. False when a run
// made it too long (the reading stops there).
bool ReadQuoted(std::string_view s, size_t& i, std::string& field, size_t& line, const CsvLimits& limits) {
  while (i < s.size()) {
    if (s[i] == '"') {
      if (i + 1 < s.size() && s[i + 1] == '"') {
        field += '"';
        i += 2;
        continue;
      }
      ++i;
      break;
    }
    const size_t quote = std::min(s.find('"', i), s.size());
    const size_t take = std::min(quote - i, Room(field, limits));
    line += LineCount(s.substr(i, take)) - 1;
    field.append(s.substr(i, take));
    i += take;
    if (field.size() > limits.maxField) return false;
  }
  return true;
}

}  // namespace

Result<bool> ForEachCsvRecord(std::string_view s, const CsvLimits& limits,
                              const std::function<bool(std::vector<std::string>&, size_t line)>& fn) {
  std::vector<std::string> fields;
  std::string field;
  size_t line = 1, rowLine = 1;
  size_t i = 0;
  bool any = false;
  auto tooMuch = [&]() -> std::optional<Error> {
    if (field.size() > limits.maxField) {
      return Error{std::to_string(rowLine) + ": 欄が " + std::to_string(limits.maxField) + " バイトを超えています。"};
    }
    if (fields.size() > limits.maxFields) {
      return Error{std::to_string(rowLine) + ": 列が " + std::to_string(limits.maxFields) + " を超えています。"};
    }
    return std::nullopt;
  };
  // Returns false when fn asked to stop.
  auto endRow = [&] {
    fields.push_back(std::move(field));
    field.clear();
    const bool go = fn(fields, rowLine);
    fields.clear();
    any = false;
    return go;
  };
  while (i < s.size()) {
    char c = s[i];
    if (c == '"' && field.empty()) {
      if (!ReadQuoted(s, ++i, field, line, limits)) return *tooMuch();
      any = true;
      continue;
    }
    if (c == ',') {
      fields.push_back(std::move(field));
      field.clear();
      if (auto e = tooMuch()) return *e;
      any = true;
      ++i;
      continue;
    }
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
      ++i;
      if (!endRow()) return false;
      ++line;
      rowLine = line;
      continue;
    }
    // Up to the next comma or line end at once (a quote inside a field is
    // its own text), no further than the limit.
    const size_t stop = std::min(s.find_first_of(",\r\n", i + 1), s.size());
    const size_t take = std::min(stop - i, Room(field, limits));
    field.append(s.substr(i, take));
    if (field.size() > limits.maxField) return *tooMuch();
    any = true;
    i += take;
  }
  if (any || !field.empty() || !fields.empty()) return endRow();
  return true;
}

std::vector<std::vector<std::string>> ParseCsv(std::string_view s, std::vector<size_t>* lineNumbers) {
  std::vector<std::vector<std::string>> rows;
  (void)ForEachCsvRecord(s, CsvLimits{}, [&](std::vector<std::string>& fields, size_t line) {
    rows.push_back(std::move(fields));
    if (lineNumbers) lineNumbers->push_back(line);
    return true;
  });
  return rows;
}

namespace {

// The fields are taken: the reader has done with them.
Result<KenRow> KenAllRow(const Where& where, std::vector<std::string>& f) {
  auto row = CheckedRow(where, Trim(f[0]), Trim(f[1]), Trim(f[2]), f[6], f[7]);
  if (!row) return row;
  row->town = std::move(f[8]);
  row->prefKana = std::move(f[3]);
  row->cityKana = std::move(f[4]);
  row->townKana = std::move(f[5]);
  return row;
}

Result<KenRow> OfficeRow(const Where& where, std::vector<std::string>& f) {
  auto row = CheckedRow(where, Trim(f[0]), Trim(f[8]), Trim(f[7]), f[3], f[4]);
  if (!row) return row;
  std::string name = f[2];
  while (!name.empty() && name.back() == ' ') name.pop_back();
  row->town = OfficeTownName(f[5], f[6], name, &row->keepTail);
  row->townKana = Trim(f[1]);
  row->office = true;
  return row;
}

}  // namespace

Result<std::vector<KenRow>> ParseKenAll(std::string_view csvBytes, const std::string& sourceName) {
  std::vector<KenRow> rows;
  auto read = ParseRows(CsvToUtf8(csvBytes), sourceName, 15, rows, KenAllRow);
  if (!read) return read.error();
  return rows;
}

Result<std::vector<KenRow>> ParseOffices(std::string_view csvBytes, const std::string& sourceName) {
  std::vector<KenRow> rows;
  auto read = ParseRows(CsvToUtf8(csvBytes), sourceName, 13, rows, OfficeRow);
  if (!read) return read.error();
  return rows;
}

Result<bool> AppendKenAll(std::string&& csvBytes, const std::string& sourceName, std::vector<KenRow>& rows) {
  std::string text = CsvToUtf8(csvBytes);
  std::string().swap(csvBytes);
  return ParseRows(text, sourceName, 15, rows, KenAllRow);
}

Result<bool> AppendOffices(std::string_view csvBytes, const std::string& sourceName, std::vector<KenRow>& rows) {
  return ParseRows(CsvToUtf8(csvBytes), sourceName, 13, rows, OfficeRow);
}

std::string NormalizeTownName(const std::string& town, const std::string& city) {
  if (town == "以下に掲載がない場合") return {};
  const std::string local = dict::CityLocalName(city);
  auto isCity = [&](std::string_view name) { return name == local || name == city; };
  static const std::string kWhole = "一円";
  if (EndsWith(town, kWhole) && isCity(std::string_view(town).substr(0, town.size() - kWhole.size()))) return {};
  static const std::string kNext = "の次に", kComes = "がくる場合";
  if (auto a = town.find(kNext); a != std::string::npos) {
    auto b = town.find(kComes, a);
    if (b != std::string::npos) {
      std::string what = town.substr(a + kNext.size(), b - a - kNext.size());
      std::string rest = town.substr(b + kComes.size());
      static const std::string kOpen = "（", kClose = "）";
      if (rest.size() > kOpen.size() + kClose.size() && rest.rfind(kOpen, 0) == 0 && EndsWith(rest, kClose)) {
        what += "　" + rest.substr(kOpen.size(), rest.size() - kOpen.size() - kClose.size());
      }
      // The place before "の次に" is part of the address unless it is the
      // city itself (大島町 of 西海市 is a town of its own).
      const std::string place = town.substr(0, a);
      const std::string head = isCity(place) ? std::string() : place;
      return what.empty() ? head : head + "（" + what + "）";
    }
  }
  static const std::string kExcept = "（次のビルを除く）";
  if (EndsWith(town, kExcept)) return town.substr(0, town.size() - kExcept.size());
  return town;
}

Result<std::vector<KenRow>> JoinSplitRows(std::vector<KenRow> rows, const std::string& sourceName) {
  // No real town runs over more than a few hundred bytes.
  constexpr size_t kMaxJoined = 16384;
  static const std::string kOpen = "（", kClose = "）";
  // Joined in place (a row is written no later than it was read): the
  // national file is tens of megabytes of rows, and a second copy of them
  // was most of the build's peak memory.
  size_t written = 0;
  for (size_t i = 0; i < rows.size();) {
    KenRow row = std::move(rows[i++]);
    if (!row.office && row.town.find(kOpen) != std::string::npos && row.town.find(kClose) == std::string::npos) {
      // Only the part just added is searched for the closing parenthesis,
      // so a parenthesis continued over many rows stays linear.
      bool closed = false;
      while (!closed && i < rows.size() && !rows[i].office && rows[i].newCode == row.newCode &&
             rows[i].lgCode == row.lgCode) {
        closed = rows[i].town.find(kClose) != std::string::npos;
        row.town += rows[i++].town;
        if (row.town.size() > kMaxJoined) {
          return Error{sourceName + ":" + std::to_string(row.line) + ": 町域名が " + std::to_string(kMaxJoined) +
                       " バイトを超えて続いています。"};
        }
      }
    }
    if (!row.office) row.town = NormalizeTownName(row.town, row.city);
    rows[written++] = std::move(row);
  }
  rows.resize(written);
  return rows;
}

}  // namespace kovant::tools
