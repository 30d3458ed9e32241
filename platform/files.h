// Program folder and small file helpers shared by the tools and the settings store.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kovant::platform {

// Where KOVANT.DIC, KOVANT.INI and the profiles live: KOVANT_HOME when set,
// otherwise the folder of the running executable. No trailing separator.
std::string ProgramFolder();

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
