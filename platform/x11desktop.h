// The desktop of an X11 session, on Qt's own X connection so that the
// server sees our clipboard answers and our keystrokes in order.
#pragma once

#include <memory>

#include "platform/desktop.h"

namespace kovant::platform {

// Needs a QGuiApplication. Without an X11 display (offscreen, Wayland
// without X) the desktop reports itself unavailable and does nothing.
std::unique_ptr<Desktop> MakeX11Desktop();

}  // namespace kovant::platform
