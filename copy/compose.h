// The copy text built from the result on show and the copy settings.
#pragma once

#include <string>

#include "dict/current.h"
#include "settings/settings.h"

namespace kovant::copy {

// codeKind kCopyFormerCode takes the former code, any other value the
// current one.
// Positions (Seq1..Seq5) other than 0..5 and separator kinds other than
// 0..4, which only a hand-edited file can hold, count as 0: the item is left
// out, the separator is empty.
std::string ComposeCopyText(int codeKind, const dict::CurrentResult& result, const settings::Settings& settings);

}  // namespace kovant::copy
