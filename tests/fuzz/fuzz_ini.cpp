// Any bytes as KOVANT.INI: reading every key, updating the file and reading
// it again never crash.
#include <cstdint>
#include <string>

#include "fuzztemp.h"
#include "platform/ini.h"
#include "settings/settings.h"

using namespace kovant;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::WriteInput("KOVANT.INI", data, size);
  platform::IniFile ini = platform::IniFile::Load(path);
  // Every key is read by LoadSettings below; here the first and one the
  // input names, in other spellings.
  const auto& keys = settings::SettingsKeys();
  for (size_t k : {size_t{0}, size > 0 ? data[0] % keys.size() : 0}) {
    (void)platform::ProfileString(ini, "Parms", keys[k], " ", 19);
    (void)platform::ProfileInt(ini, "parms", keys[k], 3);
  }
  ini.Set("Parms", "FindCaption", "\x83\x81\x83\x82");
  ini.Set("Other", "Key", "");
  (void)ini.Get("PARMS", "findcaption");
  settings::Settings s = settings::DefaultSettings();
  settings::LoadSettings(s, fuzz::Folder(), "KOVANT.INI");
  // Saving sets every key, each over the whole text, and took three times
  // the rest: one input in four saves and reads the result back.
  if (fuzz::Pick(data, size, 4) != 0) return 0;
  settings::SaveSettings(s, fuzz::Folder(), "KOVANT.INI");
  settings::Settings again = settings::DefaultSettings();
  settings::LoadSettings(again, fuzz::Folder(), "KOVANT.INI");
  return 0;
}
