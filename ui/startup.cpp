#include "ui/startup.h"

#include <QApplication>

#include "platform/clipboard.h"
#include "platform/files.h"
#include "settings/settings.h"
#include "ui/mainwindow.h"

namespace kovant::ui {

int RunProgram(QApplication& app) {
  AppState state;
  state.ProgramFolder = platform::ProgramFolder();
  auto clipboard = platform::MakeSystemClipboard();
  state.clipboard = clipboard.get();
  settings::LoadSettings(state.Settings, state.ProgramFolder, settings::kIniFileName);

  Kovant1 window(state);
  if (!window.Form_Load()) return 1;
  window.show();
  return app.exec();
}

}  // namespace kovant::ui
