// KOVANT.DIC: the record layouts and the encoding of a town's codes, the one
// description of the file that the reader, the search, the walk and the
// builder share.
//
// Positions in the file are 1-based (position 1 is the first byte); offsets
// of fields within a record are 0-based. Integers are signed little-endian
// (16-bit "Integer", 32-bit "Long"); records are packed and variable in
// length: fixed part + NameLength bytes of coded name.
#pragma once

#include <array>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace kovant::dict {

constexpr int32_t kDicVersion = 100;
constexpr int kHeaderSize = 100;
constexpr int kPrefectureCount = 47;
constexpr int kFirstPrefecturePos = kHeaderSize + 1;
constexpr int kMaxPrefixes = 15;

constexpr int kPrefFixed = 22, kPrefNameField = 10;
constexpr int kCityFixed = 13, kCityNameField = 30;
constexpr int kTownFixed = 9, kTownNameField = 80;

// Field offsets within each record.
namespace header {
constexpr size_t kVersion = 0;  // Long
// The reserved bytes: when they begin with kSectionMagic, a table of the
// sections after the records (see sections.h); zero otherwise.
constexpr size_t kSectionMagic = 4;                    // 4 bytes
constexpr size_t kSectionTable = 8;                    // Long: position of the table
constexpr size_t kSectionCount = 12;                   // Long: its entries
constexpr size_t kDataDate = 16, kDataDateWidth = 20;  // text, NUL-padded
constexpr size_t kDescription = 36, kDescriptionWidth = 64;
static_assert(kDescription + kDescriptionWidth == kHeaderSize);
static_assert(kSectionCount + 4 == kDataDate);
}  // namespace header
// The digest section: the tag of the section it vouches for, then a
// digest (sections.h) of the file's bytes from the first record to that
// section's end, so that a reader can trust the section without checking
// it against every record.
namespace digest {
constexpr size_t kCovers = 0;  // 4 bytes: a section's tag
constexpr size_t kValue = 4;   // 8 bytes, little-endian
constexpr size_t kSize = 12;
}  // namespace digest
namespace pref {
constexpr size_t kPrefNo = 0;       // byte, 1..47
constexpr size_t kCityListPos = 1;  // Long: the prefecture's first city record
constexpr size_t kPrefixCount = 5;  // byte
constexpr size_t kPrefixes = 6;     // kMaxPrefixes bytes: first two digits of its codes
constexpr size_t kNameLength = 21;  // byte
constexpr size_t kName = 22;
static_assert(kPrefixes + kMaxPrefixes == kNameLength && kName == kPrefFixed);
}  // namespace pref
namespace city {
constexpr size_t kPrefNo = 0;  // byte; kEndMark ends the city records
constexpr uint8_t kEndMark = 0xFF;
constexpr size_t kCityNo = 1;       // Integer, 1.. in file order
constexpr size_t kTownListPos = 3;  // Long: the city's first town record
constexpr size_t kDigitFlags = 7;   // 5 bytes (see DigitFlag)
constexpr size_t kNameLength = 12;  // byte
constexpr size_t kName = 13;
static_assert(kName == kCityFixed);
}  // namespace city
namespace town {
constexpr size_t kCityNo = 0;       // Integer; another city's number ends the chain
constexpr size_t kOldCodeTail = 2;  // Integer (see TownCodes)
constexpr size_t kCodeNumber = 4;   // Long (see TownCodes)
constexpr size_t kNameLength = 8;   // byte
constexpr size_t kName = 9;
static_assert(kName == kTownFixed);
}  // namespace town

// Little-endian integers, read from and written to a record's bytes.
inline int16_t ReadI16(const uint8_t* p) { return static_cast<int16_t>(p[0] | (p[1] << 8)); }
inline int32_t ReadI32(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                              (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24));
}
inline void AppendI16(std::string& out, int v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
inline void AppendI32(std::string& out, int64_t v) {
  const uint32_t u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) out += static_cast<char>((u >> (8 * i)) & 0xFF);
}
// Through one pointer, not four checked subscripts: a code section patches
// ten thousand of these, and in the instrumented fuzz build each check was
// a traced comparison (6% of the CSV fuzzer's time).
inline void PatchI32(std::string& out, size_t offset, int64_t v) {
  if (offset > out.size() || out.size() - offset < 4) std::abort();  // a field the caller never appended
  const uint32_t u = static_cast<uint32_t>(v);
  char* at = out.data() + offset;
  for (int i = 0; i < 4; ++i) at[i] = static_cast<char>((u >> (8 * i)) & 0xFF);
}

// A name field as read: its full width, of which NameLength bytes count.
// Held inline, so reading a record allocates nothing.
template <size_t N>
struct NameField {
  std::array<char, N> bytes{};
  operator std::string_view() const { return {bytes.data(), N}; }
};

struct DicHeader {
  int32_t Version = 0;
  std::string DataDate;     // 20-byte text field: the data's date, "YYYY-MM-DD"
  std::string Description;  // 64-byte text field
};

struct PrefectureRecord {
  uint8_t PrefNo = 0;
  int32_t CityListPos = 0;
  uint8_t PrefixCount = 0;
  std::array<uint8_t, kMaxPrefixes> Prefixes{};
  uint8_t NameLength = 0;
  NameField<kPrefNameField> Name;
};

struct CityRecord {
  uint8_t PrefNo = 0;
  int16_t CityNo = 0;
  int32_t TownListPos = 0;
  std::array<uint8_t, 5> DigitFlags{};
  uint8_t NameLength = 0;
  NameField<kCityNameField> Name;
};

// The fixed part of a town record: enough to test a code and to walk on.
struct TownHead {
  int16_t CityNo = 0;
  int16_t OldCodeTail = 0;
  int32_t CodeNumber = 0;
  uint8_t NameLength = 0;
};

struct TownRecord : TownHead {
  NameField<kTownNameField> Name;
};

// An office's town name ends in a zero byte, which expands to nothing, so
// every reader shows the name as it is; only tools that care can tell.
inline constexpr char kOfficeMark = '\0';
// field: a town's name field as read (kTownNameField bytes or more).
inline bool IsOfficeName(std::string_view field, uint8_t nameLength) {
  return nameLength > 0 && nameLength <= kTownNameField && nameLength <= field.size() &&
         field[static_cast<size_t>(nameLength - 1)] == kOfficeMark;
}
inline bool IsOfficeRecord(const TownRecord& town) { return IsOfficeName(town.Name, town.NameLength); }

// Flag of a city for the third digit d of a code: the bits below (so 0..3).
inline constexpr int kDigitHasFormer = 1;   // a town of the city has a former code with the digit
inline constexpr int kDigitHasCurrent = 2;  // ... a current code with it
inline int DigitFlag(const std::array<uint8_t, 5>& flags, int d) {
  return d < 5 ? flags[static_cast<size_t>(d)] % 10 : flags[static_cast<size_t>(d - 5)] / 10;
}

// The kind of a town's former code, as CodeNumber's first digit.
inline constexpr int kFormerThreeDigits = 1;  // "NNN"
inline constexpr int kFormerFiveDigits = 2;   // "NNN-NN"

// A town's two codes as stored. CodeNumber, as nine decimal digits, is the
// kind of the former code (1: three digits, 2: five), the former code's
// first digit, then the seven-digit current code. OldCodeTail, as four
// digits, holds the former code's other digits: "NN00" for a three-digit
// code, "NNNN" for a five-digit one. So 100-0001 with former code 100 is
// CodeNumber 110000001 and OldCodeTail 0000.
struct TownCodes {
  int kind = kFormerThreeDigits;  // or kFormerFiveDigits; a damaged file may hold 0..9,
                                  // shown as five digits and found by no former code
  int first = 0;                  // the former code's first digit
  int32_t current = 0;            // the seven-digit code as a number
  int tail = 0;                   // 0..9999
  // The former code as a number (3 or 5 digits, by kind).
  int Former() const { return kind == kFormerThreeDigits ? first * 100 + tail / 100 : first * 10000 + tail; }
};

// The codes of a well-formed record (both numbers within their digits);
// nullopt for the odd values of a broken file (negative or too large),
// which only the text forms below show, digit by digit as stored.
// Inline: the batch index decodes every town of the country.
inline std::optional<TownCodes> DecodeCodes(const TownHead& town) {
  const int32_t n = town.CodeNumber;
  const int tail = town.OldCodeTail;
  if (n < 0 || n > 999999999 || tail < 0 || tail > 9999) return std::nullopt;
  return TownCodes{n / 100000000, (n / 10000000) % 10, n % 10000000, tail};
}
// former: 3 or 5 digits; current: 7 digits. nullopt for anything else.
std::optional<TownHead> EncodeCodes(std::string_view former, std::string_view current);

// The code texts of a town: the former code "NNN" or "NNN-NN", the current
// code "NNN-NNNN".
std::string FormerCodeText(const TownHead& town);
std::string CurrentCodeText(const TownHead& town);

// The same in place, for a batch that forms them for thousands of towns:
// valid while the value lives; nullopt where DecodeCodes is.
struct CodeTexts {
  char current[8], former[6];
  size_t formerLength = 0;
  std::string_view Current() const { return {current, sizeof current}; }
  std::string_view Former() const { return {former, formerLength}; }
};
std::optional<CodeTexts> MakeCodeTexts(const TownHead& town);

// Whether a town holds code, a code of 3, 5 or 7 digits (3 and 5: the former
// code, 7: the current one) whose value is the number of its digits. The
// text form compares the stored digits one by one and also answers for
// the odd values of a broken file; the number form answers the same for
// every well-formed record and falls back to the text form otherwise.
bool HoldsCode(const TownHead& town, std::string_view code, int value);
bool HoldsCodeByText(const TownHead& town, std::string_view code);

}  // namespace kovant::dict
