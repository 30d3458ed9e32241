// KOVANT.DIC: the record layouts, shared by the reader and the builder.
//
// Positions are 1-based (position 1 is the first byte). Integers are signed
// little-endian (16-bit "Integer", 32-bit "Long"); records are packed and
// variable in length: fixed part + NameLength bytes of coded name.
#pragma once

#include <array>
#include <cstdint>
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

// Flag of a city for the third digit d of a code: bit 1 former codes, bit 2
// current codes (so 0..3).
inline int DigitFlag(const std::array<uint8_t, 5>& flags, int d) {
  return d < 5 ? flags[static_cast<size_t>(d)] % 10 : flags[static_cast<size_t>(d - 5)] / 10;
}

// The code texts of a town: the former code "NNN" or "NNN-NN", the current
// code "NNN-NNNN".
std::string FormerCodeText(const TownHead& town);
std::string CurrentCodeText(const TownHead& town);

// OldCodeTail as at least 4 digits and CodeNumber as at least 9 digits,
// zero-padded, as the code tests compare them.
std::string TailDigits(int16_t oldCodeTail);
std::string NumberDigits(int32_t codeNumber);

}  // namespace kovant::dict
