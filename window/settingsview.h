// What the settings window's logic needs of a view: each key of the
// settings table shown by its control (options, a check box or a text box).
#pragma once

#include <cstdint>
#include <string>

#include "settings/settings.h"

namespace kovant::window {

class SettingsView {
 public:
  virtual ~SettingsView() = default;
  virtual void SetTitle(const std::string& title) = 0;
  // A number key: the option of its code, or its check box (kSwitchOn checked).
  virtual void ShowNumber(const settings::SettingKey& key, int16_t value) = 0;
  virtual int16_t NumberShown(const settings::SettingKey& key) const = 0;
  virtual void ShowText(const settings::SettingKey& key, const std::string& text) = 0;
  virtual std::string TextShown(const settings::SettingKey& key) const = 0;
  virtual void SetCaptionEnabled(bool enabled) = 0;       // Text3, the caption to paste into
  virtual void SetDataDate(const std::string& text) = 0;  // Label7
  // The save/delete window for app.ProfileDialogMode, and the update
  // window; both modal, returning when closed.
  virtual void OpenProfileWindow() = 0;
  virtual void OpenUpdateWindow() = 0;
  virtual void Warn(const std::string& text) = 0;
  virtual void Close(bool accepted) = 0;
};

}  // namespace kovant::window
