#include "tools/table.h"

namespace kovant::tools {

std::vector<TableRecord> SplitTable(std::string_view s, char sep) {
  std::vector<TableRecord> out;
  size_t i = 0;
  while (i < s.size()) {
    TableRecord rec;
    const size_t start = i;
    std::string field;
    bool quoted = false;
    while (i < s.size()) {
      const char c = s[i];
      if (quoted) {
        if (c == '"') {
          if (i + 1 < s.size() && s[i + 1] == '"') {
            field += '"';
            i += 2;
            continue;
          }
          quoted = false;
        } else {
          field += c;
        }
        ++i;
      } else if (c == '"' && field.empty()) {
        quoted = true;
        ++i;
      } else if (c == sep) {
        rec.fields.push_back(std::move(field));
        field.clear();
        ++i;
      } else if (c == '\r' || c == '\n') {
        break;
      } else {
        field += c;
        ++i;
      }
    }
    rec.fields.push_back(std::move(field));
    rec.raw = s.substr(start, i - start);
    size_t end = i;
    if (end < s.size() && s[end] == '\r') ++end;
    if (end < s.size() && s[end] == '\n') ++end;
    rec.lineEnd = s.substr(i, end - i);
    i = end;
    out.push_back(std::move(rec));
  }
  return out;
}

std::string TableField(std::string_view field, char sep) {
  if (field.find_first_of(std::string{sep, '"', '\r', '\n'}) == std::string_view::npos) return std::string(field);
  std::string out = "\"";
  for (char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

}  // namespace kovant::tools
