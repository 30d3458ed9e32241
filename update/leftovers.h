// Temporary files that an interrupted write left beside a file we write.
#pragma once

#include <cstddef>
#include <string>

namespace kovant::tools {

// Removes path's own temporaries (path, ".tmp" and six letters or digits, as
// platform::WriteFileAtomically names them) when they are ours, regular and
// either older than an hour or no longer held by the process writing them.
// Nothing else in the folder is touched. Returns how many went.
size_t RemoveLeftoverTemporaries(const std::string& path);

}  // namespace kovant::tools
