// Where the programs keep what they keep: each folder's rule stated once.
// KOVANT_HOME, when set, is the one folder of the dictionary, the settings
// and the registry note. The user's folders come from the XDG variables or
// the home folder: HOME, or without it the account's home; never a folder
// other users can write (/tmp) nor the working folder, and never a folder
// of another user's (root run with a user's HOME writes its own home).
// Without any, there is no user folder: nothing is read or made there.
// On Windows the user's folders are %APPDATA%\KOVANT (settings, the
// registry note) and %LOCALAPPDATA%\KOVANT (the user's dictionary, the
// note of checked files, the lock); every user's is %ProgramData%\KOVANT.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kovant::platform {

// Why nothing can be kept for the user: there is no user folder.
inline constexpr std::string_view kNoUserFolderMessage =
    "利用者のフォルダーがありません（HOME が設定されず、アカウントにもホームがありません）。";

// KOVANT_HOME as set (nothing when unset or empty).
std::optional<std::string> HomeOverride();

// The running user's home folder by the rule above, or nothing.
std::optional<std::string> UserHome();

// ${XDG_DATA_HOME:-~/.local/share}/kovant; empty without a user folder.
std::string UserDataFolder();
// ${XDG_CONFIG_HOME:-~/.config}/kovant; empty without a user folder.
std::string UserConfigFolder();
// ${XDG_CACHE_HOME:-~/.cache}/kovant (the note of checked files), or nothing.
std::optional<std::string> UserCacheFolder();
// The folder of the single-instance lock: $XDG_RUNTIME_DIR when it is the
// user's own, else the cache folder; nothing without either.
std::optional<std::string> LockFolder();

// Where the user's own dictionary goes: KOVANT_HOME when set, else the
// user's data folder; nothing without either.
std::optional<std::string> UserDictionaryFolder();

// The folders that hold a KOVANT.DIC, in search order: KOVANT_HOME alone
// when set (whatever it holds); otherwise the folder of the running
// executable, the user's data folder, the system's data folder
// (SystemDataFolder()), the installed data folder (<prefix>/share/kovant,
// the prefix the executable runs from, then the one it was built for).
// Which of them is used is the dictionary's business (the newest valid
// one). No trailing separators.
std::vector<std::string> DictionaryFolders();

// The data folder every user shares, which `kovant-mkdic --update --system`
// writes: /var/lib/kovant, outside the package's files so an update never
// fights the package manager. KOVANT_SYSTEM_DIR moves it (tests).
std::string SystemDataFolder();

// True when KOVANT_SYSTEM_DIR is set: the system folder is then a folder of
// the caller's choosing, no place that needs root.
bool SystemDataFolderMoved();

// Where KOVANT.INI, the profiles and the registry note go: KOVANT_HOME when
// set; the executable's folder when it holds KOVANT.DIC and is writable (a
// portable copy, the build tree; on Windows not an installed copy, which
// has uninstall.exe beside it); otherwise the user's config folder (not
// created here: readers need not, the program does at start).
std::string SettingsFolder();

// The root of the registry note: KOVANT_REGISTRY when set, else "registry"
// in KOVANT_HOME or in the user's config folder; empty without either.
std::string RegistryNoteRoot();

// Where earlier versions may have left the settings (beside the dictionary
// they used), for moving them once.
std::vector<std::string> FormerSettingsFolders();

// The folders as help texts name them: the rules above written out, not
// today's values ("${XDG_DATA_HOME:-~/.local/share}/kovant", on Windows
// "%LOCALAPPDATA%\KOVANT"), so that no help can disagree with them.
struct FolderNames {
  std::string userData, userConfig, system;
};
FolderNames FolderRuleNames();

// The lines of --help that say where the dictionary is looked for and
// where the settings are kept, ending in a line feed.
std::string FolderHelpText();

}  // namespace kovant::platform
