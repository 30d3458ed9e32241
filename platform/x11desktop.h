// The desktop of an X11 session, on Qt's own X connection so that the
// server sees our clipboard answers and our keystrokes in order.
#pragma once

#include <memory>

#include "platform/desktop.h"

namespace kovant::platform {

// Needs a QGuiApplication. Without an X11 display (offscreen, Wayland
// without X) the desktop reports itself unavailable and does nothing.
std::unique_ptr<Desktop> MakeX11Desktop();

// Whether a window can be shown at all, asked before Qt starts (Qt ends the
// process with its own message when it cannot): a platform named by
// QT_QPA_PLATFORM, a Wayland session, or an X server that answers.
bool DesktopSessionReachable();

}  // namespace kovant::platform
