// The main window KOVANT1: both modes, the walk and the search bound to the
// dictionary, the copy button rule and the window-wide key handler.
#pragma once

#include <optional>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "copy/delivery.h"
#include "dict/address.h"
#include "dict/current.h"
#include "dict/reader.h"
#include "dict/walk.h"
#include "platform/files.h"
#include "ui/appstate.h"
#include "ui/controls.h"

namespace kovant::ui {

class Kovant1 : public QWidget {
  Q_OBJECT
 public:
  explicit Kovant1(AppState& app, QWidget* parent = nullptr);

  // Places the window, checks the dictionary and reads the prefectures.
  // False when the program must end (the read-error message was shown).
  bool Form_Load();

  // The window-wide key handler; true when it consumed the key.
  bool Form_KeyDown(int key, Qt::KeyboardModifiers modifiers);

  void ApplyMode();
  void Command1_Click();  // search
  void Command2_Click();  // direction switch
  void Command3_Click();  // "終了"
  void Command4_Click();  // "コピー"
  void Command5_Click();  // "設定"
  void List1_Click();
  void LoadCities();
  void LoadTowns();
  void ShowTownResult();
  void MarkCurrentList();
  void Combo1_GotFocus();
  void RefreshProfileCombo();
  void Combo1_Click();
  void Cmd_Change();
  // Restored and brought to the front; token is the activation token a
  // Wayland compositor wants from a program that raises itself (empty
  // where there is none).
  void BringForward(const QString& activationToken = {});
  // The text the copy command composes from the result on show.
  std::string CopyText() const;
  const dict::CurrentResult& Current() const { return current_; }
  int VisibleRows() const { return visibleRows_; }
  bool AddressMode() const { return addressMode_; }
  ListBox* CurrentList() const { return currentList_; }
  int LoadedProfileIndex() const { return loadedProfileIndex_; }
  const std::string& DictionaryPath() const { return dictionaryPath_; }

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

  bool WindowShown = false;

 signals:
  // The copy command answered a link request.
  void Answered();

 protected:
  bool eventFilter(QObject* obj, QEvent* event) override;
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();
  void BuildResultRows();
  void BuildLists();
  void BuildCommandRows();
  void NameForScreenReaders();
  void ConnectControls();
  void Text3_Change();
  void Text4_Change();
  void AfterMove();
  void Warn(const QString& text);
  void ReadFailed(const dict::Error& error);
  void SetBusy(bool busy);
  void ShowAddress();
  void ShowCodes(const std::string& oldCode, const std::string& newCode);
  void ConfirmDelivery(copy::Delivered outcome);
  void EnterKey(ListBox* list);
  void ResolveTypedAddress();
  void OfferCandidates(const std::vector<dict::CodeMatch>& candidates);
  void SelectMatch(const dict::CodeMatch& match);
  // A walk step's start: message line, codes and address emptied, the
  // supplement too unless InputClear keeps it.
  void ClearShownResult();
  bool ReloadIfChanged();
  void PasteIntoText1();
  void ShowDataDate(bool updated);
  void FillTowns(bool withOffices);
  void AddTownReadings();
  void FillProfiles();
  void SelectActiveProfile();
  void Answer();
  bool StepAside();

  AppState& app_;
  std::string dictionaryPath_;
  dict::PrefectureTable prefectures_;
  std::vector<dict::CityTableEntry> cityTable_;
  // What the lists were made from, to make them again from a replaced file.
  std::optional<platform::FileStamp> dictionaryStamp_;
  std::string dataDate_;
  std::string lastCode_;
  dict::CityTableEntry townsCity_{};
  bool townsWithOffices_ = false;
  // List4's readings are read when the head search first needs them: for
  // a city centre with its offices they were most of the town step.
  bool townReadingsWanted_ = false;
  dict::CurrentResult current_;
  bool addressMode_ = true;
  ListBox* currentList_ = nullptr;
  int visibleRows_ = 0;
  int loadedProfileIndex_ = 0;
  copy::Delivery delivery_;
  bool previousWindowNoticeShown_ = false;      // said once while the program runs
  QString deliveredLine_;                       // the message line the last copy wrote
  bool headMatched_ = false;                    // an entry begins with Text4's text
  std::unique_ptr<dict::Gazetteer> gazetteer_;  // made at the first address typed
  std::string gazetteerPath_;
  std::optional<platform::FileStamp> gazetteerStamp_;
};

}  // namespace kovant::ui
