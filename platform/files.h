// Program folder and small file helpers shared by the tools and the settings store.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kovant::platform {

// Where KOVANT.DIC lives, the first of: KOVANT_HOME when set; the folder of
// the running executable when it holds KOVANT.DIC; the user's data folder
// (${XDG_DATA_HOME:-~/.local/share}/kovant) when it holds one; the installed
// data folder (<prefix>/share/kovant, the prefix the executable runs from or
// the one it was built for) when it holds one; otherwise the executable's
// folder. No trailing separator.
std::string ProgramFolder();

// The user's data folder, ${XDG_DATA_HOME:-~/.local/share}/kovant.
std::string UserDataFolder();

// Where KOVANT.INI, the profiles and the registry note go: the program
// folder while it is writable, otherwise ${XDG_CONFIG_HOME:-~/.config}/kovant
// (not created here: readers need not, the program does at start).
std::string SettingsFolder(const std::string& programFolder);
std::string UserConfigFolder();

// True when a file can be created in folder (tried, not guessed from modes).
bool IsWritableFolder(const std::string& folder);

// The folder of the running executable.
std::string ExecutableFolder();

// Joins a folder and a bare file name with one "/".
std::string JoinPath(std::string_view folder, std::string_view name);

// Whole file, or nothing when it cannot be read (missing, a directory, ...).
// maxBytes bounds what a hostile file can make us allocate.
std::optional<std::string> ReadWholeFile(const std::string& path,
                                         std::size_t maxBytes = std::size_t{64} << 20);

// Writes a temporary file beside path and renames it into place, so readers
// see either the old or the new file whole. Returns an error text, empty on
// success.
std::string WriteFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace kovant::platform
