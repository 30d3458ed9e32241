// The copied text outlives the program. On X11 the clipboard is only a
// promise of the program that owns it; when that program ends, the text is
// gone unless a clipboard manager took it over. Qt hands it to a manager
// when one runs; otherwise a small process of our own keeps serving it,
// as clipboard tools do, until another program takes the clipboard.
#pragma once

#include <string>

namespace kovant::platform {

// The argument that makes the program the keeper (read before Qt starts).
inline constexpr const char* kKeepClipboardArgument = "--keep-clipboard";

// Called at exit while we still own the clipboard holding utf8: starts the
// keeper when no clipboard manager runs, and returns at once.
void KeepClipboardAfterExit(const std::string& utf8);

// The keeper itself: reads the text from standard input, owns CLIPBOARD and
// PRIMARY and answers for them until it loses CLIPBOARD or the X server
// goes away. Returns the process's exit status.
int ServeClipboard();

}  // namespace kovant::platform
