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

// $variable/kovant, else ~/fallback/kovant, else nothing.
std::optional<std::string> XdgFolder(const char* variable, const char* fallback) {
  if (auto x = Usable(Environment(variable))) return JoinPath(*x, "kovant");
  if (auto home = UserHome()) return JoinPath(JoinPath(*home, fallback), "kovant");
  return std::nullopt;
}

}  // namespace

std::optional<std::string> HomeOverride() { return Environment("KOVANT_HOME"); }

std::optional<std::string> UserHome() {
  if (auto home = Usable(Environment("HOME"))) return home;
  return Usable(AccountHome());
}

std::string UserDataFolder() { return XdgFolder("XDG_DATA_HOME", ".local/share").value_or(std::string()); }
std::string UserConfigFolder() { return XdgFolder("XDG_CONFIG_HOME", ".config").value_or(std::string()); }
std::optional<std::string> UserCacheFolder() { return XdgFolder("XDG_CACHE_HOME", ".cache"); }

std::optional<std::string> LockFolder() {
  if (auto runtime = Usable(Environment("XDG_RUNTIME_DIR"))) return runtime;
  return UserCacheFolder();
}

std::optional<std::string> UserDictionaryFolder() {
  if (auto home = HomeOverride()) return WithoutTrailingSlash(*home);
  std::string data = UserDataFolder();
  if (data.empty()) return std::nullopt;
  return data;
}

bool SystemDataFolderMoved() { return Environment("KOVANT_SYSTEM_DIR").has_value(); }

std::string SystemDataFolder() {
  if (auto moved = Environment("KOVANT_SYSTEM_DIR")) return WithoutTrailingSlash(*moved);
  return "/var/lib/kovant";
}

std::vector<std::string> DictionaryFolders() {
  if (auto home = HomeOverride()) return {WithoutTrailingSlash(*home)};
  const std::string exe = ExecutableFolder();
  // <prefix>/share/kovant: the prefix the program runs from (an install
  // moved elsewhere), then the one it was built for.
  const std::string relocated = exe.substr(0, exe.find_last_of("/\\")) + "/share/kovant";
  std::vector<std::string> folders;
  for (const std::string& folder :
       {exe, UserDataFolder(), SystemDataFolder(), relocated, std::string(KOVANT_INSTALLED_DATA_DIR)}) {
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
  if (IsRegularFile(JoinPath(exe, "KOVANT.DIC")) && IsWritableFolder(exe)) return exe;
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
