// The desktop of a wlroots compositor (sway and its kin) in a Wayland
// session: other programs' windows through the foreign-toplevel list, the
// clipboard through data control (set without having the focus, which
// Qt's clipboard cannot), keys through a virtual keyboard. On a Wayland
// connection of its own, dispatched from Qt's event loop.
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

// Null when no Wayland compositor answers or it lacks one of the three
// protocols. Needs a QCoreApplication.
std::unique_ptr<WaylandDesktop> MakeWlrootsDesktop();

}  // namespace kovant::platform
