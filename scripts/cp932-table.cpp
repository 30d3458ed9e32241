// Writes platform/cp932table.inc: every Shift-JIS character (CP932) as the
// code point the system's iconv gives it, so that names are decoded without
// loading the converter. Rerun after a change of the C library's tables:
//   g++ -std=c++20 -O2 -o /tmp/cp932-table scripts/cp932-table.cpp
//   /tmp/cp932-table > platform/cp932table.inc
// The unit test Sjis.TheTableGivesWhatIconvGivesForEveryCharacter checks
// every entry; the encoder is made from the same table (platform/sjis.cpp),
// and Sjis.TheEncoderGivesWhatIconvGives holds it to the converter.
#include <iconv.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

// The one character iconv makes of bytes, or 0xFFFF when it makes anything
// else (an error, several characters, U+FFFD, a character beyond the BMP).
uint16_t CodePoint(iconv_t cd, const std::string& sjis) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char out[16];
  char* in = const_cast<char*>(sjis.data());
  size_t inLeft = sjis.size(), outLeft = sizeof out;
  char* dst = out;
  if (iconv(cd, &in, &inLeft, &dst, &outLeft) == static_cast<size_t>(-1) || inLeft != 0) return 0xFFFF;
  if (iconv(cd, nullptr, nullptr, &dst, &outLeft) == static_cast<size_t>(-1)) return 0xFFFF;
  const size_t n = static_cast<size_t>(dst - out);
  if (n != 4) return 0xFFFF;  // UTF-32LE: exactly one character
  uint32_t c = 0;
  for (int i = 3; i >= 0; --i) c = c << 8 | static_cast<unsigned char>(out[i]);
  return c >= 0xFFFF || (c >= 0xD800 && c <= 0xDFFF) || c == 0xFFFD ? 0xFFFF : static_cast<uint16_t>(c);
}

bool IsLead(unsigned c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

}  // namespace

int main() {
  iconv_t cd = iconv_open("UTF-32LE", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return 1;
  std::printf("// Made by scripts/cp932-table.cpp from the C library's CP932 converter.\n");
  std::printf("// Single bytes, then lead bytes 0x81..0x9F, 0xE0..0xFC by trail byte 0x40..0xFC;\n");
  std::printf("// 0xFFFF: not one character of its own.\n");
  std::printf("const uint16_t SjisDecoder::kSingles[256] = {");
  for (unsigned b = 0; b < 256; ++b) {
    const uint16_t c = IsLead(b) ? 0xFFFF : CodePoint(cd, std::string(1, static_cast<char>(b)));
    std::printf("%s0x%04X,", b % 12 ? " " : "\n    ", c);
  }
  std::printf("\n};\nconst uint16_t SjisDecoder::kPairs[60 * kTrails] = {");
  int k = 0;
  for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
    if (!IsLead(lead)) continue;
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail, ++k) {
      const uint16_t c = CodePoint(cd, std::string{static_cast<char>(lead), static_cast<char>(trail)});
      std::printf("%s0x%04X,", k % 12 ? " " : "\n    ", c);
    }
  }
  std::printf("\n};\n");
  iconv_close(cd);
  return 0;
}
