// ICU's C functions that the readings use, loaded when first needed: linked,
// its libraries cost every start of kovant-lookup about a millisecond, as
// much as the lookups of a whole batch, and most runs need no reading. The
// types are ICU's as its C interface passes them (UChar is a UTF-16 unit,
// UErrorCode an int that is positive for a failure), so no header of ICU is
// needed beyond the loader. One loader per system (icu_unix.cpp,
// icu_windows.cpp).
#pragma once

#include <cstdint>

namespace kovant::platform {

using IcuStatus = int;  // UErrorCode
inline bool IcuFailed(IcuStatus status) { return status > 0; }
struct IcuNormalizer;      // UNormalizer2
struct IcuTransliterator;  // UTransliterator
struct IcuParseError {     // UParseError
  int32_t line, offset;
  char16_t preContext[16], postContext[16];
};
inline constexpr int kIcuForward = 0;  // UTRANS_FORWARD

struct IcuFunctions {
  char16_t* (*fromUtf8)(char16_t*, int32_t, int32_t*, const char*, int32_t, IcuStatus*);
  char* (*toUtf8)(char*, int32_t, int32_t*, const char16_t*, int32_t, IcuStatus*);
  int32_t (*toLower)(char16_t*, int32_t, const char16_t*, int32_t, const char*, IcuStatus*);
  const IcuNormalizer* (*nfkcInstance)(IcuStatus*);
  int32_t (*normalize)(const IcuNormalizer*, const char16_t*, int32_t, char16_t*, int32_t, IcuStatus*);
  IcuTransliterator* (*openTransliterator)(const char16_t*, int32_t, int, const char16_t*, int32_t, IcuParseError*,
                                           IcuStatus*);
  void (*transliterate)(const IcuTransliterator*, char16_t*, int32_t*, int32_t, int32_t, int32_t*, IcuStatus*);
  void (*closeTransliterator)(IcuTransliterator*);
};

// The functions, loaded at the first call; nullptr when the system has no
// ICU (readings then match as katakana only).
const IcuFunctions* LoadIcu();

}  // namespace kovant::platform
