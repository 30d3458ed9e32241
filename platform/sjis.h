// Shift-JIS (code page 932) <-> UTF-8 through one table, made from the C
// library's converter (scripts/cp932-table.cpp), both ways: no converter is
// loaded, and every system converts alike.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kovant::platform {

// Invalid or unmappable input never fails: each bad byte becomes U+FFFD.
std::string SjisToUtf8(std::string_view sjis);

// Converts many texts in one pass (each conversion call has a fixed cost
// that dominates for short names). One text in, one text out, whatever the
// bytes: a line feed or a lead byte without its trail byte becomes "?".
std::vector<std::string> SjisToUtf8Batch(const std::vector<std::string_view>& sjis);

// Appends the UTF-8 form of a code point (below U+110000). The one encoder
// of the program; inline, as names and readings are made a character at a
// time.
inline void AppendUtf8(std::string& utf8, char32_t c) {
  if (c < 0x80) {
    utf8 += static_cast<char>(c);
    return;
  }
  const std::size_t n = c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
  char bytes[4];
  for (std::size_t k = n - 1; k > 0; --k, c >>= 6) bytes[k] = static_cast<char>(0x80 | (c & 0x3F));
  constexpr unsigned char kLead[5] = {0, 0, 0xC0, 0xE0, 0xF0};
  bytes[0] = static_cast<char>(kLead[n] | c);
  utf8.append(bytes, n);
}

// Shift-JIS to UTF-8 for many short texts (the names of a batch), each
// character through the table. Appends exactly what SjisToUtf8 gives.
class SjisDecoder {
 public:
  static void Append(std::string& utf8, std::string_view sjis);
  // One character (a lead byte and its trail byte, or one byte): appends
  // it and returns true, or appends nothing and returns false when it is
  // no character.
  static bool AppendChar(std::string& utf8, std::string_view sjisChar) {
    const char32_t c = CharOf(sjisChar);
    if (c == kNotOne) return false;
    AppendUtf8(utf8, c);
    return true;
  }

  // The character a Shift-JIS character stands for, or kNotOne when it is
  // none (a bad byte, a lead byte without its trail byte).
  static constexpr char32_t kNotOne = 0xFFFF;
  static char32_t CharOf(std::string_view sjisChar) {
    const auto lead = static_cast<unsigned char>(sjisChar[0]);
    if (sjisChar.size() != 2) return kSingles[lead];
    const auto trail = static_cast<unsigned char>(sjisChar[1]);
    if (!IsLead(lead) || trail < kFirstTrail || trail > kLastTrail) return kNotOne;
    return kPairs[(lead <= 0x9F ? lead - 0x81 : lead - 0xE0 + 0x1F) * kTrails + (trail - kFirstTrail)];
  }

 private:
  static constexpr bool IsLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
  static constexpr unsigned kFirstTrail = 0x40, kLastTrail = 0xFC, kTrails = kLastTrail - kFirstTrail + 1;
  // Code points below 0x10000; kNotOne for the rest (cp932table.inc).
  static const uint16_t kSingles[256];
  static const uint16_t kPairs[60 * kTrails];
};

// Characters without a CP932 form become "?" and set *lossy when given.
std::string Utf8ToSjis(std::string_view utf8, bool* lossy = nullptr);

// UTF-8 to Shift-JIS for many short texts (a build's names and readings):
// what Utf8ToSjis gives, kept as a class for its callers.
class SjisEncoder {
 public:
  std::string Encode(std::string_view utf8, bool* lossy = nullptr);
};

// True when a byte starts a double-byte Shift-JIS character.
constexpr bool IsSjisLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// The code point at utf8[i] and its length in bytes; an invalid byte stands
// for itself (as U+FFFD, one byte long). Inline: the build decodes every
// character of its names and readings.
inline char32_t DecodeUtf8At(std::string_view s, std::size_t i, std::size_t* length) {
  const auto c = static_cast<unsigned char>(s[i]);
  if (c < 0x80) {
    *length = 1;
    return c;
  }
  size_t n = (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
  bool ok = n > 0 && i + n <= s.size();
  for (size_t k = 1; ok && k < n; ++k) ok = (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
  *length = ok ? n : 1;
  if (!ok) return 0xFFFD;
  char32_t v = n == 2 ? (c & 0x1F) : n == 3 ? (c & 0x0F) : (c & 0x07);
  for (size_t k = 1; k < n; ++k) v = (v << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
  return v;
}

// Largest prefix of sjis that is at most maxBytes long and does not split a
// double-byte character.
std::string_view SjisPrefix(std::string_view sjis, std::size_t maxBytes);

}  // namespace kovant::platform
