#include "winui/settingswindow.h"

#include <commctrl.h>
#include <imm.h>

#include "platform/windows.h"
#include "winui/profilewindow.h"
#include "winui/updatewindow.h"

namespace kovant::winui {

SettingsWindow::SettingsWindow(window::AppState& app, HWND owner)
    : ModalWindow(owner, window::layout::Settings()), app_(app), model_(app, *this) {}

// The identifiers the window addresses its controls by: the commands, the
// check boxes, the options of each key and the text boxes.
MadeAs SettingsWindow::IdOf(std::string_view name) {
  static const std::map<std::string, MadeAs, std::less<>> kIds = [] {
    std::map<std::string, MadeAs, std::less<>> ids = {
        {"Command1(0)", {kSave, BS_DEFPUSHBUTTON}},
        {"Command1(1)", {kCancel}},
        {"Command1(2)", {kDelete}},
        {"Command2", {kUpdate}},
        {"Check1", {kCheck1}},
        {"Check2", {kCheck2}},
        {"Check3", {kCheck3}},
        {"Text3", {kText3, WS_DISABLED}},
        {"Label7", {kLabel7}},
    };
    const int pairs[4] = {kStartMode0, kCopyMode0, kMarkSet0, kNumType0};
    for (int p = 0; p < 4; ++p) {
      for (int o = 0; o < 2; ++o) ids[window::layout::Indexed("Opt" + std::to_string(p + 1), o)] = {pairs[p] + o};
    }
    for (int i = 0; i < 5; ++i) ids[window::layout::Indexed("Text2", i)] = {kSeq1 + i};
    for (int s = 0; s < 6; ++s) {
      for (int o = 0; o < 5; ++o) ids[window::layout::Indexed("Sep" + std::to_string(s + 1), o)] = {kSep1 + s * 6 + o};
      ids[window::layout::Indexed("Text1", s)] = {kSep1 + s * 6 + 5};
    }
    return ids;
  }();
  const auto found = kIds.find(name);
  return found == kIds.end() ? MadeAs{} : found->second;
}

void SettingsWindow::Build() {
  MakeControls(IdOf, kStatic);
  // The copy-order boxes take one digit each, without the input method.
  for (int i = 0; i < 5; ++i) {
    SendMessageW(Ctl(kSeq1 + i), EM_LIMITTEXT, 1, 0);
    ImmAssociateContextEx(Ctl(kSeq1 + i), nullptr, 0);
  }
  Bind();
}

// Which control shows which key; the table knows how each is stored.
void SettingsWindow::Bind() {
  keys_["StartMode"] = {kStartMode0, 2};
  keys_["CopyMode"] = {kCopyMode0, 2};
  keys_["MarkSet"] = {kMarkSet0, 2};
  keys_["NumType"] = {kNumType0, 2};
  for (int s = 0; s < 6; ++s) {
    const std::string sep = "Sep" + std::to_string(s + 1);
    keys_[sep] = {kSep1 + s * 6, 5};
    keys_[sep + "Text"] = {.text = kSep1 + s * 6 + 5};
  }
  for (int i = 0; i < 5; ++i) keys_["Seq" + std::to_string(i + 1)] = {.text = kSeq1 + i};
  keys_["CopyAppl"] = {.check = kCheck1};
  keys_["AfterCopy"] = {.check = kCheck2};
  keys_["InputClear"] = {.check = kCheck3};
  keys_["FindCaption"] = {.text = kText3};
}

const SettingsWindow::KeyControls* SettingsWindow::ControlsOf(const settings::SettingKey& key) const {
  const auto found = keys_.find(key.name);
  return found == keys_.end() ? nullptr : &found->second;
}

void SettingsWindow::ShowNumber(const settings::SettingKey& key, int16_t value) {
  const KeyControls* c = ControlsOf(key);
  if (!c) return;
  if (c->check) {
    CheckDlgButton(Handle(), c->check, value == settings::kSwitchOn ? BST_CHECKED : BST_UNCHECKED);
    return;
  }
  // A value no option stands for (a hand-edited file) shows the first one.
  const int option = value >= 0 && value < c->options ? value : 0;
  CheckRadioButton(Handle(), c->firstOption, c->firstOption + c->options - 1, c->firstOption + option);
}

int16_t SettingsWindow::NumberShown(const settings::SettingKey& key) const {
  const KeyControls* c = ControlsOf(key);
  if (!c) return 0;
  if (c->check) {
    return IsDlgButtonChecked(Handle(), c->check) == BST_CHECKED ? settings::kSwitchOn : settings::kSwitchOff;
  }
  for (int i = 0; i < c->options; ++i) {
    if (IsDlgButtonChecked(Handle(), c->firstOption + i) == BST_CHECKED) return static_cast<int16_t>(i);
  }
  return 0;
}

void SettingsWindow::ShowText(const settings::SettingKey& key, const std::string& text) {
  if (const KeyControls* c = ControlsOf(key); c && c->text) SetTextOf(c->text, text);
}

std::string SettingsWindow::TextShown(const settings::SettingKey& key) const {
  const KeyControls* c = ControlsOf(key);
  return c && c->text ? TextOf(c->text) : std::string();
}

void SettingsWindow::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return;
  switch (id) {
    case kSave: model_.Command1_Click(0); break;
    case kCancel: model_.Command1_Click(1); break;
    case kDelete: model_.Command1_Click(2); break;
    case kUpdate: model_.Command2_Click(); break;
    case kCheck1: model_.Check1_Click(); break;
    default: break;
  }
}

// Copy-order boxes: the digits 0 to the last position and Backspace only.
bool SettingsWindow::PreTranslate(MSG& msg) {
  if (msg.message != WM_CHAR || msg.wParam < 0x20) return false;
  const int id = GetDlgCtrlID(msg.hwnd);
  if (GetParent(msg.hwnd) != Handle() || id < kSeq1 || id >= kSeq1 + 5) return false;
  const wchar_t typed[2] = {static_cast<wchar_t>(msg.wParam), 0};
  return window::SettingsModel::Text2_KeyPress(platform::Narrow(typed)) == window::Handled::Consumed;
}

void SettingsWindow::OpenProfileWindow() {
  ProfileWindow profiles(app_, Handle());
  profiles.RunModal();
}

void SettingsWindow::OpenUpdateWindow() {
  UpdateWindow update(app_, Handle());
  update.RunModal();
}

}  // namespace kovant::winui
