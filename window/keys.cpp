#include "window/keys.h"

#include <cstdint>

namespace kovant::window {
namespace {

constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

// One character of UTF-8 at text[i], upper-case letters made lower; the
// length it took in n.
char32_t FoldedAt(std::string_view text, size_t i, size_t& n) {
  const auto b0 = static_cast<unsigned char>(text[i]);
  char32_t c = b0;
  n = 1;
  if (b0 >= 0xE0 && b0 < 0xF0 && i + 2 < text.size()) {
    c = (char32_t{b0} & 0x0F) << 12 | (static_cast<char32_t>(text[i + 1]) & 0x3F) << 6 |
        (static_cast<char32_t>(text[i + 2]) & 0x3F);
    n = 3;
  }
  if (c >= U'A' && c <= U'Z') return c + 32;
  if (c >= U'\uFF21' && c <= U'\uFF3A') return c + 32;  // full-width Ａ..Ｚ
  return n == 1 ? static_cast<char32_t>(b0) : c;
}

}  // namespace

std::string_view Trimmed(std::string_view text) {
  for (;;) {
    if (!text.empty() && IsBlank(text.front())) {
      text.remove_prefix(1);
    } else if (text.starts_with(kIdeographicSpace)) {
      text.remove_prefix(kIdeographicSpace.size());
    } else {
      break;
    }
  }
  for (;;) {
    if (!text.empty() && IsBlank(text.back())) {
      text.remove_suffix(1);
    } else if (text.ends_with(kIdeographicSpace)) {
      text.remove_suffix(kIdeographicSpace.size());
    } else {
      break;
    }
  }
  return text;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  size_t i = 0, j = 0;
  while (j < prefix.size()) {
    if (i >= text.size()) return false;
    size_t n = 0, m = 0;
    if (FoldedAt(text, i, n) != FoldedAt(prefix, j, m)) return false;
    i += n;
    j += m;
  }
  return true;
}

}  // namespace kovant::window
