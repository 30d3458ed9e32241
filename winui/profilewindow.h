// The save/delete window KOVANT3 as a Win32 window over its model.
#pragma once

#include "window/appstate.h"
#include "window/profilemodel.h"
#include "window/profileview.h"
#include "winui/modal.h"

namespace kovant::winui {

class ProfileWindow : public ModalWindow, public window::ProfileView {
 public:
  enum : int { kList1 = 300, kLabel1, kText1, kCommand2, kCommand1_0, kCommand1_1 };

  ProfileWindow(window::AppState& app, HWND owner);

  void ShowMode(bool save) override;
  void ClearNames() override;
  void AddName(const std::string& name) override;
  int NameIndex() const override;
  void SetNameIndex(int index) override;
  std::string NameText(int index) const override;
  void RemoveName(int index) override;
  std::string TypedName() const override { return TextOf(kText1); }
  void SetTypedName(const std::string& text) override { SetTextOf(kText1, text); }
  void SetDeleteEnabled(bool enabled) override { EnableWindow(Ctl(kCommand2), enabled); }
  void Warn(const std::string& text) override { ShowWarning(text); }
  void Close(bool) override { End(); }

 protected:
  void Build() override;
  void Load() override;
  void OnCommand(int id, int code) override;
  void OnCancel() override { model_.Command1_Click(1); }
  int DefaultButton() const override { return kCommand1_0; }

 private:
  window::ProfileModel model_;
};

}  // namespace kovant::winui
