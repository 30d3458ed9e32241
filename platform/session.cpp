#include "platform/session.h"

#include <QGuiApplication>

#include "platform/waylanddesktop.h"
#include "platform/x11desktop.h"

namespace kovant::platform {

SessionBackends MakeSessionBackends() {
  if (QGuiApplication::platformName() == QLatin1String("wayland")) {
    if (std::shared_ptr<WaylandDesktop> wlroots = MakeWlrootsDesktop()) return {wlroots, wlroots};
  }
  // The X11 desktop reports itself unavailable outside X11.
  return {MakeX11Desktop(), MakeSystemClipboard()};
}

}  // namespace kovant::platform
