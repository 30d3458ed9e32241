// The save/delete window KOVANT3's logic: save mode picks the name the
// settings are saved under, delete mode removes saved settings.
#pragma once

#include "window/appstate.h"
#include "window/profileview.h"

namespace kovant::window {

class ProfileModel {
 public:
  // For app.ProfileDialogMode (1 save, 2 delete).
  ProfileModel(AppState& app, ProfileView& view) : app_(app), view_(view) {}

  void Form_Load();
  void List1_Click();
  void List1_DblClick();
  void Command1_Click(int index);  // 0 "ＯＫ" / "閉じる", 1 "取消し"
  void Command2_Click();           // "削除"
  bool SaveMode() const { return app_.ProfileDialogMode == 1; }

 private:
  AppState& app_;
  ProfileView& view_;
};

}  // namespace kovant::window
