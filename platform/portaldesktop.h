// The desktop where no protocol shows other programs' windows (GNOME in a
// Wayland session, and any desktop whose compositor offers neither the
// wlroots nor the KDE protocols): keys through the RemoteDesktop portal of
// the session bus, the clipboard through its Clipboard portal where there
// is one. The user consents at the first paste; from version 2 of the
// portal on, its restore token is kept so that later starts do not ask
// again (Debian 12's, version 1, asks at every start).
#pragma once

#include <memory>
#include <string>

#include "platform/clipboard.h"
#include "platform/desktop.h"

namespace kovant::platform {

class PortalDesktop : public Desktop, public Clipboard {};

// Null when the session bus has no RemoteDesktop portal offering a
// keyboard. tokenPath keeps the restore token. Without a Clipboard portal,
// fallback serves the clipboard. Needs a QCoreApplication.
std::unique_ptr<PortalDesktop> MakePortalDesktop(const std::string& tokenPath, std::unique_ptr<Clipboard> fallback);

}  // namespace kovant::platform
