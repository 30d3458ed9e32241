// The settings window KOVANT2's logic: the record shown key by key, saved
// under a profile name, or left as it was.
#pragma once

#include <string>

#include "window/appstate.h"
#include "window/keys.h"
#include "window/settingsview.h"

namespace kovant::window {

class SettingsModel {
 public:
  SettingsModel(AppState& app, SettingsView& view) : app_(app), view_(view) {}

  void Form_Load();
  void Command1_Click(int index);  // 0 "設定保存", 1 "取り消し", 2 "設定削除"
  void Command2_Click();           // "辞書を更新"
  void Check1_Click();
  // The close box and Escape count as cancelling, so that closing never
  // saves settings under an old or empty profile name.
  void Form_Cancel() { Command1_Click(1); }
  // A character typed into a copy-order box: the digits 0 to the last
  // copy position only.
  static Handled Text2_KeyPress(const std::string& text);
  void ShowDataDate();

 private:
  void StoreControls();
  void Save();

  AppState& app_;
  SettingsView& view_;
};

}  // namespace kovant::window
