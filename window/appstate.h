// The process-wide state the windows share: the settings record, the flags
// that pass outcomes between windows and the link, and the ways out to the
// desktop. One instance, made at start-up (tests make their own).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "settings/settings.h"

namespace kovant::platform {
class Clipboard;
class Desktop;
}  // namespace kovant::platform

namespace kovant::window {

struct AppState {
  settings::Settings Settings = settings::DefaultSettings();
  std::string ProgramFolder;  // KOVANT.DIC
  // Dictionaries passed over for a data date in the future, each a sentence.
  std::vector<std::string> PassedOver;
  std::string SettingsFolder;  // KOVANT.INI and the profiles
  bool ExternalRequest = false;
  bool SettingsCancelled = false;
  int16_t ProfileDialogMode = 0;  // 1 save, 2 delete
  std::string FoundWindowTitle;
  // Today as "YYYY-MM-DD", for the age of the data; "" for the system's date.
  std::string Today;
  // Set by the main window while it lives: a dictionary update has just
  // installed new data, so its notice of old data goes at once.
  std::function<void()> DictionaryUpdated;

  // Both set before the windows are made, which keep them.
  platform::Clipboard* clipboard = nullptr;
  platform::Desktop* desktop = nullptr;  // may be null: no other windows reachable
};

}  // namespace kovant::window
