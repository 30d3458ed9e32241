// The process-wide state the windows share (window/appstate.h), with the
// Qt windows' way of showing a warning.
#pragma once

#include <QString>

#include <functional>

#include "window/appstate.h"

namespace kovant::ui {

struct AppState : window::AppState {
  // Shows a warning message box; tests record instead.
  std::function<void(const QString&)> warn;
};

}  // namespace kovant::ui
