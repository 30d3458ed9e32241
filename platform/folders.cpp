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

#ifndef _WIN32
// $variable/kovant, else ~/fallback/kovant, else nothing.
std::optional<std::string> XdgFolder(const char* variable, const char* fallback) {
  if (auto x = Usable(Environment(variable))) return JoinPath(*x, "kovant");
  if (auto home = UserHome()) return JoinPath(JoinPath(*home, fallback), "kovant");
  return std::nullopt;
}

#else
// %variable%\KOVANT: Windows keeps settings in the roaming profile
// (APPDATA), a user's data in the local one (LOCALAPPDATA) and what every
// user shares in ProgramData.
std::optional<std::string> KnownFolder(const char* variable) {
  if (auto x = Usable(Environment(variable))) return *x + "\\KOVANT";
  return std::nullopt;
}
#endif

}  // namespace

std::optional<std::string> HomeOverride() { return Environment("KOVANT_HOME"); }

std::optional<std::string> UserHome() {
  if (auto home = Usable(Environment("HOME"))) return home;
  return Usable(AccountHome());
}

#ifdef _WIN32
std::string UserDataFolder() { return KnownFolder("LOCALAPPDATA").value_or(std::string()); }
std::string UserConfigFolder() { return KnownFolder("APPDATA").value_or(std::string()); }
std::optional<std::string> UserCacheFolder() { return KnownFolder("LOCALAPPDATA"); }
std::optional<std::string> LockFolder() { return UserCacheFolder(); }
#else
std::string UserDataFolder() { return XdgFolder("XDG_DATA_HOME", ".local/share").value_or(std::string()); }
std::string UserConfigFolder() { return XdgFolder("XDG_CONFIG_HOME", ".config").value_or(std::string()); }
std::optional<std::string> UserCacheFolder() { return XdgFolder("XDG_CACHE_HOME", ".cache"); }

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
  return KnownFolder("ProgramData").value_or("C:\\ProgramData\\KOVANT");
#else
  return "/var/lib/kovant";
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

}  // namespace kovant::platform
