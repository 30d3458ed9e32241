#include "dict/variants.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "platform/sjis.h"

namespace kovant::dict {
namespace {

struct Variant {
  char32_t from, to;
};

// The compatibility ideographs and radicals by their decompositions, and
// the variant kanji of Japanese use as Unihan joins them, each group as the
// form Japan Post writes; scripts/variants-table writes it.
constexpr Variant kVariants[] = {
#include "dict/variants.inc"
};

char32_t Lookup(char32_t c) {
  const auto* end = std::end(kVariants);
  const auto* at =
      std::lower_bound(std::begin(kVariants), end, c, [](const Variant& v, char32_t k) { return v.from < k; });
  return at != end && at->from == c ? at->to : c;
}

}  // namespace

std::string FoldVariants(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    // Kanji and radicals are three bytes (U+2E80..U+FAFF) or four (the supplement):
    // anything else, and a sequence cut short, is copied as it is.
    const size_t n = b >= 0xF0 ? 4 : b >= 0xE2 ? 3 : 0;
    if (n == 0 || i + n > s.size()) {
      out += s[i++];
      continue;
    }
    char32_t c = n == 3 ? (b & 0x0F) : (b & 0x07);
    for (size_t k = 1; k < n; ++k) c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    const char32_t to = Lookup(c);
    if (to == c) {
      out.append(s, i, n);
    } else {
      platform::AppendUtf8(out, to);
    }
    i += n;
  }
  return out;
}

size_t VariantCount() { return std::size(kVariants); }

}  // namespace kovant::dict
