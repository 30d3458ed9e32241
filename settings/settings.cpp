#include "settings/settings.h"

#include <filesystem>

#include <dirent.h>
#include <sys/stat.h>

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

std::string ReadText(const IniFile& ini, std::string_view key, std::string_view def, std::size_t limit) {
  return TrimAtNul(platform::ProfileString(ini, kSection, key, def, limit));
}

std::string Name(const char* stem, int n) { return stem + std::to_string(n); }

}  // namespace

Settings DefaultSettings() {
  Settings s;
  s.Sep = {4, 0, 0, 0, 0, 0};
  s.SepText[0] = "-";
  s.Seq = {"1", "2", "3", "4", "5"};
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
    std::vector<std::string> k = {"StartMode", "CopyMode", "MarkSet", "NumType"};
    for (int i = 1; i <= 6; ++i) k.push_back(Name("Sep", i));
    for (int i = 1; i <= 6; ++i) k.push_back(Name("Sep", i) + "Text");
    for (int i = 1; i <= 5; ++i) k.push_back(Name("Seq", i));
    for (const char* n : {"CopyAppl", "AfterCopy", "InputClear", "FindCaption", "Profile"}) k.push_back(n);
    return k;
  }();
  return keys;
}

bool LoadSettings(Settings& s, const std::string& folder, std::string_view fileName) {
  if (!platform::IsBareFileName(fileName)) return false;
  IniFile ini = IniFile::Load(platform::JoinPath(folder, fileName));
  s.StartMode = ReadInt(ini, "StartMode", 0);
  s.CopyMode = ReadInt(ini, "CopyMode", 0);
  s.MarkSet = ReadInt(ini, "MarkSet", 0);
  s.NumType = ReadInt(ini, "NumType", 0);
  for (int i = 0; i < 6; ++i) s.Sep[static_cast<size_t>(i)] = ReadInt(ini, Name("Sep", i + 1), i == 0 ? 4 : 0);
  for (int i = 0; i < 5; ++i) {
    s.Seq[static_cast<size_t>(i)] = std::to_string(ReadInt(ini, Name("Seq", i + 1), static_cast<int16_t>(i + 1)));
  }
  s.CopyAppl = ReadInt(ini, "CopyAppl", 0);
  s.AfterCopy = ReadInt(ini, "AfterCopy", 0);
  s.InputClear = ReadInt(ini, "InputClear", 0);
  for (int i = 0; i < 6; ++i) {
    s.SepText[static_cast<size_t>(i)] = ReadText(ini, Name("Sep", i + 1) + "Text", i == 0 ? "-" : " ", kTextReadLimit);
  }
  s.FindCaption = ReadText(ini, "FindCaption", " ", kTextReadLimit);
  s.Profile = ReadText(ini, "Profile", " ", kProfileReadLimit);
  return true;
}

bool SaveSettings(const Settings& s, const std::string& folder, std::string_view fileName) {
  if (!platform::IsBareFileName(fileName)) return false;
  std::string path = platform::JoinPath(folder, fileName);
  IniFile ini = IniFile::Load(path);
  // A file we could not read whole is left alone rather than rewritten
  // from nothing: its other sections and values are the user's.
  if (!ini.Intact()) return false;
  auto text = [&](std::string_view key, const std::string& value) {
    ini.Set(kSection, key, platform::Utf8ToSjis(value));
  };
  auto number = [&](std::string_view key, int16_t value) { ini.Set(kSection, key, std::to_string(value)); };
  number("StartMode", s.StartMode);
  number("CopyMode", s.CopyMode);
  number("MarkSet", s.MarkSet);
  number("NumType", s.NumType);
  for (int i = 0; i < 6; ++i) number(Name("Sep", i + 1), s.Sep[static_cast<size_t>(i)]);
  for (int i = 0; i < 6; ++i) text(Name("Sep", i + 1) + "Text", s.SepText[static_cast<size_t>(i)]);
  for (int i = 0; i < 5; ++i) text(Name("Seq", i + 1), s.Seq[static_cast<size_t>(i)]);
  number("CopyAppl", s.CopyAppl);
  number("AfterCopy", s.AfterCopy);
  number("InputClear", s.InputClear);
  text("FindCaption", s.FindCaption);
  text("Profile", s.Profile);
  return platform::WriteFileAtomically(path, ini.Text()).empty();
}

std::vector<std::string> ListProfiles(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return names;
  while (dirent* e = readdir(dir)) {
    std::string name = e->d_name;
    if (name.size() < kProfileSuffix.size() ||
        name.compare(name.size() - kProfileSuffix.size(), kProfileSuffix.size(), kProfileSuffix) != 0) {
      continue;
    }
    struct stat st{};
    if (stat(platform::JoinPath(folder, name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    names.push_back(name.substr(0, name.size() - kProfileSuffix.size()));
  }
  closedir(dir);
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
    for (const std::string& profile : ListProfiles(folder)) names.push_back(profile + std::string(kProfileSuffix));
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

}  // namespace kovant::settings
