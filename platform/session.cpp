#include "platform/session.h"

#include <QGuiApplication>

#include "platform/portaldesktop.h"
#include "platform/waylanddesktop.h"
#include "platform/x11desktop.h"

namespace kovant::platform {

SessionBackends MakeSessionBackends(const std::string& portalTokenPath) {
  if (QGuiApplication::platformName() == QLatin1String("wayland")) {
    if (std::shared_ptr<WaylandDesktop> compositor = MakeWaylandDesktop()) return {compositor, compositor};
    if (std::shared_ptr<PortalDesktop> portal = MakePortalDesktop(portalTokenPath, MakeSystemClipboard())) {
      return {portal, portal};
    }
  }
  // The X11 desktop reports itself unavailable outside X11.
  return {MakeX11Desktop(), MakeSystemClipboard()};
}

}  // namespace kovant::platform
