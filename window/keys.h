// The keys the windows handle, toolkit-neutral: each view turns its own key
// events into these, and a handler answers whether it consumed the key.
#pragma once

#include <string>
#include <string_view>

namespace kovant::window {

enum class Key { Other, Enter, Left, Right, Up, Down, PageUp, PageDown, F1, Backspace };

struct Modifiers {
  bool ctrl = false;
  bool shift = false;
  bool alt = false;
};

enum class Handled { Passed, Consumed };

// The text without blanks at either end (ASCII white space and the
// ideographic space U+3000).
std::string_view Trimmed(std::string_view text);

// Whether text begins with prefix, letters compared without case (ASCII and
// full-width Latin letters), as a head search of a list compares.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

}  // namespace kovant::window
