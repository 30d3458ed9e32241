// The first CSV inside a zip archive held in memory: one implementation per
// system (libzip on Linux, our own reading of the container with zlib's
// inflate on Windows, where there is no libzip).
#pragma once

#include <string>

#include "update/kenall.h"

namespace kovant::tools {

// The first entry whose name ends in ".csv" (any case), at most maxBytes
// once inflated, counted as it comes out (what the archive states of its
// size only sizes the first block, up to 64 MB), with its own name and the
// date stored with it ("YYYY-MM-DD"; date when the entry has none). path
// names the archive in messages.
Result<InputFile> ReadZipCsv(const std::string& raw, const std::string& path, const std::string& date,
                             size_t maxBytes = kMaxInputBytes);

// The message for an entry that inflates past maxBytes.
inline std::string ZipTooLargeText(const std::string& path, const std::string& name, size_t maxBytes) {
  return path + ": " + name + " が大きすぎます（展開すると " + std::to_string(maxBytes >> 20) + " MB を超えます）。";
}

// What is reserved at first for an entry that states its size: no more than
// this, whatever it states.
inline constexpr size_t kZipFirstBlock = size_t{64} << 20;

}  // namespace kovant::tools
