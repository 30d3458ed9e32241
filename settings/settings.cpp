#include "settings/settings.h"

#include <filesystem>

#include "platform/files.h"
#include "platform/ini.h"
#include "platform/sjis.h"

namespace kovant::settings {
namespace {

using platform::IniFile;

// Values outside the 16-bit range cannot come from this program; they read
// as the key's default rather than wrapping around.
int16_t ReadInt(const IniFile& ini, std::string_view key, int16_t def) {
  long v = platform::ProfileInt(ini, kSection, key, def);
  if (v < INT16_MIN || v > INT16_MAX) return def;
  return static_cast<int16_t>(v);
}

std::string Name(const char* stem, int n) { return stem + std::to_string(n); }

SettingKey NumberKey(std::string name, int16_t def, std::function<int16_t&(Settings&)> field) {
  SettingKey k;
  k.name = std::move(name);
  k.kind = SettingKey::Number;
  k.numberDefault = def;
  k.number = std::move(field);
  return k;
}

SettingKey TextKey(std::string name, SettingKey::Kind kind, std::string textDefault, int16_t numberDefault,
                   std::size_t limit, std::function<std::string&(Settings&)> field) {
  SettingKey k;
  k.name = std::move(name);
  k.kind = kind;
  k.textDefault = std::move(textDefault);
  k.numberDefault = numberDefault;
  k.readLimit = limit;
  k.text = std::move(field);
  return k;
}

}  // namespace

const std::vector<SettingKey>& SettingsTable() {
  static const std::vector<SettingKey> table = [] {
    std::vector<SettingKey> t;
    t.push_back(NumberKey("StartMode", kStartFromAddress, [](Settings& s) -> int16_t& { return s.StartMode; }));
    t.push_back(NumberKey("CopyMode", kCopyFormerCode, [](Settings& s) -> int16_t& { return s.CopyMode; }));
    t.push_back(NumberKey("MarkSet", kMarkShown, [](Settings& s) -> int16_t& { return s.MarkSet; }));
    t.push_back(NumberKey("NumType", kHalfWidthDigits, [](Settings& s) -> int16_t& { return s.NumType; }));
    // The code is followed by "-" unless set otherwise; the other parts by nothing.
    for (size_t i = 0; i < 6; ++i) {
      t.push_back(NumberKey(Name("Sep", static_cast<int>(i + 1)), i == 0 ? kSepOwnText : kSepNone,
                            [i](Settings& s) -> int16_t& { return s.Sep[i]; }));
    }
    for (size_t i = 0; i < 6; ++i) {
      t.push_back(TextKey(Name("Sep", static_cast<int>(i + 1)) + "Text", SettingKey::Text, i == 0 ? "-" : " ", 0,
                          kTextReadLimit, [i](Settings& s) -> std::string& { return s.SepText[i]; }));
    }
    for (size_t i = 0; i < 5; ++i) {
      t.push_back(TextKey(Name("Seq", static_cast<int>(i + 1)), SettingKey::Digits, "", static_cast<int16_t>(i + 1), 0,
                          [i](Settings& s) -> std::string& { return s.Seq[i]; }));
    }
    t.push_back(NumberKey("CopyAppl", kSwitchOff, [](Settings& s) -> int16_t& { return s.CopyAppl; }));
    t.push_back(NumberKey("AfterCopy", kSwitchOff, [](Settings& s) -> int16_t& { return s.AfterCopy; }));
    t.push_back(NumberKey("InputClear", kSwitchOff, [](Settings& s) -> int16_t& { return s.InputClear; }));
    t.push_back(TextKey("FindCaption", SettingKey::Text, " ", 0, kTextReadLimit,
                        [](Settings& s) -> std::string& { return s.FindCaption; }));
    t.push_back(TextKey("Profile", SettingKey::Text, " ", 0, kProfileReadLimit,
                        [](Settings& s) -> std::string& { return s.Profile; }));
    return t;
  }();
  return table;
}

const SettingKey* FindSettingKey(std::string_view name) {
  for (const SettingKey& key : SettingsTable()) {
    if (key.name == name) return &key;
  }
  return nullptr;
}

Settings DefaultSettings() {
  Settings s;
  for (const SettingKey& key : SettingsTable()) {
    switch (key.kind) {
      case SettingKey::Number: key.number(s) = key.numberDefault; break;
      case SettingKey::Digits: key.text(s) = std::to_string(key.numberDefault); break;
      case SettingKey::Text: key.text(s) = TrimAtNul(key.textDefault); break;
    }
  }
  return s;
}

const std::array<std::string, 4>& SeparatorTable() {
  static const std::array<std::string, 4> table = {"", "\r\n", "\t", " "};
  return table;
}

std::string TrimAtNul(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return std::string(text);
}

const std::vector<std::string>& SettingsKeys() {
  static const std::vector<std::string> keys = [] {
    std::vector<std::string> k;
    for (const SettingKey& key : SettingsTable()) k.push_back(key.name);
    return k;
  }();
  return keys;
}

bool LoadSettings(Settings& s, const std::string& folder, std::string_view fileName) {
  if (!platform::IsBareFileName(fileName)) return false;
  IniFile ini = IniFile::Load(platform::JoinPath(folder, fileName));
  for (const SettingKey& key : SettingsTable()) {
    switch (key.kind) {
      case SettingKey::Number: key.number(s) = ReadInt(ini, key.name, key.numberDefault); break;
      case SettingKey::Digits: key.text(s) = std::to_string(ReadInt(ini, key.name, key.numberDefault)); break;
      case SettingKey::Text:
        key.text(s) = TrimAtNul(platform::ProfileString(ini, kSection, key.name, key.textDefault, key.readLimit));
        break;
    }
  }
  return true;
}

namespace {

// "（why）" for the end of a sentence: why without its own full stop.
std::string Because(std::string why) {
  static constexpr std::string_view kStop = "。";
  if (why.ends_with(kStop)) why.resize(why.size() - kStop.size());
  return "（" + why + "）";
}

}  // namespace

std::string SaveSettingsProblem(const Settings& settings, const std::string& folder, std::string_view fileName) {
  if (!platform::IsBareFileName(fileName)) {
    return "設定ファイルの名前 " + std::string(fileName) + " は使えないため、設定を保存できません。";
  }
  std::string path = platform::JoinPath(folder, fileName);
  const auto unsaved = [&path](const std::string& why) {
    return "設定ファイル " + platform::DisplayPath(path) + " に書き込めないため、設定を保存できません" + Because(why) +
           "。";
  };
  IniFile ini = IniFile::Load(path);
  // A file we could not read whole is left alone rather than rewritten
  // from nothing: its other sections and values are the user's.
  if (!ini.Intact()) return unsaved("今のファイルを読み切れません。");
  Settings record = settings;
  for (const SettingKey& key : SettingsTable()) {
    const std::string value =
        key.kind == SettingKey::Number ? std::to_string(key.number(record)) : platform::Utf8ToSjis(key.text(record));
    ini.Set(kSection, key.name, value);
  }
  const std::string error = platform::WriteFileAtomically(path, ini.Text());
  return error.empty() ? std::string() : unsaved(error);
}

std::vector<std::string> ListProfiles(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    const std::string file = entry.path().filename().string();
    auto name = ProfileName(file);
    if (!name) continue;
    if (!platform::IsRegularFile(platform::JoinPath(folder, file))) continue;
    names.push_back(std::move(*name));
  }
  return names;
}

std::string MoveFormerSettings(const std::string& to, const std::vector<std::string>& from) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path target(to);
  if (fs::exists(target / std::string(kIniFileName), ec)) return {};
  for (const std::string& folder : from) {
    if (folder.empty() || fs::equivalent(folder, to, ec)) continue;
    const fs::path ini = fs::path(folder) / std::string(kIniFileName);
    if (!fs::is_regular_file(ini, ec)) continue;
    fs::create_directories(target, ec);
    std::vector<std::string> names{std::string(kIniFileName)};
    for (const std::string& profile : ListProfiles(folder)) names.push_back(ProfileFileName(profile));
    for (const std::string& name : names) {
      const fs::path source = fs::path(folder) / name;
      // A copy, then the removal: rename fails across file systems, and a
      // folder we may not change (an old install prefix) keeps its copy.
      if (fs::copy_file(source, target / name, fs::copy_options::skip_existing, ec)) fs::remove(source, ec);
    }
    return folder;
  }
  return {};
}

namespace {

bool IsBlank(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

}  // namespace

std::string TrimBlanks(std::string_view utf8) {
  size_t begin = 0, end = 0, length = 0;
  for (size_t i = 0; i < utf8.size(); i += length) {
    const bool blank = IsBlank(platform::DecodeUtf8At(utf8, i, &length));
    if (!blank && end == 0) begin = i;
    if (!blank) end = i + length;
  }
  return std::string(utf8.substr(begin, end - begin));
}

std::string ProfileFileName(std::string_view name) { return std::string(name) + std::string(kProfileSuffix); }

std::optional<std::string> ProfileName(std::string_view fileName) {
  if (!fileName.ends_with(kProfileSuffix)) return std::nullopt;
  return std::string(fileName.substr(0, fileName.size() - kProfileSuffix.size()));
}

std::string ActiveProfileName(std::string_view profile) {
  // Characters, not bytes: a hand-edited value need not end in ".prm".
  std::vector<size_t> starts;
  size_t length = 0;
  for (size_t i = 0; i < profile.size(); i += length) {
    platform::DecodeUtf8At(profile, i, &length);
    starts.push_back(i);
  }
  if (starts.size() <= kProfileSuffix.size()) return {};
  return std::string(profile.substr(0, starts[starts.size() - kProfileSuffix.size()]));
}

std::string SaveNameProblem(std::string_view typedUtf8) {
  const std::string name = TrimBlanks(typedUtf8);
  if (name.empty()) return "保存名を指定してください。";
  bool lossy = false;
  const std::string sjis = platform::Utf8ToSjis(ProfileFileName(name), &lossy);
  bool control = false;
  for (char c : typedUtf8) control = control || static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
  // The name must stay a file of the settings folder, and KOVANT.INI must
  // be able to hold it whole to find the profile again at the next start.
  if (!platform::IsBareFileName(name) || control || lossy || sjis.size() > kProfileReadLimit) {
    return "この保存名は使用できません。";
  }
  return {};
}

std::string CopyOrderProblem(const std::array<std::string, 5>& order) {
  std::array<int, kLastCopyPosition + 1> counters{};
  for (const std::string& typed : order) {
    const std::string t = TrimBlanks(typed);
    if (t.empty()) return "コピー順が設定されていません。";
    // Only a pasted text can be anything but one digit 0..5.
    if (t.size() != 1 || t[0] < '0' || t[0] > '0' + kLastCopyPosition) return "コピー順の設定に誤りがあります。";
    const int d = t[0] - '0';
    if (++counters[static_cast<size_t>(d)] > 1 && d != 0) return "コピー順の設定に誤りがあります。";
  }
  return {};
}

bool DeleteProfile(const std::string& folder, std::string_view name) {
  const std::string file = ProfileFileName(name);
  if (!platform::IsBareFileName(file)) return false;
  std::error_code ignored;
  return std::filesystem::remove(platform::JoinPath(folder, file), ignored);
}

std::string DeleteProfileProblem(const std::string& folder, std::string_view name) {
  const std::string file = ProfileFileName(name);
  if (!platform::IsBareFileName(file)) return "設定名 " + std::string(name) + " のファイルは削除できません。";
  const std::string path = platform::JoinPath(folder, file);
  // One already gone is what the user asked for.
  std::error_code error;
  std::filesystem::remove(path, error);
  if (!error) return {};
  return "設定ファイル " + platform::DisplayPath(path) + " を削除できません" +
         Because(platform::SystemErrorText(error.value())) + "。";
}

}  // namespace kovant::settings
