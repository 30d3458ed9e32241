#include "platform/folders.h"

#include <algorithm>

#include "platform/files.h"

namespace kovant::platform {
namespace {

std::string WithoutTrailingSlash(std::string folder) {
  while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  return folder;
}

bool IsAbsolute(const std::string& path) {
  // "/..." here, "C:\..." or "\\server\..." on Windows.
  return (!path.empty() && (path[0] == '/' || path[0] == '\\')) ||
         (path.size() > 2 && path[1] == ':' && (path[2] == '\\' || path[2] == '/'));
}

// A folder we may use as the user's: absolute, and no other user's.
std::optional<std::string> Usable(const std::optional<std::string>& folder) {
  if (!folder || !IsAbsolute(*folder) || BelongsToAnotherUser(*folder)) return std::nullopt;
  return WithoutTrailingSlash(*folder);
}

// A folder of ours: the program's own folder in the one a variable names,
// or on Linux without it, in a folder of the home. The help texts name the
// folders from these same rules.
struct Rule {
  const char* variable;
  const char* underHome;  // none on Windows
};
#ifndef _WIN32
constexpr Rule kDataRule{"XDG_DATA_HOME", ".local/share"}, kConfigRule{"XDG_CONFIG_HOME", ".config"},
    kCacheRule{"XDG_CACHE_HOME", ".cache"};
constexpr const char* kSystemFolder = "/var/lib/kovant";
#else
// Windows keeps settings in the roaming profile (APPDATA), a user's data in
// the local one (LOCALAPPDATA) and what every user shares in ProgramData.
constexpr Rule kDataRule{"LOCALAPPDATA", nullptr}, kConfigRule{"APPDATA", nullptr}, kCacheRule{"LOCALAPPDATA", nullptr},
    kSystemRule{"ProgramData", nullptr};
#endif

// $variable/kovant, else ~/underHome/kovant (%variable%\KOVANT on
// Windows), else nothing.
std::optional<std::string> Follow(const Rule& rule) {
#ifdef _WIN32
  if (auto x = Usable(Environment(rule.variable))) return *x + "\\KOVANT";
#else
  if (auto x = Usable(Environment(rule.variable))) return JoinPath(*x, "kovant");
  if (auto home = UserHome()) return JoinPath(JoinPath(*home, rule.underHome), "kovant");
#endif
  return std::nullopt;
}

// The rule as the help texts write it.
std::string Describe(const Rule& rule) {
#ifdef _WIN32
  return std::string("%") + rule.variable + "%\\KOVANT";
#else
  return std::string("${") + rule.variable + ":-~/" + rule.underHome + "}/kovant";
#endif
}

}  // namespace

std::optional<std::string> HomeOverride() { return Environment("KOVANT_HOME"); }

std::optional<std::string> UserHome() {
  if (auto home = Usable(Environment("HOME"))) return home;
  return Usable(AccountHome());
}

std::string UserDataFolder() { return Follow(kDataRule).value_or(std::string()); }
std::string UserConfigFolder() { return Follow(kConfigRule).value_or(std::string()); }
std::optional<std::string> UserCacheFolder() { return Follow(kCacheRule); }

#ifdef _WIN32
std::optional<std::string> LockFolder() { return UserCacheFolder(); }
#else
std::optional<std::string> LockFolder() {
  if (auto runtime = Usable(Environment("XDG_RUNTIME_DIR"))) return runtime;
  return UserCacheFolder();
}
#endif

std::optional<std::string> UserDictionaryFolder() {
  if (auto home = HomeOverride()) return WithoutTrailingSlash(*home);
  std::string data = UserDataFolder();
  if (data.empty()) return std::nullopt;
  return data;
}

bool SystemDataFolderMoved() { return Environment("KOVANT_SYSTEM_DIR").has_value(); }

std::string SystemDataFolder() {
  if (auto moved = Environment("KOVANT_SYSTEM_DIR")) return WithoutTrailingSlash(*moved);
#ifdef _WIN32
  return Follow(kSystemRule).value_or("C:\\ProgramData\\KOVANT");
#else
  return kSystemFolder;
#endif
}

std::vector<std::string> DictionaryFolders() {
  if (auto home = HomeOverride()) return {WithoutTrailingSlash(*home)};
  const std::string exe = ExecutableFolder();
  std::vector<std::string> folders;
#ifdef _WIN32
  // The installer puts KOVANT.DIC beside the programs: no share/ folder.
  const std::vector<std::string> candidates = {exe, UserDataFolder(), SystemDataFolder()};
#else
  // <prefix>/share/kovant: the prefix the program runs from (an install
  // moved elsewhere), then the one it was built for.
  const std::string relocated = exe.substr(0, exe.find_last_of("/\\")) + "/share/kovant";
  const std::vector<std::string> candidates = {exe, UserDataFolder(), SystemDataFolder(), relocated,
                                               std::string(KOVANT_INSTALLED_DATA_DIR)};
#endif
  for (const std::string& folder : candidates) {
    if (folder.empty() || !IsRegularFile(JoinPath(folder, "KOVANT.DIC"))) continue;
    if (std::find(folders.begin(), folders.end(), folder) == folders.end()) folders.push_back(folder);
  }
  return folders;
}

std::string SettingsFolder() {
  if (auto home = HomeOverride()) return WithoutTrailingSlash(*home);
  // A portable copy (or the build tree) keeps its settings beside itself;
  // an installed one never writes into its prefix, not even as root.
  const std::string exe = ExecutableFolder();
  bool portable = IsRegularFile(JoinPath(exe, "KOVANT.DIC")) && IsWritableFolder(exe);
#ifdef _WIN32
  // The installer's per-user folder is writable too; its uninstaller tells
  // it from a portable copy, and the settings then outlive an uninstall.
  portable = portable && !IsRegularFile(JoinPath(exe, "uninstall.exe"));
#endif
  if (portable) return exe;
  return UserConfigFolder();
}

std::string RegistryNoteRoot() {
  if (auto root = Environment("KOVANT_REGISTRY")) return *root;
  if (auto home = HomeOverride()) return JoinPath(WithoutTrailingSlash(*home), "registry");
  const std::string config = UserConfigFolder();
  return config.empty() ? std::string() : JoinPath(config, "registry");
}

std::vector<std::string> FormerSettingsFolders() {
  const std::string exe = ExecutableFolder();
  std::vector<std::string> folders;
  if (std::string data = UserDataFolder(); !data.empty()) folders.push_back(data);
  folders.push_back(exe.substr(0, exe.find_last_of("/\\")) + "/share/kovant");
  folders.push_back(KOVANT_INSTALLED_DATA_DIR);
  return folders;
}

FolderNames FolderRuleNames() {
#ifdef _WIN32
  return {Describe(kDataRule), Describe(kConfigRule), Describe(kSystemRule)};
#else
  return {Describe(kDataRule), Describe(kConfigRule), kSystemFolder};
#endif
}

std::string FolderHelpText() {
  const FolderNames names = FolderRuleNames();
#ifdef _WIN32
  const std::string folders = names.userData + "、" + names.system;
  const std::string portable = "KOVANT.DIC があり書き込め、uninstall.exe のないプログラムのフォルダー";
#else
  const std::string folders = names.userData + "、" + names.system + "、" + KOVANT_INSTALLED_DATA_DIR;
  const std::string portable = "KOVANT.DIC があり書き込めるプログラムのフォルダー";
#endif
  return "フォルダー（KOVANT_HOME があればそこだけ）:\n"
         "  辞書        次のうちデータ日付の新しいもの: プログラムのフォルダー、\n"
         "              " +
         folders +
         "\n"
         "  設定        " +
         names.userConfig +
         "\n"
         "              （持ち運び用のコピーでは、" +
         portable + "）\n";
}

}  // namespace kovant::platform
