// The settings window KOVANT2 as a Win32 window over its model: each key of
// the settings table shown by its options, check box or text box.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "window/appstate.h"
#include "window/settingsmodel.h"
#include "window/settingsview.h"
#include "winui/modal.h"

namespace kovant::winui {

class SettingsWindow : public ModalWindow, public window::SettingsView {
 public:
  // Control identifiers (the tests find the controls by them).
  enum : int {
    kSave = 400,  // Command1(0) "設定保存"
    kCancel,      // Command1(1) "取り消し"
    kDelete,      // Command1(2) "設定削除"
    kUpdate,      // Command2 "辞書を更新"
    kCheck1,
    kCheck2,
    kCheck3,
    kText3,
    kLabel7,
    kStartMode0,  // the pairs: StartMode, CopyMode, MarkSet, NumType
    kCopyMode0 = kStartMode0 + 2,
    kMarkSet0 = kCopyMode0 + 2,
    kNumType0 = kMarkSet0 + 2,
    kSeq1 = kNumType0 + 2,  // Text2(0..4)
    kSep1 = kSeq1 + 5,      // Sep1: five options and its text box, then Sep2 ...
    kStatic = kSep1 + 6 * 6,
  };

  SettingsWindow(window::AppState& app, HWND owner);

  void SetTitle(const std::string& title) override { ModalWindow::SetTitle(title); }
  void ShowNumber(const settings::SettingKey& key, int16_t value) override;
  int16_t NumberShown(const settings::SettingKey& key) const override;
  void ShowText(const settings::SettingKey& key, const std::string& text) override;
  std::string TextShown(const settings::SettingKey& key) const override;
  void SetCaptionEnabled(bool enabled) override { EnableWindow(Ctl(kText3), enabled); }
  void SetDataDate(const std::string& text) override { SetTextOf(kLabel7, text); }
  void OpenProfileWindow() override;
  void OpenUpdateWindow() override;
  void Warn(const std::string& text) override { ShowWarning(text); }
  void Close(bool) override { End(); }

 protected:
  void Build() override;
  void Load() override { model_.Form_Load(); }
  void OnCommand(int id, int code) override;
  void OnCancel() override { model_.Form_Cancel(); }
  int DefaultButton() const override { return kSave; }
  bool PreTranslate(MSG& msg) override;

 private:
  struct KeyControls {
    int firstOption = 0, options = 0;  // option buttons
    int check = 0, text = 0;
  };
  static MadeAs IdOf(std::string_view name);
  void Bind();
  const KeyControls* ControlsOf(const settings::SettingKey& key) const;

  window::AppState& app_;
  window::SettingsModel model_;
  std::map<std::string, KeyControls> keys_;
};

}  // namespace kovant::winui
