// KOVANT2: the settings window.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <array>
#include <map>
#include <string_view>
#include <vector>

#include "settings/settings.h"
#include "ui/appstate.h"
#include "ui/controls.h"
#include "window/settingsmodel.h"
#include "window/settingsview.h"

namespace kovant::ui {

class Kovant2 : public QDialog, public window::SettingsView {
  Q_OBJECT
 public:
  Kovant2(AppState& app, QWidget* parent = nullptr);

  void Command1_Click(int index) { model_.Command1_Click(index); }  // 0 "設定保存", 1 "取り消し", 2 "設定削除"
  void Check1_Click() { model_.Check1_Click(); }

  using Pair = std::array<QRadioButton*, 2>;
  using Five = std::array<QRadioButton*, 5>;
  QLabel* Label1 = nullptr;
  std::array<QGroupBox*, 6> Frame1{};
  std::array<Five, 6> Sep{};  // Sep1..Sep6, options (0)..(4)
  std::array<QLineEdit*, 6> Text1{};
  std::array<QGroupBox*, 4> Frame2{};
  Pair Opt1{}, Opt2{}, Opt3{}, Opt4{};
  QCheckBox* Check1 = nullptr;
  QCheckBox* Check2 = nullptr;
  QCheckBox* Check3 = nullptr;
  QLabel* Label5 = nullptr;
  QLineEdit* Text3 = nullptr;
  QLabel* Label6 = nullptr;
  QLabel* Label2 = nullptr;
  std::array<QLabel*, 5> Label3{};
  std::array<QLineEdit*, 5> Text2{};
  QLabel* Label4 = nullptr;
  std::array<QPushButton*, 3> Command1{};
  QLabel* Label7 = nullptr;         // the dictionary's data date
  QPushButton* Command2 = nullptr;  // "辞書を更新"
  void Command2_Click() { model_.Command2_Click(); }

  // The title-bar close box (and Escape) count as cancelling, so that closing
  // never saves settings under an old or empty profile name.
  void reject() override { model_.Form_Cancel(); }

  // The view the model talks to.
  void SetTitle(const std::string& title) override { setWindowTitle(QString::fromStdString(title)); }
  void ShowNumber(const settings::SettingKey& key, int16_t value) override;
  int16_t NumberShown(const settings::SettingKey& key) const override;
  void ShowText(const settings::SettingKey& key, const std::string& text) override;
  std::string TextShown(const settings::SettingKey& key) const override;
  void SetCaptionEnabled(bool enabled) override { Text3->setEnabled(enabled); }
  void SetDataDate(const std::string& text) override { Label7->setText(QString::fromStdString(text)); }
  void OpenProfileWindow() override;
  void OpenUpdateWindow() override;
  void Warn(const std::string& text) override;
  void Close(bool accepted) override { done(accepted ? QDialog::Accepted : QDialog::Rejected); }

 protected:
  bool eventFilter(QObject* obj, QEvent* event) override;

 private:
  void BuildSeparatorFrames(LayoutBuilder& make);
  void BuildOptionFrames(LayoutBuilder& make);
  void BuildPasteControls(LayoutBuilder& make);
  QCheckBox* BuildCheck(LayoutBuilder& make, const char* name);
  void BuildCopyOrder(LayoutBuilder& make);
  void BuildCommands(LayoutBuilder& make);
  void BindControlsToKeys();

  // The controls that show one key of the settings table: the options of
  // a number's codes (option i for code i), the check box of a switch, or
  // the text box of a text or digits key.
  struct KeyControls {
    const settings::SettingKey* key = nullptr;
    std::vector<QRadioButton*> options{};
    QCheckBox* check = nullptr;
    QLineEdit* text = nullptr;
  };
  void Bind(std::string_view keyName, KeyControls controls);
  const KeyControls* ControlsOf(const settings::SettingKey& key) const;

  AppState& app_;
  window::SettingsModel model_;
  std::map<QObject*, QCheckBox*> captionOf_;
  std::vector<KeyControls> keyControls_;  // every key but Profile, which the save window sets
};

}  // namespace kovant::ui
