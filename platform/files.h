// Program folder and small file helpers shared by the tools and the settings store.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>
#include <cstdint>

namespace kovant::platform {

// KOVANT_HOME as set (nothing when unset or empty): the one folder for the
// dictionary and the settings, whatever else there is.
std::optional<std::string> HomeOverride();

// The folders that hold a KOVANT.DIC, in search order: KOVANT_HOME alone
// when set (whatever it holds); otherwise the folder of the running
// executable, the user's data folder (${XDG_DATA_HOME:-~/.local/share}/kovant),
// the system's data folder (SystemDataFolder()), the installed data folder (<prefix>/share/kovant, the prefix the
// executable runs from, then the one it was built for). Which of them is used is the dictionary's business (the newest
// valid one). No trailing separators.
std::vector<std::string> DictionaryFolders();

// The user's data folder, ${XDG_DATA_HOME:-~/.local/share}/kovant.
std::string UserDataFolder();

// The data folder every user shares, which `kovant-mkdic --update --system`
// writes: /var/lib/kovant, outside the package's files so an update never
// fights the package manager. KOVANT_SYSTEM_DIR moves it (tests).
std::string SystemDataFolder();

// True when KOVANT_SYSTEM_DIR is set: the system folder is then a folder of
// the caller's choosing, no place that needs root.
bool SystemDataFolderMoved();

// Where KOVANT.INI, the profiles and the registry note go: KOVANT_HOME when
// set; the executable's folder when it holds KOVANT.DIC and is writable (a
// portable copy, the build tree); otherwise ${XDG_CONFIG_HOME:-~/.config}/kovant
// (not created here: readers need not, the program does at start).
std::string SettingsFolder();
std::string UserConfigFolder();

// Where earlier versions may have left the settings (beside the dictionary
// they used), for moving them once.
std::vector<std::string> FormerSettingsFolders();

// What tells that a file was replaced or rewritten.
struct FileStamp {
  uint64_t device = 0, inode = 0;
  int64_t size = 0, mtimeNs = 0;
  bool operator==(const FileStamp&) const = default;
};
std::optional<FileStamp> StampOf(const std::string& path);

// True when folder is a folder (not a link to one) of this user's that no
// one else may write: a place for a lock or a note others must not plant.
bool OwnedPrivateFolder(const std::string& folder);

// True when a file can be created in folder (tried, not guessed from modes).
bool IsWritableFolder(const std::string& folder);

// The folder of the running executable.
std::string ExecutableFolder();

// What an errno value means, in Japanese like every other message of the
// program (the C library's texts are English on most systems).
std::string SystemErrorText(int err);

// Writes all of bytes to fd, again after an interrupted or partial write;
// false on the first error (errno tells which).
bool WriteAll(int fd, std::string_view bytes);

// Joins a folder and a bare file name with one "/".
std::string JoinPath(std::string_view folder, std::string_view name);

// Whole file, or nothing when it cannot be read (missing, a directory, ...).
// maxBytes bounds what a hostile file can make us allocate.
std::optional<std::string> ReadWholeFile(const std::string& path, std::size_t maxBytes = std::size_t{64} << 20);

// Writes a temporary file beside path and renames it into place, so readers
// see either the old or the new file whole. Returns an error text, empty on
// success. An existing path must be a regular file (or the user's own
// symbolic link to one, written through); its permission bits are kept
// without set-ID bits; a new file gets 0666 less the umask.
std::string WriteFileAtomically(const std::string& path, std::string_view bytes);

// The same for what only the user may read (a consent token): the file is
// 0600 afterwards, whatever mode a file it replaces had.
std::string WritePrivateFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace kovant::platform
