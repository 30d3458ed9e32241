// The one-byte codes of dictionary names and their expansion.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "dict/result.h"
#include "platform/sjis.h"

namespace kovant::dict {

constexpr int kCodeCount = 128;

// Entry c is the Shift-JIS expansion of the byte c (1..127); entry 0 is empty.
using CodeTableType = std::array<std::string, kCodeCount>;

// Fills the table (idempotent); CodeTable() builds it on first use as well.
void BuildCodeTable();
const CodeTableType& CodeTable();

// The expansions as UTF-8, index as in CodeTable (entry 0 empty).
const std::array<std::string_view, kCodeCount>& CodeTableUtf8();

// Expands the first byteLength bytes of a coded name field into Shift-JIS
// text. Fails on a single byte 0x80 or above where a unit starts and on a
// byteLength (or a double-byte character) that runs past the field. A zero
// byte expands to nothing.
Result<std::string> ExpandText(std::string_view codedField, int byteLength);
// The same, appended to out (which keeps what it had on failure, plus part
// of the name): a batch expands thousands of names into one buffer.
Result<bool> AppendExpandedText(std::string& out, std::string_view codedField, int byteLength);

// The same name straight to UTF-8, byte for byte what SjisToUtf8 gives for
// the Shift-JIS expansion, without making that expansion: codes append
// their UTF-8 form, double-byte characters go through the decoder's table.
// Same failures as AppendExpandedText.
Result<bool> AppendExpandedUtf8(std::string& out, std::string_view codedField, int byteLength);

}  // namespace kovant::dict
