// The main window KOVANT1's logic: both modes, the walk and the search bound
// to the dictionary, the copy button rule and the window-wide key handler.
// Plain C++ over a MainView; the handlers keep the window's names.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "copy/delivery.h"
#include "dict/address.h"
#include "dict/preload.h"
#include "dict/current.h"
#include "dict/reader.h"
#include "dict/walk.h"
#include "platform/files.h"
#include "window/appstate.h"
#include "window/keys.h"
#include "window/mainview.h"

namespace kovant::window {

class MainModel {
 public:
  MainModel(AppState& app, MainView& view);
  ~MainModel();
  MainModel(const MainModel&) = delete;
  MainModel& operator=(const MainModel&) = delete;

  // Places the window, checks the dictionary and reads the prefectures.
  // False when the program must end (the read-error message was shown).
  bool Form_Load();

  // The window-wide key handler.
  Handled Form_KeyDown(Key key, Modifiers modifiers);
  // A key the window sees before the focused control, after a focused
  // button took Enter: Enter presses the default button "コピー" while it
  // is enabled, and reaches Form_KeyDown only when it is not.
  Handled KeyPreview(Key key, Modifiers modifiers);
  // A character typed into Text1: digits only, the rest is discarded.
  static Handled Text1_KeyPress(const std::string& text);
  // What a key typed into Text1 sends: full-width digits (an input method
  // in full-width mode) land as the digits a paste gives, its dashes are
  // dropped as a paste drops them; the rest as Text1_KeyPress.
  Handled TypeIntoText1(const std::string& text);
  // A code pasted into Text1 as people write it ("〒100-0001", full-width
  // digits) lands as the digits the box takes; other text is refused.
  void PasteIntoText1(const std::string& clipboardText);

  void ApplyMode();
  void Command1_Click();  // search
  void Command2_Click();  // direction switch
  void Command3_Click();  // "終了"
  void Command4_Click();  // "コピー"
  void Command5_Click();  // "設定"
  void List1_Click();
  void List2_MouseDown();
  void List3_MouseDown();
  void List4_MouseDown();
  void List4_DblClick();
  void LoadCities();
  void LoadTowns();
  void ShowTownResult();
  void MarkCurrentList();
  void Combo1_GotFocus();
  void RefreshProfileCombo();
  void Combo1_Click();
  void Cmd_Change();
  void Text1_Change();
  void Text3_Change();
  void Text4_Change();
  void Form_Activate() { WindowShown = true; }
  // One of the addresses OfferCandidates showed, by its index.
  void SelectCandidate(size_t index);

  // The text the copy command composes from the result on show.
  std::string CopyText() const;
  const dict::CurrentResult& Current() const { return current_; }
  int VisibleRows() const { return visibleRows_; }
  bool AddressMode() const { return addressMode_; }
  List CurrentList() const { return currentList_; }
  int LoadedProfileIndex() const { return loadedProfileIndex_; }

  bool WindowShown = false;

 private:
  void Warn(const std::string& text) { view_.Warn(text); }
  // An outcome in the message line, announced to a screen reader too.
  void Say(const std::string& text);
  // The supplement a pick starts from: a town's note left in Text2 by the
  // pick before belongs to that town and goes; what the user typed stays
  // only with InputClear.
  std::string SupplementToKeep() const;
  void DropNoteSupplement();
  void DictionaryUpdated();
  void ReadFailed(const dict::Error& error);
  void ShowAddress();
  void ShowCodes(const std::string& oldCode, const std::string& newCode);
  void ConfirmDelivery(copy::Delivered outcome);
  void SayDelivered(copy::Delivered outcome);
  void EnterKey(List list);
  Handled ArrowKey(Key key);
  void AfterMove();
  void ResolveTypedAddress();
  bool LoadGazetteer();
  void OfferCandidates(const std::vector<dict::CodeMatch>& candidates);
  void SelectMatch(const dict::CodeMatch& match);
  // A walk step's start: message line, codes and address emptied, the
  // supplement too unless InputClear keeps it.
  void ClearShownResult();
  bool ReloadIfChanged();
  void RefillLists();
  void ShowDataDate(bool updated);
  void FillTowns(bool withOffices);
  void AddTownReadings();
  void FillProfiles();
  void SelectActiveProfile();
  void Answer();
  std::string SelectedText(List list) const;
  void Reselect(List list, const std::string& text);
  int FindText(List list, const std::string& text) const;

  AppState& app_;
  MainView& view_;
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
  // List1 refilled by a reload: its selection raises no pick.
  bool refillingList1_ = false;
  dict::CurrentResult current_;
  bool addressMode_ = true;
  List currentList_ = List::List2;
  int visibleRows_ = 0;
  int loadedProfileIndex_ = 0;
  copy::Delivery delivery_;
  bool previousWindowNoticeShown_ = false;   // said once while the program runs
  std::string deliveredLine_;                // the message line the last copy wrote
  std::string noteSupplement_;               // Text2 as a town's note filled it, "" when typed
  bool headMatched_ = false;                 // an entry begins with Text4's text
  std::vector<dict::CodeMatch> candidates_;  // offered by the last address typed
  // The names of the country, loading from the moment the window opens so
  // that the first address typed waits for little or nothing.
  dict::GazetteerPreload preload_;
  std::shared_ptr<const dict::Gazetteer> gazetteer_;
  std::string gazetteerPath_;
  std::optional<platform::FileStamp> gazetteerStamp_;
};

}  // namespace kovant::window
