// Sections after the last record: data the record layouts have no room for
// (a code index, the readings of names). The header's reserved bytes point
// at a table of them; a reader that knows only the records never looks
// there, and a file without them reads as before.
//
// Header bytes 4..15: "KVX1", the table's position (Long), its entry count
// (Long). Each table entry is 12 bytes: a 4-letter tag, the section's
// position (Long) and length (Long).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dict/reader.h"

namespace kovant::dict {

inline constexpr std::string_view kSectionMagicText = "KVX1";
inline constexpr size_t kSectionEntrySize = 12;
inline constexpr int32_t kMaxSections = 16;

struct Section {
  std::string tag;  // 4 ASCII letters
  int64_t pos = 0;  // 1-based
  int64_t length = 0;
};

// The sections a file lists: none for a file without the magic; an error
// when the table or a section lies outside the file or over the header.
Result<std::vector<Section>> ReadSectionTable(DicFile& dic);

// The section with the tag, or nullptr.
const Section* FindSection(const std::vector<Section>& sections, std::string_view tag);

// Appends the sections and their table to the bytes of a built dictionary
// and points its header at them.
// With vouchFor, the tag of one of them, a digest section (kDigestTag)
// follows that vouches for it.
struct SectionBytes {
  std::string tag;
  std::string bytes;
};
Result<bool> AppendSections(std::string& dictionary, const std::vector<SectionBytes>& sections,
                            std::string_view vouchFor = {});

inline constexpr std::string_view kDigestTag = "DGST";

// A 64-bit digest of bytes: not proof against a forger (who could write any
// records anyway), only against a section made for other records or
// damaged since; fast enough to cover the country's records at every open.
uint64_t Digest(const uint8_t* bytes, size_t n);
// The same over bytes that come in parts.
class Digester {
 public:
  void Add(const uint8_t* bytes, size_t n);
  uint64_t Finish();

 private:
  void Blocks(const uint8_t* bytes, size_t n);  // whole blocks of 32 bytes
  uint64_t lanes_[4] = {0x9E3779B185EBCA87ull, 0xC2B2AE3D27D4EB4Full, ~0x9E3779B185EBCA87ull, ~0xC2B2AE3D27D4EB4Full};
  uint8_t pending_[32] = {};
  size_t pendingCount_ = 0;
  uint64_t total_ = 0;
};

// Whether the file's digest section vouches for the section `vouched`: it
// names it, and the digest of the bytes from the first record to its end
// matches. False for a file without one (check the section the long way).
bool Vouched(const DicFile& dic, const std::vector<Section>& sections, const Section& vouched);

}  // namespace kovant::dict
