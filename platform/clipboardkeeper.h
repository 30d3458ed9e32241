// The copied text outlives the program. On X11 the clipboard is only a
// promise of the program that owns it; when that program ends, the text is
// gone unless a clipboard manager took it over. Qt hands it to a manager
// when one runs; otherwise a small process of our own keeps serving it,
// as clipboard tools do, until another program takes the clipboard. In a
// Wayland session of a wlroots compositor the keeper serves through data
// control in the same way.
#pragma once

#include <string>

namespace kovant::platform {

// The arguments that make the program the keeper (read before Qt starts).
inline constexpr const char* kKeepClipboardArgument = "--keep-clipboard";
inline constexpr const char* kKeepWaylandClipboardArgument = "--keep-wayland-clipboard";

enum class Session { X11, Wayland };

// Called at exit while we still own the clipboard holding utf8: starts the
// keeper (on X11 only when no clipboard manager runs), and returns at once.
void KeepClipboardAfterExit(const std::string& utf8, Session session = Session::X11);

// The keeper itself: reads the text from standard input, owns CLIPBOARD and
// PRIMARY and answers for them until it loses CLIPBOARD or the X server
// goes away. Returns the process's exit status.
int ServeClipboard();
// The same through a wlroots compositor's data control, until another
// program sets the clipboard or the compositor goes away.
int ServeWaylandClipboard();

}  // namespace kovant::platform
