#include "dict/codeinput.h"

#include <algorithm>

#include "dict/search.h"
#include "platform/sjis.h"

namespace kovant::dict {
namespace {

bool IsDigit(char32_t c) { return (c >= U'0' && c <= U'9') || (c >= U'０' && c <= U'９'); }

bool IsDropped(char32_t c) {
  switch (c) {
    case U'-':
    case U'‐':
    case U'‑':
    case U'‒':
    case U'–':
    case U'—':
    case U'―':  // what Shift-JIS's dash decodes to
    case U'ｰ':  // a half-width long-vowel mark typed for a hyphen
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
  // Most codes of a batch come as plain digits already.
  if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return c >= '0' && c <= '9'; })) return std::string(utf8);
  std::string out;
  out.reserve(utf8.size());
  char32_t previous = 0;  // the code point before this one, kept or not
  for (size_t i = 0, n = 0; i < utf8.size(); i += n) {
    const char32_t c = platform::DecodeUtf8At(utf8, i, &n);
    if (c >= U'０' && c <= U'９') {
      out += static_cast<char>('0' + (c - U'０'));
    } else if (IsDropped(c)) {
      // dropped
    } else if (c == U'ー' && IsDigit(previous) && i + n < utf8.size()) {
      // A long-vowel mark typed for a hyphen by an input method, between digits.
      size_t m = 0;
      if (!IsDigit(platform::DecodeUtf8At(utf8, i + n, &m))) out.append(utf8.substr(i, n));
    } else {
      out.append(utf8.substr(i, n));
    }
    previous = c;
  }
  return out;
}

size_t CharacterCount(std::string_view utf8) {
  if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    return utf8.size();
  }
  size_t count = 0;
  for (size_t i = 0, n = 0; i < utf8.size(); i += n) {
    platform::DecodeUtf8At(utf8, i, &n);
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
