// Postal codes as people write them ("〒100-0001", "１００－０００１",
// " 1000001 ", a CSV cell ending in CR) made into the plain digits the
// search takes. One normaliser for the window's paste and the tools.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kovant::dict {

// Full-width digits become ASCII digits; hyphens and minus signs (-, ‐, ‑,
// ‒, –, —, −, －, and ー between digits), "〒", blanks, tabs, ideographic
// spaces, a byte order mark and line ends are dropped. Anything else stays,
// for the search to refuse with its message.
std::string NormalizeCodeInput(std::string_view utf8);

// What is wrong with a code for the search, as the window says it: the
// length message unless it has 3, 5 or 7 characters, then the digits
// message unless they are all ASCII digits; nullopt for a good code.
std::optional<std::string> CodeInputProblem(std::string_view code);

// Characters (not bytes) of a UTF-8 text; an invalid byte counts as one.
size_t CharacterCount(std::string_view utf8);

}  // namespace kovant::dict
