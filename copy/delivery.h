// The parts of the copy delivery that need no window: the caption search
// over the top-level windows and the split of a text into pastes and keys.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/desktop.h"

namespace kovant::copy {

// Latin letters in half and full width to upper case; everything else as is.
std::string UpperCaption(std::string_view utf8);

// The topmost window whose caption, upper-cased, contains the upper-cased
// fragment; 0 when none does. foundWindowTitle is left holding the
// upper-cased caption of the last window compared.
platform::WindowId FindWindowByCaption(platform::Desktop& desktop, std::string_view fragment,
                                       std::string& foundWindowTitle);

// One step of a paste delivery: paste the chunk (Shift+Insert), or press
// Tab or Enter.
struct PasteStep {
  enum Kind { Paste, Tab, Enter } kind;
  std::string chunk;  // for Paste
  bool operator==(const PasteStep&) const = default;
};

// A tab or CR LF ends the pending chunk, which is pasted (also when empty)
// and followed by Tab or Enter; a non-empty chunk at the end is pasted.
std::vector<PasteStep> PasteSteps(std::string_view text);

}  // namespace kovant::copy
