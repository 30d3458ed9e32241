#include "platform/ini.h"

#include <cctype>
#include <vector>

#include "platform/files.h"
#include "platform/sjis.h"

namespace kovant::platform {
namespace {

constexpr std::size_t kMaxIniBytes = std::size_t{4} << 20;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

// Names as SameName compares them.
std::string Lowered(std::string_view name) {
  std::string out(name);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

struct Line {
  size_t begin, end;  // the line without its line break
  size_t next;        // start of the following line
};

std::vector<Line> SplitLines(const std::string& text) {
  std::vector<Line> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    size_t end = nl == std::string::npos ? text.size() : nl;
    size_t next = nl == std::string::npos ? text.size() : nl + 1;
    size_t contentEnd = end > pos && text[end - 1] == '\r' ? end - 1 : end;
    lines.push_back({pos, contentEnd, next});
    pos = next;
  }
  return lines;
}

// "[name]" -> name
std::optional<std::string_view> SectionName(std::string_view line) {
  line = TrimBlanks(line);
  if (line.size() < 2 || line.front() != '[') return std::nullopt;
  size_t close = line.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return TrimBlanks(line.substr(1, close - 1));
}

struct KeyLine {
  std::string_view key, value;
  size_t valueBegin, valueEnd;  // offsets in the file
};

std::optional<KeyLine> ParseKey(const std::string& text, const Line& l) {
  std::string_view line(text.data() + l.begin, l.end - l.begin);
  size_t eq = line.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  std::string_view key = TrimBlanks(line.substr(0, eq));
  if (key.empty() || key.front() == ';') return std::nullopt;
  size_t vb = eq + 1, ve = line.size();
  while (vb < ve && IsBlank(line[vb])) ++vb;
  while (ve > vb && IsBlank(line[ve - 1])) --ve;
  return KeyLine{key, line.substr(vb, ve - vb), l.begin + vb, l.begin + ve};
}

}  // namespace

bool IsBareFileName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name) {
    if (c == '/' || c == '\\' || c == '\0') return false;
  }
  return true;
}

IniFile IniFile::Load(const std::string& path) {
  IniFile ini;
  if (auto text = ReadWholeFile(path, kMaxIniBytes)) {
    ini.text_ = std::move(*text);
  } else {
    ini.intact_ = IsMissing(path);
  }
  return ini;
}

// Every value Get can give, read in one pass: settings read dozens of keys,
// and a pass per key cost more than the rest of a load.
IniFile::Index IniFile::MakeIndex(const std::string& text) {
  Index index;
  Index::mapped_type* keys = nullptr;  // of the section being read, if it is the first of its name
  for (const Line& l : SplitLines(text)) {
    std::string_view line(text.data() + l.begin, l.end - l.begin);
    if (auto name = SectionName(line)) {
      // Only the first section of a name counts, as with the Windows functions.
      auto [at, first] = index.try_emplace(Lowered(*name));
      keys = first ? &at->second : nullptr;
      continue;
    }
    if (!keys) continue;
    if (auto kv = ParseKey(text, l)) {
      std::string_view v = kv->value;
      // Quotes around a whole value are not part of it.
      if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        v = v.substr(1, v.size() - 2);
      }
      keys->try_emplace(Lowered(kv->key), v);  // the first of a name wins
    }
  }
  return index;
}

std::optional<std::string> IniFile::Get(std::string_view section, std::string_view key) const {
  if (!index_) index_ = MakeIndex(text_);
  auto keys = index_->find(Lowered(section));
  if (keys == index_->end()) return std::nullopt;
  auto value = keys->second.find(Lowered(key));
  if (value == keys->second.end()) return std::nullopt;
  return value->second;
}

void IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
  index_.reset();
  std::string entry = std::string(key) + "=" + std::string(value);
  auto lines = SplitLines(text_);
  bool inSection = false;
  std::optional<size_t> insertAt;  // after the last non-blank line of the section
  for (const Line& l : lines) {
    std::string_view line(text_.data() + l.begin, l.end - l.begin);
    if (auto name = SectionName(line)) {
      if (inSection) break;
      inSection = SameName(*name, section);
      if (inSection) insertAt = l.next;
      continue;
    }
    if (!inSection) continue;
    if (auto kv = ParseKey(text_, l); kv && SameName(kv->key, key)) {
      text_.replace(kv->valueBegin, kv->valueEnd - kv->valueBegin, value);
      return;
    }
    if (!TrimBlanks(line).empty()) insertAt = l.next;
  }
  auto ensureBreak = [&](size_t at) {
    // A last line without its line break gets one before anything follows it.
    if (at > 0 && text_[at - 1] != '\n') {
      text_.insert(at, "\r\n");
      return at + 2;
    }
    return at;
  };
  if (insertAt) {
    size_t at = ensureBreak(*insertAt);
    text_.insert(at, entry + "\r\n");
    return;
  }
  size_t at = ensureBreak(text_.size());
  text_.insert(at, "[" + std::string(section) + "]\r\n" + entry + "\r\n");
}

std::string ProfileString(const IniFile& ini, std::string_view section, std::string_view key, std::string_view def,
                          std::size_t maxBytes) {
  auto raw = ini.Get(section, key);
  std::string sjis = raw ? *raw : Utf8ToSjis(def);
  return SjisToUtf8(SjisPrefix(sjis, maxBytes));
}

long ProfileInt(const IniFile& ini, std::string_view section, std::string_view key, long def) {
  auto raw = ini.Get(section, key);
  if (!raw || raw->empty()) return def;
  std::string_view v = *raw;
  bool negative = false;
  size_t i = 0;
  if (v[0] == '-' || v[0] == '+') {
    negative = v[0] == '-';
    i = 1;
  }
  long value = 0;
  bool any = false;
  for (; i < v.size() && v[i] >= '0' && v[i] <= '9'; ++i) {
    any = true;
    if (value < 100000000L) value = value * 10 + (v[i] - '0');  // saturates, never overflows
  }
  if (!any) return 0;
  return negative ? -value : value;
}

}  // namespace kovant::platform
