// The first CSV inside a zip archive held in memory: one implementation per
// system (libzip on Linux, our own reading of the container with zlib's
// inflate on Windows, where there is no libzip).
#pragma once

#include <string>

#include "update/kenall.h"

namespace kovant::tools {

// The first entry whose name ends in ".csv" (any case), at most 512 MB once
// inflated, with its own name and the date stored with it ("YYYY-MM-DD";
// date when the entry has none). path names the archive in messages.
Result<InputFile> ReadZipCsv(const std::string& raw, const std::string& path, const std::string& date);

}  // namespace kovant::tools
