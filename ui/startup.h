// Start-up and shutdown of the program: hand-over to a running instance,
// the registry note, the settings, the main window and the link.
#pragma once

#include <optional>
#include <string>

class QApplication;

namespace kovant::platform {
class Desktop;
class Registry;
}  // namespace kovant::platform

namespace kovant::ui {

inline constexpr const char* kSoftwareKey = "HKEY_LOCAL_MACHINE\\SOFTWARE";
inline constexpr const char* kRunPathKey = "Morvix\\KOVANT\\RunPath";

// Notes the program folder under RunPath unless the note already holds it
// (up to a NUL, blanks trimmed, letter case counting). Nothing when the
// software key cannot be opened: the program must end. Otherwise why the
// note could not be written, empty when it holds the folder.
std::optional<std::string> NoteProgramFolder(const platform::Registry& registry, const std::string& programFolder);

// Activates the running instance's window (the first top-level window whose
// caption begins with "ぴこらん") and sends it Ctrl+F1. False when none was found.
bool HandOver(platform::Desktop& desktop);

// Runs the program until its main window closes; returns the exit status.
int RunProgram(QApplication& app);

}  // namespace kovant::ui
