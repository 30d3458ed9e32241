// The desktop and the clipboard of the session the program runs in, chosen
// by what the session offers rather than by its name: in a Wayland session
// the protocols of a compositor that shows its windows (sway and its kin,
// KWin), else the RemoteDesktop portal (GNOME); X11 otherwise.
// Where neither reaches other windows, the desktop says it is unavailable
// and Qt's clipboard serves. The one place that knows the backends.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/clipboard.h"
#include "platform/desktop.h"

namespace kovant::platform {

struct SessionBackends {
  std::shared_ptr<Desktop> desktop;
  std::shared_ptr<Clipboard> clipboard;
};

// Needs a QGuiApplication. A backend keeps what it must remember between
// runs (the portal's restore token) in settingsFolder.
SessionBackends MakeSessionBackends(const std::string& settingsFolder);

// Whether a window can be shown at all, asked before Qt starts (Qt ends the
// process with its own message when it cannot): a platform named by
// QT_QPA_PLATFORM, a Wayland session, or an X server that answers (asked
// in x11desktop.cpp, which speaks X).
bool DesktopSessionReachable();

// The program started as one of the backends' helpers (the clipboard keeper
// that outlives it): runs it and gives its exit status. Nothing when argv
// asks for none. Called before Qt starts.
std::optional<int> RunHelperMode(int argc, char** argv);

}  // namespace kovant::platform
