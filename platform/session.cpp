#include "platform/session.h"

#include <QGuiApplication>

#include <sys/prctl.h>

#include <cstring>

#include "platform/clipboardkeeper.h"
#include "platform/files.h"
#include "platform/portaldesktop.h"
#include "platform/waylanddesktop.h"
#include "platform/x11desktop.h"

namespace kovant::platform {

SessionBackends MakeSessionBackends(const std::string& settingsFolder) {
  if (QGuiApplication::platformName() == QLatin1String("wayland")) {
    // A compositor without data control still shows its windows and takes
    // keys; Qt's clipboard serves then.
    if (std::shared_ptr<WaylandDesktop> compositor = MakeWaylandDesktop(MakeSystemClipboard())) {
      return {compositor, compositor};
    }
    if (std::shared_ptr<PortalDesktop> portal =
            MakePortalDesktop(JoinPath(settingsFolder, "portal-token"), MakeSystemClipboard())) {
      return {portal, portal};
    }
  }
  // The X11 desktop reports itself unavailable outside X11.
  return {MakeX11Desktop(), MakeSystemClipboard()};
}

std::optional<int> RunHelperMode(int argc, char** argv) {
  if (argc != 2) return std::nullopt;
  const bool x11 = std::strcmp(argv[1], kKeepClipboardArgument) == 0;
  if (!x11 && std::strcmp(argv[1], kKeepWaylandClipboardArgument) != 0) return std::nullopt;
  // Started through /proc/self/exe, the keeper would show in ps as "exe":
  // it takes the program's name it was given.
  const char* slash = std::strrchr(argv[0], '/');
  prctl(PR_SET_NAME, slash ? slash + 1 : argv[0], 0, 0, 0);
  return x11 ? ServeClipboard() : ServeWaylandClipboard();
}

}  // namespace kovant::platform
