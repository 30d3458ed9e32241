// Checks already made of whole files, noted per user. Opening the code
// index reads and hashes 3.9 MB of the country's dictionary to trust its
// index: most of what one lookup costs. A note lets the check be made once
// for each version of a file instead of once a run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace kovant::platform {

// "checked" in the user's cache folder (UserCacheFolder()), or nothing
// without one.
std::optional<std::string> CheckNotePath();

// Whether the note says that check `what` (no spaces) passed on this very
// version of a file.
bool NotedAsChecked(const std::string& notePath, const FileIdentity& file, std::string_view what);

// Notes that check `what` passed on file. Not for a file changed in the
// last seconds before nowNs: a write within the same tick of the file
// system's clock can leave every time as it was. Best effort: a note that
// cannot be written is only a check made again next time.
void NoteChecked(const std::string& notePath, const FileIdentity& file, std::string_view what, int64_t nowNs);

// How long a file must have stood unchanged before its check is noted.
inline constexpr int64_t kSettledNs = int64_t{5} * 1000000000;

}  // namespace kovant::platform
