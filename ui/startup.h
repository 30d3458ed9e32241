// Start-up and shutdown of the program: hand-over to a running instance,
// the registry note, the settings, the main window and the link.
#pragma once

class QApplication;

namespace kovant::ui {

// Runs the program until its main window closes; returns the exit status.
int RunProgram(QApplication& app);

}  // namespace kovant::ui
