// KOVANT3: the save/delete window of the saved settings (profiles).
#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <array>

#include "ui/appstate.h"
#include "ui/controls.h"
#include "window/profilemodel.h"
#include "window/profileview.h"

namespace kovant::ui {

class Kovant3 : public QDialog, public window::ProfileView {
  Q_OBJECT
 public:
  // Builds the window for app.ProfileDialogMode (1 save, 2 delete).
  Kovant3(AppState& app, QWidget* parent = nullptr);

  void List1_Click() { model_.List1_Click(); }
  void List1_DblClick() { model_.List1_DblClick(); }
  void Command1_Click(int index) { model_.Command1_Click(index); }  // 0 "ＯＫ" / "閉じる", 1 "取消し"
  void Command2_Click() { model_.Command2_Click(); }                // "削除"

  ListBox* List1 = nullptr;
  QLabel* Label1 = nullptr;
  QLineEdit* Text1 = nullptr;
  QPushButton* Command2 = nullptr;
  std::array<QPushButton*, 2> Command1{};

  // The title-bar close box (and Escape) count as cancelling, so that closing
  // never saves settings under an old or empty profile name.
  void reject() override { model_.Command1_Click(1); }

  // The view the model talks to.
  void ShowMode(bool save) override;
  void ClearNames() override { List1->clear(); }
  void AddName(const std::string& name) override { List1->AddItem(QString::fromStdString(name), 0); }
  int NameIndex() const override { return List1->ListIndex(); }
  void SetNameIndex(int index) override { List1->SetListIndex(index); }
  std::string NameText(int index) const override { return List1->ItemText(index).toStdString(); }
  void RemoveName(int index) override { List1->RemoveItem(index); }
  std::string TypedName() const override { return Text1->text().toStdString(); }
  void SetTypedName(const std::string& text) override { Text1->setText(QString::fromStdString(text)); }
  void SetDeleteEnabled(bool enabled) override { Command2->setEnabled(enabled); }
  void Warn(const std::string& text) override;
  void Close(bool accepted) override { done(accepted ? QDialog::Accepted : QDialog::Rejected); }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  AppState& app_;
  window::ProfileModel model_;
};

}  // namespace kovant::ui
