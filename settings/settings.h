// The settings record and its storage in KOVANT.INI and the profile files.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
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

// The codes the number keys hold. The file and the link carry the numbers,
// so the fields stay int16_t; a hand-edited file may hold any other value,
// which the readers treat as noted.

// StartMode: the direction the main window opens in; other values start
// from the code.
enum StartModeCode : int16_t {
  kStartFromAddress = 0,  // "住所→": pick the address, get its code
  kStartFromCode = 1,     // "郵便番号→": type a code, get its address
};

// CopyMode: the code the copy takes when a window or profile opens; other
// values take the former one.
enum CopyModeCode : int16_t {
  kCopyFormerCode = 0,   // "旧〒"
  kCopyCurrentCode = 1,  // "新〒"
};

// MarkSet: whether "〒" leads the copied code; other values leave it out.
enum MarkSetCode : int16_t {
  kMarkShown = 0,    // "あり"
  kMarkOmitted = 1,  // "なし"
};

// NumType: the digits of the copied code; other values copy half-width.
enum NumTypeCode : int16_t {
  kHalfWidthDigits = 0,  // "半角"
  kFullWidthDigits = 1,  // "全角"
};

// CopyAppl, AfterCopy, InputClear: one check box each; only 1 is ticked.
enum SwitchCode : int16_t {
  kSwitchOff = 0,
  kSwitchOn = 1,
};

// Sep1..Sep6: what follows each part of the copy. 0..3 index
// SeparatorTable(); other values give nothing.
enum SeparatorKind : int16_t {
  kSepNone = 0,
  kSepCrLf = 1,
  kSepTab = 2,
  kSepBlank = 3,
  kSepOwnText = 4,  // the text of the matching SepNText
};

// Seq1..Seq5 hold the position of their part in the copy, 1 first; 0
// leaves the part out.
inline constexpr int kLastCopyPosition = 5;

inline constexpr std::string_view kIniFileName = "KOVANT.INI";
inline constexpr std::string_view kProfileSuffix = ".prm";
inline constexpr std::string_view kSection = "Parms";
inline constexpr std::size_t kTextReadLimit = 19;  // bytes of Shift-JIS
inline constexpr std::size_t kProfileReadLimit = 49;

// One key of section "Parms": its name, how it is stored, its default and
// the field of the record it fills.
struct SettingKey {
  enum Kind {
    Number,  // a 16-bit number
    Digits,  // read as a number, held and written as its decimal text
    Text,    // Shift-JIS text in the file, UTF-8 in the record
  };
  std::string name;
  Kind kind = Number;
  int16_t numberDefault = 0;                    // Number, Digits
  std::string textDefault;                      // Text, as a file without the key reads
  std::size_t readLimit = 0;                    // Text: bytes of Shift-JIS read at most
  std::function<int16_t&(Settings&)> number;    // Number
  std::function<std::string&(Settings&)> text;  // Digits, Text
};

// Every key in the order of a new file.
const std::vector<SettingKey>& SettingsTable();

// The key of that name; null for a name the table lacks.
const SettingKey* FindSettingKey(std::string_view name);

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
// why the settings were not written (a sentence for the user naming the
// file), empty when they were.
std::string SaveSettingsProblem(const Settings& settings, const std::string& folder, std::string_view fileName);
// The same, as a flag, where no one is told (tests, the settings' move).
inline bool SaveSettings(const Settings& settings, const std::string& folder, std::string_view fileName) {
  return SaveSettingsProblem(settings, folder, fileName).empty();
}

// Base names of the plain files "*.prm" in folder, in directory order.
std::vector<std::string> ListProfiles(const std::string& folder);

// Moves KOVANT.INI and the profiles from the first folder of from that
// holds a KOVANT.INI into to, when to has no KOVANT.INI yet: settings that an
// earlier version kept beside its dictionary follow the user once. Returns
// the folder they came from, empty when nothing moved.
std::string MoveFormerSettings(const std::string& to, const std::vector<std::string>& from);

// The key names in file order.
const std::vector<std::string>& SettingsKeys();

// Text without the blanks at its ends that a text box trims (blanks, tabs,
// line ends and the other Unicode spaces, the ideographic one among them).
std::string TrimBlanks(std::string_view utf8);

// A profile's file name from its name, and back; nullopt for a file name
// that does not end in ".prm".
std::string ProfileFileName(std::string_view name);
std::optional<std::string> ProfileName(std::string_view fileName);
// The name the windows show for the active profile (the Profile key): its
// text without the last four characters, the ".prm" it was saved with;
// empty when nothing is left.
std::string ActiveProfileName(std::string_view profile);

// Why a name typed in the save window cannot name a profile, empty when it
// can: it must be a plain file of the settings folder (no control
// characters, nothing Shift-JIS cannot hold) that KOVANT.INI can hold whole.
std::string SaveNameProblem(std::string_view typedUtf8);

// Why the five copy-order boxes cannot be saved, empty when they can: each
// holds one digit 0..5 after trimming, and no digit but 0 twice. The first
// failing box decides the message.
std::string CopyOrderProblem(const std::array<std::string, 5>& order);

// Removes the profile file of that name; a name that is no plain file of
// folder removes nothing. Returns why it could not be removed, empty when
// it was or was already gone.
std::string DeleteProfileProblem(const std::string& folder, std::string_view name);
// The same; false when nothing was removed.
bool DeleteProfile(const std::string& folder, std::string_view name);

}  // namespace kovant::settings
