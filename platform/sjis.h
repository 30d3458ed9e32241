// Shift-JIS (code page 932) <-> UTF-8 through iconv.
#pragma once

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

// Characters without a CP932 form become "?" and set *lossy when given.
std::string Utf8ToSjis(std::string_view utf8, bool* lossy = nullptr);

// True when a byte starts a double-byte Shift-JIS character.
constexpr bool IsSjisLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// The code point at utf8[i] and its length in bytes; an invalid byte stands
// for itself (as U+FFFD, one byte long).
char32_t DecodeUtf8At(std::string_view utf8, std::size_t i, std::size_t* length);

// Largest prefix of sjis that is at most maxBytes long and does not split a
// double-byte character.
std::string_view SjisPrefix(std::string_view sjis, std::size_t maxBytes);

}  // namespace kovant::platform
