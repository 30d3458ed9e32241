// The desktop of a Wayland compositor that shows its windows to a program,
// through one of the protocol families of waylandwindows.h (a wlroots
// compositor, KWin). The clipboard is data control where the compositor
// offers it (set without having the focus, which Qt's clipboard cannot),
// else the fallback. On a Wayland connection of its own, dispatched from
// Qt's event loop.
#pragma once

#include <memory>

#include "platform/clipboard.h"
#include "platform/desktop.h"

namespace kovant::platform {

class WaylandDesktop : public Desktop, public Clipboard {};

// Null when no Wayland compositor answers or it lacks a window list or
// keys. Without data control, fallback serves the clipboard. Needs a
// QCoreApplication.
std::unique_ptr<WaylandDesktop> MakeWaylandDesktop(std::unique_ptr<Clipboard> fallback = nullptr);

}  // namespace kovant::platform
