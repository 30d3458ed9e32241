#include "window/settingsmodel.h"

#include <array>

#include "dict/census.h"
#include "dict/reader.h"
#include "settings/settings.h"

namespace kovant::window {
namespace {

// Every key but Profile, which the save window sets.
bool Shown(const settings::SettingKey& key) { return std::string_view(key.name) != "Profile"; }

}  // namespace

void SettingsModel::ShowDataDate() {
  auto file = dict::DicFile::Open(dict::DictionaryPathIn(app_.ProgramFolder));
  auto header = file ? (*file)->ReadHeader() : dict::Result<dict::DicHeader>(dict::Error{""});
  view_.SetDataDate("辞書データ：" + (header ? header->DataDate : std::string("（なし）")));
}

void SettingsModel::Form_Load() {
  ShowDataDate();
  settings::Settings& s = app_.Settings;
  const std::string profile = settings::ActiveProfileName(s.Profile);
  view_.SetTitle("ぴこらん環境設定　－　" + (profile.empty() ? std::string("新規設定") : profile));
  for (const settings::SettingKey& key : settings::SettingsTable()) {
    if (!Shown(key)) continue;
    if (key.kind == settings::SettingKey::Number) {
      view_.ShowNumber(key, key.number(s));
    } else {
      view_.ShowText(key, key.text(s));
    }
  }
  Check1_Click();
}

void SettingsModel::Check1_Click() {
  const settings::SettingKey* paste = settings::FindSettingKey("CopyAppl");
  view_.SetCaptionEnabled(paste && view_.NumberShown(*paste) == settings::kSwitchOn);
}

// The controls back into the record. Texts lose their half-width blanks
// only: one ideographic space is a separator of its own; the copy order is
// kept as typed.
void SettingsModel::StoreControls() {
  settings::Settings& s = app_.Settings;
  for (const settings::SettingKey& key : settings::SettingsTable()) {
    if (!Shown(key)) continue;
    switch (key.kind) {
      case settings::SettingKey::Number: key.number(s) = view_.NumberShown(key); break;
      case settings::SettingKey::Digits: key.text(s) = view_.TextShown(key); break;
      case settings::SettingKey::Text: key.text(s) = settings::TrimAtNul(view_.TextShown(key)); break;
    }
  }
}

void SettingsModel::Command2_Click() {
  view_.OpenUpdateWindow();
  ShowDataDate();
}

void SettingsModel::Command1_Click(int index) {
  if (index == 1) {
    app_.SettingsCancelled = true;
    view_.Close(false);
    return;
  }
  if (index == 2) {
    app_.ProfileDialogMode = 2;
    view_.OpenProfileWindow();
    return;
  }
  Save();
}

// "設定保存": the copy order checked, a name asked for, the record written
// under it. A profile file that cannot be written is said; the settings
// still hold for this session.
void SettingsModel::Save() {
  std::array<std::string, 5> order;
  for (size_t i = 0; i < order.size(); ++i) {
    const settings::SettingKey* key = settings::FindSettingKey("Seq" + std::to_string(i + 1));
    if (key) order[i] = view_.TextShown(*key);
  }
  if (const std::string problem = settings::CopyOrderProblem(order); !problem.empty()) {
    view_.Warn(problem);
    return;
  }
  app_.ProfileDialogMode = 1;
  view_.OpenProfileWindow();
  if (app_.SettingsCancelled) return;
  StoreControls();
  const std::string problem = settings::SaveSettingsProblem(app_.Settings, app_.SettingsFolder, app_.Settings.Profile);
  if (!problem.empty()) view_.Warn(problem);
  app_.SettingsCancelled = false;
  view_.Close(true);
}

Handled SettingsModel::Text2_KeyPress(const std::string& text) {
  if (text.empty() || static_cast<unsigned char>(text[0]) < 0x20 || text[0] == 0x7F) return Handled::Passed;
  const bool digit = text.size() == 1 && text[0] >= '0' && text[0] <= '0' + settings::kLastCopyPosition;
  return digit ? Handled::Passed : Handled::Consumed;
}

}  // namespace kovant::window
