// KOVANT3: the save/delete window of the saved settings (profiles).
#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <array>

#include "ui/appstate.h"
#include "ui/controls.h"

namespace kovant::ui {

class Kovant3 : public QDialog {
  Q_OBJECT
 public:
  // Builds the window for app.ProfileDialogMode (1 save, 2 delete).
  Kovant3(AppState& app, QWidget* parent = nullptr);

  void List1_Click();
  void List1_DblClick();
  void Command1_Click(int index);  // 0 "ＯＫ" / "閉じる", 1 "取消し"
  void Command2_Click();           // "削除"

  ListBox* List1 = nullptr;
  QLabel* Label1 = nullptr;
  QLineEdit* Text1 = nullptr;
  QPushButton* Command2 = nullptr;
  std::array<QPushButton*, 2> Command1{};

  // The title-bar close box (and Escape) count as cancelling, so that closing
  // never saves settings under an old or empty profile name.
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Form_Load();
  bool SaveMode() const { return app_.ProfileDialogMode == 1; }
  void Warn(const QString& text);

  AppState& app_;
};

}  // namespace kovant::ui
