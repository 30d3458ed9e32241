// Shift-JIS (code page 932) <-> UTF-8 through iconv.
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

// Shift-JIS to UTF-8 for many short texts (the names of a batch): each
// character goes through iconv once and is remembered, since a conversion
// call costs more than a name. Appends exactly what SjisToUtf8 gives.
class SjisDecoder {
 public:
  SjisDecoder();
  void Append(std::string& utf8, std::string_view sjis);
  // One character (a lead byte and its trail byte, or one byte): appends
  // what Append gives for it and returns true, or appends nothing and
  // returns false when the character is one Append leaves to SjisToUtf8
  // with the text around it.
  bool AppendChar(std::string& utf8, std::string_view sjisChar) {
    // Inline for the double-byte character met before: a batch's names are
    // almost all of those.
    // A whole file's single bytes (digits, commas, half-width readings) the
    // same way.
    if (const Char* ch = Known(sjisChar)) {
      utf8.append(ch->bytes, ch->length);
      return true;
    }
    return AppendCharSlowly(utf8, sjisChar);
  }

 private:
  struct Char;
  // The character's UTF-8 when it was converted before and is regular.
  const Char* Known(std::string_view sjisChar) const {
    const Char* ch = sjisChar.size() == 2 ? (doubles_.empty() ? nullptr : &doubles_[PairIndex(sjisChar)])
                                          : &singles_[static_cast<unsigned char>(sjisChar[0])];
    return ch && ch->length != 0 && ch->length != kIrregular ? ch : nullptr;
  }
  // Lead bytes 0x81..0x9F and 0xE0..0xFC as 0..59, then the trail byte.
  static constexpr size_t kLeadBytes = 60;
  static size_t PairIndex(std::string_view pair) {
    const auto lead = static_cast<unsigned char>(pair[0]);
    return (lead <= 0x9F ? lead - 0x81 : lead - 0xE0 + 0x1F) * size_t{256} + static_cast<unsigned char>(pair[1]);
  }
  bool AppendCharSlowly(std::string& utf8, std::string_view sjisChar);
  struct Char {
    char bytes[4];
    uint8_t length;  // 0: not converted yet; kIrregular: the text goes to SjisToUtf8 whole
  };
  static constexpr uint8_t kIrregular = 0xFF;
  const Char& Lookup(std::string_view sjisChar, Char& slot);
  std::vector<Char> singles_, doubles_;  // by byte; by lead byte's rank and trail byte
};

// Characters without a CP932 form become "?" and set *lossy when given.
std::string Utf8ToSjis(std::string_view utf8, bool* lossy = nullptr);

// UTF-8 to Shift-JIS for many short texts (a build's names and readings),
// the other way round: each character of the Basic Multilingual Plane goes
// through iconv once and is remembered. Gives exactly what Utf8ToSjis
// gives; a text with anything else (a bad byte, a character without a
// form) goes to Utf8ToSjis whole.
class SjisEncoder {
 public:
  std::string Encode(std::string_view utf8, bool* lossy = nullptr);

 private:
  struct Char {
    char bytes[2];
    uint8_t length;  // 0: not converted yet; kIrregular: the text goes to Utf8ToSjis whole
  };
  static constexpr uint8_t kIrregular = 0xFF;
  std::vector<Char> chars_;  // by code point, made with the first text
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
