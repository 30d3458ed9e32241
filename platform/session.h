// The desktop and the clipboard of the session the program runs in, chosen
// by what the session offers rather than by its name: in a Wayland session
// the protocols of a compositor that shows its windows (sway and its kin,
// KWin), else the RemoteDesktop portal (GNOME); X11 otherwise.
// Where neither reaches other windows, the desktop says it is unavailable
// and Qt's clipboard serves.
#pragma once

#include <memory>
#include <string>

#include "platform/clipboard.h"
#include "platform/desktop.h"

namespace kovant::platform {

struct SessionBackends {
  std::shared_ptr<Desktop> desktop;
  std::shared_ptr<Clipboard> clipboard;
};

// Needs a QGuiApplication. portalTokenPath keeps the portal's restore
// token where the portal serves.
SessionBackends MakeSessionBackends(const std::string& portalTokenPath);

}  // namespace kovant::platform
