// The desktop of a Wayland compositor that shows its windows to a program:
// a wlroots compositor (sway and its kin) through the foreign-toplevel list
// and a virtual keyboard, KWin through its window management and fake
// input (offered only to programs whose .desktop file names them). The
// clipboard is data control on both: set without having the focus, which
// Qt's clipboard cannot. On a Wayland connection of its own, dispatched
// from Qt's event loop.
#pragma once

#include <memory>

#include "platform/clipboard.h"
#include "platform/desktop.h"

namespace kovant::platform {

// The text types offered to clipboard readers.
inline constexpr const char* kWaylandTextTypes[] = {"text/plain;charset=utf-8", "UTF8_STRING", "text/plain", "TEXT",
                                                    "STRING"};

class WaylandDesktop : public Desktop, public Clipboard {
 public:
  // Whether the clipboard still holds the text we last set.
  virtual bool OwnsClipboard() const = 0;
};

// Null when no Wayland compositor answers or it lacks a window list, keys or
// data control. Needs a QCoreApplication.
std::unique_ptr<WaylandDesktop> MakeWaylandDesktop();

}  // namespace kovant::platform
