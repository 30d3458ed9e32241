// The main window KOVANT1 in Qt: its controls and their events, handed to
// the window's logic (window/mainmodel.h), which it shows.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "dict/current.h"
#include "ui/appstate.h"
#include "ui/controls.h"
#include "window/mainmodel.h"
#include "window/mainview.h"

namespace kovant::ui {

class Kovant1 : public QWidget, public window::MainView {
  Q_OBJECT
 public:
  explicit Kovant1(AppState& app, QWidget* parent = nullptr);

  // Places the window, checks the dictionary and reads the prefectures.
  // False when the program must end (the read-error message was shown).
  bool Form_Load() { return model_.Form_Load(); }

  // The window-wide key handler; true when it consumed the key.
  bool Form_KeyDown(int key, Qt::KeyboardModifiers modifiers);

  void ApplyMode() { model_.ApplyMode(); }
  void Command1_Click() { model_.Command1_Click(); }  // search
  void Command2_Click() { model_.Command2_Click(); }  // direction switch
  void Command3_Click() { model_.Command3_Click(); }  // "終了"
  void Command4_Click() { model_.Command4_Click(); }  // "コピー"
  void Command5_Click() { model_.Command5_Click(); }  // "設定"
  void List1_Click() { model_.List1_Click(); }
  void LoadCities() { model_.LoadCities(); }
  void LoadTowns() { model_.LoadTowns(); }
  void ShowTownResult() { model_.ShowTownResult(); }
  void MarkCurrentList() { model_.MarkCurrentList(); }
  void Combo1_GotFocus() { model_.Combo1_GotFocus(); }
  void RefreshProfileCombo() { model_.RefreshProfileCombo(); }
  void Combo1_Click() { model_.Combo1_Click(); }
  void Cmd_Change() { model_.Cmd_Change(); }
  // Restored and brought to the front; token is the activation token a
  // Wayland compositor wants from a program that raises itself (empty
  // where there is none).
  void BringForward(const QString& activationToken);
  // The text the copy command composes from the result on show.
  std::string CopyText() const { return model_.CopyText(); }
  const dict::CurrentResult& Current() const { return model_.Current(); }
  int VisibleRows() const { return model_.VisibleRows(); }
  bool AddressMode() const { return model_.AddressMode(); }
  ListBox* CurrentList() const { return ListOf(model_.CurrentList()); }
  int LoadedProfileIndex() const { return model_.LoadedProfileIndex(); }

  // Controls, named as the handlers address them.
  std::array<QLabel*, 6> Label4{};
  std::array<QLabel*, 2> Label3{};
  std::array<QRadioButton*, 2> Option1{};
  QPushButton* Command4 = nullptr;
  QLineEdit* Text3 = nullptr;
  QLineEdit* Text2 = nullptr;
  std::array<QLabel*, 3> Label2{};
  ListBox* List1 = nullptr;
  ListBox* List2 = nullptr;
  ListBox* List3 = nullptr;
  ListBox* List4 = nullptr;
  std::array<QLabel*, 2> Label1{};
  QComboBox* Combo1 = nullptr;
  QPushButton* Command2 = nullptr;
  QLineEdit* Text1 = nullptr;
  QPushButton* Command1 = nullptr;
  QLineEdit* Text4 = nullptr;
  QPushButton* Command5 = nullptr;
  QPushButton* Command3 = nullptr;
  LinkBox* Cmd = nullptr;
  LinkBox* DistName = nullptr;
  std::array<LinkBox*, 6> Addr{};

 private:
  AppState& app_;
  window::MainModel model_;

 public:
  bool& WindowShown = model_.WindowShown;

  // The view the model talks to.
  std::string Text(window::Field field) const override;
  void SetText(window::Field field, const std::string& text) override;
  void InsertText(window::Field field, const std::string& text) override;
  void SetFocus(window::Field field) override;
  void SelectAll(window::Field field) override;
  void ShowCode(int index, const std::string& code, const std::string& spoken) override;
  bool CopyEnabled() const override { return Command4->isEnabled(); }
  void SetCopyEnabled(bool enabled) override { Command4->setEnabled(enabled); }
  bool OptionChecked(int index) const override { return Option1[static_cast<size_t>(index)]->isChecked(); }
  void CheckOption(int index) override { Option1[static_cast<size_t>(index)]->setChecked(true); }
  void ShowWalk(bool walk) override;
  void MarkHeading(int index) override;
  int ListCount(window::List list) const override { return ListOf(list)->ListCount(); }
  int ListIndex(window::List list) const override { return ListOf(list)->ListIndex(); }
  void SetListIndex(window::List list, int index) override { ListOf(list)->SetListIndex(index); }
  void SetTopIndex(window::List list, int index) override { ListOf(list)->SetTopIndex(index); }
  std::string ItemText(window::List list, int index) const override;
  int32_t ItemData(window::List list, int index) const override { return ListOf(list)->ItemData(index); }
  void Clear(window::List list) override { ListOf(list)->clear(); }
  void AddItem(window::List list, const std::string& text, int32_t itemData,
               const std::string& readingKey = {}) override;
  void AddEntries(window::List list, std::vector<dict::ListEntry> entries) override;
  void AddRows(window::List list, dict::RowList rows) override;
  std::vector<std::string> ReadingKeys(window::List list) const override { return ListOf(list)->ReadingKeys(); }
  void SetReadingKeys(window::List list, const std::vector<int>& rows, const std::vector<std::string>& keys) override;
  void FillProfiles(const std::vector<std::string>& names) override { FillCombo(Combo1, names); }
  int ProfileCount() const override { return Combo1->count(); }
  int ProfileIndex() const override { return Combo1->currentIndex(); }
  std::string ProfileText(int index) const override { return Combo1->itemText(index).toStdString(); }
  void SelectProfile(int index) override { Combo1->setCurrentIndex(index); }
  void OfferCandidates(const std::vector<std::string>& texts) override;
  void Warn(const std::string& text) override;
  void Announce(const std::string& text) override;
  void Beep() override;
  void SetBusy(bool busy) override;
  void SetRefusing(bool refusing) override;
  int PageRows() const override;
  void PlaceOnScreen() override;
  void Minimize() override { showMinimized(); }
  void ShowNormal() override { showNormal(); }
  void Restore() override;
  void BringForward() override { BringForward(QString()); }
  void Close() override { close(); }
  void OpenSettings() override;
  void LinkAnswered() override { emit Answered(); }
  void ProcessEvents() override;
  bool StepAside() override;

 signals:
  // The copy command answered a link request.
  void Answered();

 protected:
  bool eventFilter(QObject* obj, QEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void BuildControls();
  void ConnectControls();
  bool PreviewKey(QObject* obj, QKeyEvent* key);
  void PasteIntoText1();
  // The message line as tall as its text needs; the window grows by the
  // lines it takes beyond one, the rows below it moving down.
  void FitMessageLine();
  void KeepOnScreen();
  int messageExtra_ = 0;
  ListBox* ListOf(window::List list) const;
  QLineEdit* BoxOf(window::Field field) const;
};

}  // namespace kovant::ui
