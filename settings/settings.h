// The settings record and its storage in KOVANT.INI and the profile files.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kovant::settings {

// One field per key of section "Parms"; texts are UTF-8.
struct Settings {
  int16_t StartMode = 0;
  int16_t CopyMode = 0;
  int16_t MarkSet = 0;
  int16_t NumType = 0;
  std::array<int16_t, 6> Sep{};          // Sep1..Sep6
  std::array<std::string, 6> SepText{};  // Sep1Text..Sep6Text
  std::array<std::string, 5> Seq{};      // Seq1..Seq5, decimal text
  int16_t CopyAppl = 0;
  int16_t AfterCopy = 0;
  int16_t InputClear = 0;
  std::string FindCaption;
  std::string Profile;

  bool operator==(const Settings&) const = default;
};

inline constexpr std::string_view kIniFileName = "KOVANT.INI";
inline constexpr std::string_view kProfileSuffix = ".prm";
inline constexpr std::string_view kSection = "Parms";
inline constexpr std::size_t kTextReadLimit = 19;     // bytes of Shift-JIS
inline constexpr std::size_t kProfileReadLimit = 49;

// The record a file without any key gives.
Settings DefaultSettings();

// Texts of separator kinds 0..3: none, CR LF, tab, one blank.
const std::array<std::string, 4>& SeparatorTable();

// The text cut before its first NUL, blanks removed at both ends.
std::string TrimAtNul(std::string_view text);

// Reads every key of fileName in folder into settings, overwriting every
// field. Missing files and keys give the defaults. A fileName that is not a
// bare file name (see IsBareFileName) reads nothing and returns false.
bool LoadSettings(Settings& settings, const std::string& folder, std::string_view fileName);

// Writes every field under its key into fileName in folder, keeping the
// file's other lines. The file is replaced whole or not at all. Returns
// false when the name was refused or the write failed; the callers of the
// settings store report nothing.
bool SaveSettings(const Settings& settings, const std::string& folder, std::string_view fileName);

// Base names of the plain files "*.prm" in folder, in directory order.
std::vector<std::string> ListProfiles(const std::string& folder);

// Moves KOVANT.INI and the profiles from the first folder of from that
// holds a KOVANT.INI into to, when to has no KOVANT.INI yet: settings that an
// earlier version kept beside its dictionary follow the user once. Returns
// the folder they came from, empty when nothing moved.
std::string MoveFormerSettings(const std::string& to, const std::vector<std::string>& from);

// The key names in file order.
const std::vector<std::string>& SettingsKeys();

}  // namespace kovant::settings
