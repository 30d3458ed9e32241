#include "dict/codeinput.h"

#include "dict/search.h"

namespace kovant::dict {
namespace {

// The code point at s[i] and its length in bytes; an invalid byte stands
// for itself (as U+FFFD, one byte long).
char32_t DecodeAt(std::string_view s, size_t i, size_t* length) {
  const auto c = static_cast<unsigned char>(s[i]);
  size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
  bool ok = n > 0 && i + n <= s.size();
  for (size_t k = 1; ok && k < n; ++k) ok = (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
  *length = ok ? n : 1;
  if (!ok) return 0xFFFD;
  char32_t v = n == 1 ? c : n == 2 ? (c & 0x1F) : n == 3 ? (c & 0x0F) : (c & 0x07);
  for (size_t k = 1; k < n; ++k) v = (v << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
  return v;
}

bool IsDigit(char32_t c) { return (c >= U'0' && c <= U'9') || (c >= U'０' && c <= U'９'); }

bool IsDropped(char32_t c) {
  switch (c) {
    case U'-':
    case U'‐':
    case U'‑':
    case U'‒':
    case U'–':
    case U'—':
    case U'−':
    case U'－':
    case U'﹣':
    case U'〒':
    case U' ':
    case U'\t':
    case U'　':
    case U'\r':
    case U'\n':
    case U'\uFEFF': return true;
    default: return false;
  }
}

}  // namespace

std::string NormalizeCodeInput(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  char32_t previous = 0;  // the code point before this one, kept or not
  for (size_t i = 0, n = 0; i < utf8.size(); i += n) {
    const char32_t c = DecodeAt(utf8, i, &n);
    if (c >= U'０' && c <= U'９') {
      out += static_cast<char>('0' + (c - U'０'));
    } else if (IsDropped(c)) {
      // dropped
    } else if (c == U'ー' && IsDigit(previous) && i + n < utf8.size()) {
      // A long-vowel mark typed for a hyphen by an input method, between digits.
      size_t m = 0;
      if (!IsDigit(DecodeAt(utf8, i + n, &m))) out.append(utf8.substr(i, n));
    } else {
      out.append(utf8.substr(i, n));
    }
    previous = c;
  }
  return out;
}

size_t CharacterCount(std::string_view utf8) {
  size_t count = 0;
  for (size_t i = 0, n = 0; i < utf8.size(); i += n) {
    DecodeAt(utf8, i, &n);
    ++count;
  }
  return count;
}

std::optional<std::string> CodeInputProblem(std::string_view code) {
  const size_t length = CharacterCount(code);
  if (length != 3 && length != 5 && length != 7) return std::string(kWrongLengthMessage);
  for (char c : code) {
    if (c < '0' || c > '9') return std::string(kNotDigitsMessage);
  }
  return std::nullopt;
}

}  // namespace kovant::dict
