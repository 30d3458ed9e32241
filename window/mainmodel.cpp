#include "window/mainmodel.h"

#include <algorithm>
#include <cmath>

#include "copy/compose.h"
#include "dict/checkstamp.h"
#include "dict/addressblock.h"
#include "dict/codeinput.h"
#include "dict/fold.h"
#include "dict/freshness.h"
#include "dict/readingsection.h"
#include "dict/search.h"
#include "platform/desktop.h"
#include "settings/settings.h"

namespace kovant::window {
namespace {

// Item data of the entry that lists a city's offices; no record sits at
// position 0.
constexpr int32_t kShowOfficesItem = 0;

// Option1's button for the CopyMode code: "旧〒" first, "新〒" second. Only
// these two codes have a button; a hand-edited value selects "旧〒".
int CopyModeOption(const settings::Settings& s) { return s.CopyMode == settings::kCopyCurrentCode ? 1 : 0; }

int HeadingOf(List list) { return list == List::List3 ? 1 : list == List::List4 ? 2 : 0; }

// Whether a List4 entry is the town a resolved address named; a city's
// code for towns it does not list is its entry " 以下に該当する住所がない場合".
bool NamesTown(const std::string& entry, const std::string& town) {
  if (entry == town) return true;
  return entry.starts_with(" 以下に") && (town.empty() || town == "以下に掲載がない場合");
}

bool HasNote(std::string_view name) { return name.find("（") != std::string_view::npos; }

}  // namespace

MainModel::MainModel(AppState& app, MainView& view)
    : app_(app), view_(view), delivery_(app.desktop, app.clipboard, [this](double seconds) {
        copy::WaitSeconds(seconds, app_.SettingsCancelled, [this] { view_.ProcessEvents(); });
      }) {
  delivery_.SetStepAside([this] { return view_.StepAside(); });
  app_.DictionaryUpdated = [this] { DictionaryUpdated(); };
}

MainModel::~MainModel() { app_.DictionaryUpdated = nullptr; }

void MainModel::Say(const std::string& text) {
  view_.SetText(Field::Label1_0, text);
  view_.Announce(text);
}

std::string MainModel::SupplementToKeep() const {
  const std::string text = view_.Text(Field::Text2);
  if (!noteSupplement_.empty() && text == noteSupplement_) return {};
  return app_.Settings.InputClear == settings::kSwitchOn ? text : std::string();
}

void MainModel::DropNoteSupplement() {
  if (!noteSupplement_.empty() && view_.Text(Field::Text2) == noteSupplement_) view_.SetText(Field::Text2, {});
  noteSupplement_.clear();
}

// New data is in use from now: the notice of old data goes with the old
// file, and the lists are made again from the new one.
void MainModel::DictionaryUpdated() {
  ReloadIfChanged();
  ShowDataDate(true);
}

void MainModel::ReadFailed(const dict::Error& error) { Warn(dict::ReadErrorMessage(dictionaryPath_, error)); }

bool MainModel::Form_Load() {
  view_.PlaceOnScreen();
  dictionaryPath_ = dict::DictionaryPathIn(app_.ProgramFolder);
  currentList_ = List::List2;
  visibleRows_ = view_.PageRows();
  app_.ExternalRequest = false;
  view_.SetText(Field::Cmd, {});
  addressMode_ = app_.Settings.StartMode == settings::kStartFromAddress;
  ApplyMode();
  view_.CheckOption(CopyModeOption(app_.Settings));
  Combo1_GotFocus();
  // The window opens ready for typing: the input box of its mode has the focus.
  view_.SetFocus(addressMode_ ? Field::Text4 : Field::Text1);

  auto loaded = dict::LoadDictionary(dictionaryPath_);
  if (!loaded) {
    ReadFailed(loaded.error());
    return false;
  }
  if (loaded->versionMismatch) {
    Warn(std::string(dict::kVersionMessage));
    return true;
  }
  dictionaryStamp_ = platform::StampOf(dictionaryPath_);
  prefectures_ = std::move(loaded->table);
  dict::AddPrefectureReadings(dictionaryPath_, prefectures_);
  for (const auto& row : prefectures_.rows) view_.AddItem(List::List2, row.Name, row.PrefNo, row.ReadingKey);
  // Which data this is, until the first operation writes the message line.
  dataDate_ = loaded->header.DataDate;
  ShowDataDate(false);
  // Japan Post publishes monthly: data two months behind says so, once,
  // with the way to new data.
  const std::string today = app_.Today.empty() ? dict::LocalToday() : app_.Today;
  // Shorter than the command line's notice: the message line is one line.
  // An update that found the data current notes it: no notice then.
  if (dict::IsStaleData(dataDate_, today) && !dict::ConfirmedRecently(dictionaryPath_, dataDate_, today)) {
    view_.SetText(Field::Label1_0, "辞書（" + dataDate_ + "）が古くなっています。設定→辞書を更新");
  }
  // A dictionary dated in the future was not taken: say which and why.
  if (!app_.PassedOver.empty()) view_.SetText(Field::Label1_0, app_.PassedOver.front());
  preload_.Start(dictionaryPath_);
  return true;
}

void MainModel::ShowDataDate(bool updated) {
  if (dataDate_.empty()) return;
  view_.SetText(Field::Label1_0, "辞書データ：" + dataDate_ + (updated ? "（辞書が更新されました）" : ""));
}

std::string MainModel::SelectedText(List list) const {
  const int i = view_.ListIndex(list);
  return i >= 0 ? view_.ItemText(list, i) : std::string();
}

// Selects the entry with this text again, or nothing when it is gone.
void MainModel::Reselect(List list, const std::string& text) {
  const int index = text.empty() ? -1 : FindText(list, text);
  view_.SetListIndex(list, index);
  if (index >= 0) view_.SetTopIndex(list, index);
}

int MainModel::FindText(List list, const std::string& text) const {
  const int count = view_.ListCount(list);
  for (int i = 0; i < count; ++i) {
    if (view_.ItemText(list, i) == text) return i;
  }
  return -1;
}

// A dictionary replaced since it was loaded (kovant-mkdic --update) makes
// every position the window holds wrong: the prefecture table and the
// lists are made again from the new file, keeping what was selected by its
// text, so the step that asked runs on the new data.
bool MainModel::ReloadIfChanged() {
  // An update from the settings window may have put the newest data in
  // another folder of the search path.
  const std::string wanted = dict::DictionaryPathIn(app_.ProgramFolder);
  const std::string path = wanted != dictionaryPath_ && platform::StampOf(wanted) ? wanted : dictionaryPath_;
  const auto stamp = platform::StampOf(path);
  if (!stamp || (stamp == dictionaryStamp_ && path == dictionaryPath_)) return false;
  auto loaded = dict::LoadDictionary(path);
  // A file that cannot be read is reported by the step that reads it.
  if (!loaded || loaded->versionMismatch) return false;
  dictionaryPath_ = path;
  dictionaryStamp_ = stamp;
  dataDate_ = loaded->header.DataDate;
  prefectures_ = std::move(loaded->table);
  dict::AddPrefectureReadings(dictionaryPath_, prefectures_);
  RefillLists();
  return true;
}

void MainModel::RefillLists() {
  if (view_.ListCount(List::List1) > 0) {
    refillingList1_ = true;
    const std::string selected = SelectedText(List::List1);
    view_.Clear(List::List1);
    view_.AddRows(List::List1, dict::SearchPostalCode(dictionaryPath_, prefectures_, lastCode_).rows);
    Reselect(List::List1, selected);
    refillingList1_ = false;
  }
  const std::string city = SelectedText(List::List3), town = SelectedText(List::List4);
  const bool hadTowns = view_.ListCount(List::List4) > 0;
  view_.Clear(List::List3);
  view_.Clear(List::List4);
  cityTable_.clear();
  const int pref = view_.ListIndex(List::List2);
  if (pref < 0 || city.empty()) return;
  dict::CityListing cities = dict::LoadCities(dictionaryPath_, prefectures_, view_.ItemData(List::List2, pref));
  cityTable_ = std::move(cities.cityTable);
  view_.AddEntries(List::List3, std::move(cities.entries));
  Reselect(List::List3, city);
  const int row = view_.ListIndex(List::List3);
  const int k = row >= 0 ? view_.ItemData(List::List3, row) : 0;
  if (hadTowns && k >= 1 && static_cast<size_t>(k) <= cityTable_.size()) {
    townsCity_ = cityTable_[static_cast<size_t>(k - 1)];
    FillTowns(townsWithOffices_);
    Reselect(List::List4, town);
  }
}

void MainModel::ApplyMode() {
  view_.Clear(List::List1);
  view_.Clear(List::List3);
  view_.Clear(List::List4);
  view_.SetCopyEnabled(false);
  // The walk's lists and head search and the search's list and code box
  // share one place: exactly one group shows.
  view_.ShowWalk(addressMode_);
  if (addressMode_) {
    view_.SetText(Field::Command2, "郵便番号→住所");
    view_.SetText(Field::Label2_0, "住所１");
    view_.SetText(Field::Label2_1, "住所２");
    view_.SetText(Field::Label2_2, "住所３");
    view_.SetText(Field::Text4, {});
    currentList_ = List::List2;
    MarkCurrentList();
    if (view_.ListCount(List::List2) > 0) {
      view_.SetTopIndex(List::List2, 0);
      view_.SetListIndex(List::List2, -1);
    }
    if (WindowShown) view_.SetFocus(Field::Text4);
  } else {
    view_.SetText(Field::Command2, "住所→郵便番号");
    view_.SetText(Field::Label2_0, "該　当　住　所");
    view_.SetText(Field::Text1, {});
    view_.SetText(Field::Label1_0, {});
    currentList_ = List::List1;
    MarkCurrentList();
    if (WindowShown) view_.SetFocus(Field::Text1);
  }
}

void MainModel::Command2_Click() {
  ShowCodes({}, {});
  view_.SetText(Field::Text3, {});
  current_ = {};
  if (app_.Settings.InputClear != settings::kSwitchOn) view_.SetText(Field::Text2, {});
  DropNoteSupplement();
  addressMode_ = !addressMode_;
  ApplyMode();
}

void MainModel::MarkCurrentList() { view_.MarkHeading(HeadingOf(currentList_)); }

void MainModel::Text1_Change() { view_.SetCopyEnabled(false); }

void MainModel::Text3_Change() {
  const List list = addressMode_ ? List::List4 : List::List1;
  view_.SetCopyEnabled(view_.ListIndex(list) >= 0);
}

void MainModel::Text4_Change() {
  const std::string text = view_.Text(Field::Text4);
  if (Trimmed(text).empty()) return;
  int found = -1;
  const int count = view_.ListCount(currentList_);
  for (int i = 0; i < count && found < 0; ++i) {
    if (StartsWithNoCase(view_.ItemText(currentList_, i), text)) found = i;
  }
  // No name begins so: the text may be a reading ("osa", "おお", "ｵｵ").
  if (found < 0 && currentList_ == List::List4) AddTownReadings();
  if (found < 0) found = dict::FirstReadingMatch(view_.ReadingKeys(currentList_), text);
  headMatched_ = found >= 0;
  if (found >= 0) {
    view_.SetListIndex(currentList_, found);
    view_.SetTopIndex(currentList_, found);
  }
  view_.SetCopyEnabled(false);
}

bool MainModel::LoadGazetteer() {
  // Made again for a dictionary replaced since, at this step or before.
  if (gazetteer_ && gazetteerStamp_ == dictionaryStamp_ && gazetteerPath_ == dictionaryPath_) return true;
  if (gazetteer_) preload_.Reset();  // the dictionary was replaced
  view_.SetBusy(true);
  auto loaded = preload_.Get(dictionaryPath_);
  view_.SetBusy(false);
  if (!loaded) {
    ReadFailed(loaded.error());
    return false;
  }
  gazetteer_ = std::move(*loaded);
  gazetteerPath_ = dictionaryPath_;
  gazetteerStamp_ = dictionaryStamp_;
  return true;
}

// The address in 「住所頭出し」 resolved: one code selects its prefecture,
// city and town as a walk would; several are offered to choose from; none
// says why in the message line.
void MainModel::ResolveTypedAddress() {
  ReloadIfChanged();
  if (!LoadGazetteer()) return;
  // A block pasted as it is (a signature: company, 〒, address, TEL) is
  // looked up by its address line, which the box then shows.
  const std::string typed = view_.Text(Field::Text4);
  const std::string address = dict::AddressInBlock(typed);
  if (address != typed) view_.SetText(Field::Text4, address);
  const dict::AddressAnswer answer = gazetteer_->Resolve(address);
  using Status = dict::AddressAnswer::Status;
  if ((answer.status == Status::Single || answer.status == Status::CodeDisagrees) && answer.candidates.size() == 1) {
    SelectMatch(answer.candidates.front());
    // A code written on the line that is not the address's: both are said,
    // the address's shown, so the user sees which one the text was wrong on.
    if (answer.status == Status::CodeDisagrees) Say(answer.note);
  } else if ((answer.status == Status::Several || answer.status == Status::CityNotFound ||
              answer.status == Status::CodeDisagrees) &&
             !answer.candidates.empty()) {
    // A city name no longer in use offers the towns of that name, never one;
    // the note says why there is no answer of its own.
    OfferCandidates(answer.candidates);
    if (answer.status != Status::Several) Say(answer.note);
  } else if (answer.status == Status::CityOnly && !answer.candidates.empty()) {
    // The city's code for towns it does not list, shown as the candidate
    // it is: selected in the walk, with the note saying what it is.
    SelectMatch(answer.candidates.front());
    Say(answer.note);
  } else {
    // None, and whatever else the resolver may tell apart: its note says why.
    Say(answer.note.empty() ? "該当する住所がありません。" : answer.note);
  }
}

void MainModel::OfferCandidates(const std::vector<dict::CodeMatch>& candidates) {
  candidates_ = candidates;
  std::vector<std::string> texts;
  texts.reserve(candidates.size());
  for (const dict::CodeMatch& m : candidates) texts.push_back(m.newCode + "  " + m.pref + m.city + m.town);
  Say("候補が " + std::to_string(candidates.size()) + " 件あります。選んでください。");
  view_.OfferCandidates(texts);
}

void MainModel::SelectCandidate(size_t index) {
  if (index >= candidates_.size()) return;
  const dict::CodeMatch match = candidates_[index];
  SelectMatch(match);
}

// Walks to one town of the resolved address: its prefecture, its city,
// then the entry of the town that shows its code.
void MainModel::SelectMatch(const dict::CodeMatch& match) {
  const int pref = FindText(List::List2, match.pref);
  if (pref < 0) return;
  view_.SetListIndex(List::List2, pref);
  view_.SetTopIndex(List::List2, pref);
  LoadCities();
  const int city = FindText(List::List3, match.city);
  if (city < 0) return;
  view_.SetListIndex(List::List3, city);
  view_.SetTopIndex(List::List3, city);
  LoadTowns();
  if (match.office) FillTowns(true);
  currentList_ = List::List4;
  MarkCurrentList();
  // Several entries may share a name (a town of two codes): the one with
  // the code found; names written otherwise are tried last.
  std::vector<int> order;
  const int count = view_.ListCount(List::List4);
  for (int pass = 0; pass < 2; ++pass) {
    for (int i = 0; i < count; ++i) {
      if (view_.ItemData(List::List4, i) != kShowOfficesItem &&
          NamesTown(view_.ItemText(List::List4, i), match.town) == (pass == 0)) {
        order.push_back(i);
      }
    }
  }
  for (int i : order) {
    view_.SetListIndex(List::List4, i);
    view_.SetTopIndex(List::List4, i);
    ShowTownResult();
    if (current_.NewCode == match.newCode) break;
  }
  view_.SetText(Field::Text4, {});
}

void MainModel::Command1_Click() {
  view_.SetText(Field::Label1_0, {});
  view_.SetCopyEnabled(false);
  const std::string code = view_.Text(Field::Text1);
  const bool reloaded = ReloadIfChanged();
  lastCode_ = code;
  view_.Clear(List::List1);
  view_.SetBusy(true);
  dict::SearchOutcome outcome = dict::SearchPostalCode(dictionaryPath_, prefectures_, code);
  view_.AddRows(List::List1, std::move(outcome.rows));
  view_.SetBusy(false);
  if (!outcome.warning.empty()) {
    Warn(outcome.warning);
    return;
  }
  view_.SetText(Field::Label2_0, outcome.heading);
  if (outcome.readError) ReadFailed(*outcome.readError);
  if (reloaded) ShowDataDate(true);
  view_.SetFocus(Field::Text2);
}

// The codes on show; a screen reader hears each with its caption, as the
// eye reads them side by side ("新〒 100-0001").
void MainModel::ShowCodes(const std::string& oldCode, const std::string& newCode) {
  static const char* const kCaptions[2] = {"旧〒", "新〒"};
  const std::string* codes[2] = {&oldCode, &newCode};
  for (int i = 0; i < 2; ++i) {
    const std::string& code = *codes[i];
    view_.ShowCode(i, code, std::string(kCaptions[i]) + (code.empty() ? "" : " " + code));
  }
}

void MainModel::ShowAddress() {
  ShowCodes(current_.OldCode, current_.NewCode);
  view_.SetText(Field::Text2, current_.Supplement);
  view_.SetText(Field::Text3, current_.Address1 + current_.Address2 + current_.Address3);
  view_.SetFocus(Field::Text2);
  view_.SelectAll(Field::Text2);
  view_.SetText(Field::Label1_0, std::string(dict::kSupplementHint));
}

void MainModel::List1_Click() {
  if (refillingList1_ || view_.ListIndex(List::List1) < 0) return;
  const bool reloaded = ReloadIfChanged();
  const int row = view_.ListIndex(List::List1);
  if (row < 0) {
    ShowDataDate(true);
    return;
  }
  const std::string text = view_.ItemText(List::List1, row);
  auto picked = dict::ShowPickedResult(dictionaryPath_, dict::RowView{text, view_.ItemData(List::List1, row)},
                                       SupplementToKeep());
  if (!picked) {
    ReadFailed(picked.error());
    return;
  }
  current_ = std::move(picked.value());
  noteSupplement_ = HasNote(text) ? current_.Supplement : std::string();
  ShowAddress();
  // The same address picked again leaves Text3 unchanged; the button must
  // still follow the selection.
  Text3_Change();
  if (reloaded) ShowDataDate(true);
}

void MainModel::List2_MouseDown() {
  LoadCities();
  currentList_ = List::List3;
  MarkCurrentList();
}

void MainModel::List3_MouseDown() {
  LoadTowns();
  currentList_ = List::List4;
  MarkCurrentList();
  view_.SetText(Field::Text4, {});
}

void MainModel::List4_MouseDown() { ShowTownResult(); }

void MainModel::List4_DblClick() {
  if (view_.CopyEnabled()) Command4_Click();
}

void MainModel::ClearShownResult() {
  view_.SetText(Field::Label1_0, {});
  ShowCodes({}, {});
  view_.SetText(Field::Text3, {});
  if (app_.Settings.InputClear != settings::kSwitchOn) view_.SetText(Field::Text2, {});
  DropNoteSupplement();
}

void MainModel::LoadCities() {
  const int row = view_.ListIndex(List::List2);
  if (row < 0) return;
  const bool reloaded = ReloadIfChanged();
  view_.Clear(List::List3);
  view_.Clear(List::List4);
  ClearShownResult();
  current_ = {};
  current_.Address1 = view_.ItemText(List::List2, row);
  dict::CityListing cities = dict::LoadCities(dictionaryPath_, prefectures_, view_.ItemData(List::List2, row));
  cityTable_ = std::move(cities.cityTable);
  view_.AddEntries(List::List3, std::move(cities.entries));
  view_.SetText(Field::Label2_1, cities.heading);
  if (cities.readError) ReadFailed(*cities.readError);
  view_.SetText(Field::Text3, current_.Address1);
  view_.SetFocus(Field::Text4);
  currentList_ = List::List3;
  if (reloaded) ShowDataDate(true);
}

void MainModel::LoadTowns() {
  if (view_.ListIndex(List::List3) < 0) return;
  const bool reloaded = ReloadIfChanged();
  const int row = view_.ListIndex(List::List3);
  if (row < 0) {
    ShowDataDate(true);
    return;
  }
  view_.Clear(List::List4);
  ClearShownResult();
  current_.Address2 = view_.ItemText(List::List3, row);
  current_.Address3.clear();
  current_.OldCode.clear();
  current_.NewCode.clear();
  const int k = view_.ItemData(List::List3, row);
  if (k >= 1 && static_cast<size_t>(k) <= cityTable_.size()) {
    townsCity_ = cityTable_[static_cast<size_t>(k - 1)];
    FillTowns(false);
  }
  view_.SetText(Field::Text3, current_.Address1 + current_.Address2);
  view_.SetFocus(Field::Text4);
  currentList_ = List::List4;
  if (reloaded) ShowDataDate(true);
}

// The towns of the chosen city. Its offices (hundreds in a city centre)
// would bury the towns, so they wait behind one last entry that lists them
// when chosen.
void MainModel::FillTowns(bool withOffices) {
  townsWithOffices_ = withOffices;
  dict::TownListing towns = dict::LoadTowns(dictionaryPath_, townsCity_, withOffices, false);
  view_.Clear(List::List4);
  view_.AddEntries(List::List4, std::move(towns.entries));
  townReadingsWanted_ = true;
  if (towns.officesLeftOut > 0) {
    view_.AddItem(List::List4, "［事業所 " + std::to_string(towns.officesLeftOut) + " 件を表示］", kShowOfficesItem);
  }
  view_.SetText(Field::Label2_2, towns.heading);
  if (towns.readError) ReadFailed(*towns.readError);
}

void MainModel::AddTownReadings() {
  if (!townReadingsWanted_) return;
  townReadingsWanted_ = false;
  // Read from the file the list was made from: one replaced since gives
  // none until the next step lists its towns again.
  if (!(platform::StampOf(dictionaryPath_) == dictionaryStamp_)) return;
  std::vector<int> rows;
  std::vector<int64_t> positions;
  const int count = view_.ListCount(List::List4);
  for (int i = 0; i < count; ++i) {
    const int32_t data = view_.ItemData(List::List4, i);
    if (data == kShowOfficesItem) continue;
    rows.push_back(i);
    positions.push_back(data);
  }
  view_.SetReadingKeys(List::List4, rows, dict::TownReadingKeys(dictionaryPath_, positions));
}

void MainModel::ShowTownResult() {
  if (view_.ListIndex(List::List4) < 0) return;
  const bool reloaded = ReloadIfChanged();
  const int row = view_.ListIndex(List::List4);
  if (row < 0) {
    ShowDataDate(true);
    return;
  }
  if (view_.ItemData(List::List4, row) == kShowOfficesItem) {
    // The offices follow the towns, so the first one takes this entry's place.
    FillTowns(true);
    view_.SetListIndex(List::List4, row);
    view_.SetTopIndex(List::List4, row);
    if (view_.ListIndex(List::List4) < 0) return;
  }
  dict::ListEntry entry{view_.ItemText(List::List4, row), std::string(), view_.ItemData(List::List4, row)};
  auto shown = dict::ShowTownResult(dictionaryPath_, current_.Address1, current_.Address2, entry, SupplementToKeep(),
                                    app_.Settings.InputClear == settings::kSwitchOn);
  if (!shown) {
    ReadFailed(shown.error());
    return;
  }
  current_ = std::move(shown.value());
  noteSupplement_ = HasNote(entry.text) ? current_.Supplement : std::string();
  ShowAddress();
  view_.SetCopyEnabled(true);
  if (reloaded) ShowDataDate(true);
}

void MainModel::AfterMove() {
  if (currentList_ == List::List4) ShowTownResult();
  if (currentList_ == List::List1 || currentList_ == List::List4) {
    if (view_.ListIndex(currentList_) >= 0) view_.SetCopyEnabled(true);
  } else {
    view_.SetCopyEnabled(false);
  }
}

void MainModel::EnterKey(List list) {
  if (!addressMode_) {
    Command1_Click();
    return;
  }
  // A text no entry begins with is an address written out (a line pasted
  // from an e-mail): Enter looks it up.
  if (!headMatched_ && !Trimmed(view_.Text(Field::Text4)).empty()) {
    ResolveTypedAddress();
    return;
  }
  view_.SetText(Field::Text4, {});
  if (list == List::List2) {
    currentList_ = List::List3;
    LoadCities();
    MarkCurrentList();
  } else if (list == List::List3) {
    currentList_ = List::List4;
    LoadTowns();
    MarkCurrentList();
  } else if (list == List::List4) {
    ShowTownResult();
    MarkCurrentList();
  }
}

Handled MainModel::ArrowKey(Key key) {
  const List list = currentList_;
  if (!addressMode_) return Handled::Consumed;
  if (key == Key::Right) {
    if (view_.ListIndex(list) >= 0) {
      if (list == List::List2) {
        LoadCities();
      } else if (list == List::List3) {
        LoadTowns();
      } else if (list == List::List4) {
        ShowTownResult();
      }
      MarkCurrentList();
    }
  } else {
    if (list == List::List3) {
      currentList_ = List::List2;
    } else if (list == List::List4) {
      currentList_ = List::List3;
    }
    MarkCurrentList();
    view_.SetCopyEnabled(false);
  }
  view_.SetText(Field::Text4, {});
  return Handled::Consumed;
}

Handled MainModel::Form_KeyDown(Key key, Modifiers modifiers) {
  if (key == Key::F1 && modifiers.ctrl) view_.Restore();
  const List list = currentList_;
  const int index = view_.ListIndex(list), count = view_.ListCount(list);
  switch (key) {
    case Key::Enter: EnterKey(list); return Handled::Consumed;
    case Key::Right:
    case Key::Left: return ArrowKey(key);
    case Key::Up:
      if (index > 0) view_.SetListIndex(list, index - 1);
      AfterMove();
      return Handled::Consumed;
    case Key::Down:
      if (index < count - 1) view_.SetListIndex(list, index + 1);
      AfterMove();
      return Handled::Consumed;
    case Key::PageUp:
      if (count > 0) view_.SetListIndex(list, std::max(index - visibleRows_, 0));
      return Handled::Passed;
    case Key::PageDown:
      if (count > 0) view_.SetListIndex(list, std::min(index + visibleRows_, count - 1));
      return Handled::Passed;
    default: return Handled::Passed;
  }
}

Handled MainModel::KeyPreview(Key key, Modifiers modifiers) {
  if (key == Key::Enter && view_.CopyEnabled()) {
    Command4_Click();
    return Handled::Consumed;
  }
  return Form_KeyDown(key, modifiers);
}

Handled MainModel::Text1_KeyPress(const std::string& text) {
  // Digits only; other printable characters are discarded (control
  // characters, such as Backspace's, pass).
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u != 0x7F && !(c >= '0' && c <= '9')) return Handled::Consumed;
  }
  return Handled::Passed;
}

Handled MainModel::TypeIntoText1(const std::string& text) {
  const bool plain = std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (plain) return Text1_KeyPress(text);
  const std::string code = dict::NormalizeCodeInput(text);
  if (std::all_of(code.begin(), code.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    if (!code.empty()) view_.InsertText(Field::Text1, code);
  }
  return Handled::Consumed;
}

void MainModel::PasteIntoText1(const std::string& clipboardText) {
  const std::string code = dict::NormalizeCodeInput(clipboardText);
  const bool digits =
      !code.empty() && std::all_of(code.begin(), code.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (!digits) {
    view_.Beep();
    return;
  }
  view_.InsertText(Field::Text1, code);
}

std::string MainModel::CopyText() const {
  dict::CurrentResult r = current_;
  r.Supplement = view_.Text(Field::Text2);
  return copy::ComposeCopyText(view_.OptionChecked(0) ? settings::kCopyFormerCode : settings::kCopyCurrentCode, r,
                               app_.Settings);
}

void MainModel::Command4_Click() {
  copy::LinkRequest request;
  request.pending = app_.ExternalRequest;
  const std::string caller = view_.Text(Field::DistName);
  if (!Trimmed(caller).empty()) request.callerCaption = caller;
  const copy::Delivered outcome =
      delivery_.Deliver(CopyText(), request, app_.Settings, app_.FoundWindowTitle, [this, &request] {
        view_.SetRefusing(true);
        if (app_.Settings.AfterCopy == settings::kSwitchOn) view_.Minimize();
        if (request.pending) Answer();
      });
  if (outcome == copy::Delivered::Busy) return;
  view_.SetRefusing(false);
  ConfirmDelivery(outcome);
  SayDelivered(outcome);
  // What the desktop could not keep on the way (the consent to paste).
  if (app_.desktop) {
    if (const std::string notice = app_.desktop->TakeNotice(); !notice.empty()) Warn(notice);
  }
}

// What the copy could not do, said in a message box.
void MainModel::SayDelivered(copy::Delivered outcome) {
  switch (outcome) {
    case copy::Delivered::Answered:
      app_.ExternalRequest = false;
      view_.LinkAnswered();
      break;
    case copy::Delivered::CallerNotFound:
    case copy::Delivered::TargetNotFound: Warn("指定されたキャプションを持つウィンドウが見つかりません。"); break;
    case copy::Delivered::NoDesktop:
      Warn("この環境では他のアプリケーションに貼り付けられないため、クリップボードにのみコピーしました。");
      break;
    case copy::Delivered::Unconfirmed:
      Warn(
          "貼り付け先のウィンドウが応答しないため、貼り付けを途中で止めました。"
          "クリップボードには貼り付け終えていない部分が入っています。");
      break;
    case copy::Delivered::NotAllowed:
      Warn("貼り付けの許可が得られなかったため、クリップボードにのみコピーしました。");
      break;
    case copy::Delivered::StillInFront:
      view_.ShowNormal();
      Warn(
          "ぴこらんの前に使っていたウィンドウに切り替わらなかったため、"
          "クリップボードにのみコピーしました。");
      break;
    case copy::Delivered::PastedIntoPrevious:
    case copy::Delivered::PastedWholeIntoPrevious:
      if (previousWindowNoticeShown_) break;
      previousWindowNoticeShown_ = true;
      Warn(std::string("このデスクトップではウィンドウをキャプションで探せないため、"
                       "ぴこらんの前に使っていたウィンドウに貼り付けました。") +
           (outcome == copy::Delivered::PastedWholeIntoPrevious
                ? "\r\nタブと改行はキーにせず、全体を一度に貼り付けています。"
                : ""));
      break;
    default: break;
  }
}

// What went where, in the message line; a notice of the program's own
// standing there (the data updated, the settings changed) stays.
void MainModel::ConfirmDelivery(copy::Delivered outcome) {
  const std::string shown = view_.Text(Field::Label1_0);
  if (!shown.empty() && shown != dict::kSupplementHint && shown != deliveredLine_) return;
  deliveredLine_ = copy::DeliveredLine(outcome, delivery_.TargetCaption());
  Say(deliveredLine_);
}

void MainModel::Answer() {
  const std::string* parts[5] = {&current_.OldCode, &current_.NewCode, &current_.Address1, &current_.Address2,
                                 &current_.Address3};
  const Field fields[5] = {Field::Addr0, Field::Addr1, Field::Addr2, Field::Addr3, Field::Addr4};
  for (size_t i = 0; i < 5; ++i) view_.SetText(fields[i], *parts[i]);
  view_.SetText(Field::Addr5, view_.Text(Field::Text2));
}

void MainModel::Command5_Click() {
  view_.OpenSettings();
  if (!app_.SettingsCancelled) {
    view_.CheckOption(CopyModeOption(app_.Settings));
    RefreshProfileCombo();
  } else if (app_.ProfileDialogMode == 2) {
    RefreshProfileCombo();
  }
}

// "終了" saves the settings and ends; settings that cannot be written keep
// the window open with the reason, so the user can free the folder, or
// close the window without saving.
void MainModel::Command3_Click() {
  const std::string error = settings::SaveSettingsProblem(app_.Settings, app_.SettingsFolder, settings::kIniFileName);
  if (!error.empty()) {
    Warn(error);
    return;
  }
  view_.Close();
}

void MainModel::Combo1_GotFocus() {
  FillProfiles();
  SelectActiveProfile();
}

void MainModel::RefreshProfileCombo() {
  if (app_.Settings.Profile.empty() || view_.ProfileCount() == 0) return;
  FillProfiles();
  SelectActiveProfile();
}

void MainModel::FillProfiles() {
  auto names = settings::ListProfiles(app_.SettingsFolder);
  dict::SortTexts(names);
  view_.FillProfiles(names);
}

void MainModel::SelectActiveProfile() {
  // A hand-edited value too short to hold ".prm" names no entry.
  const std::string wanted = settings::ActiveProfileName(app_.Settings.Profile);
  if (wanted.empty()) return;
  const int count = view_.ProfileCount();
  for (int i = 0; i < count; ++i) {
    if (view_.ProfileText(i) == wanted) {
      view_.SelectProfile(i);  // raises Combo1_Click
      break;
    }
  }
}

void MainModel::Combo1_Click() {
  const int index = view_.ProfileIndex();
  if (index < 0 || index == loadedProfileIndex_) return;
  settings::LoadSettings(app_.Settings, app_.SettingsFolder, settings::ProfileFileName(view_.ProfileText(index)));
  loadedProfileIndex_ = index;
  view_.CheckOption(CopyModeOption(app_.Settings));
  if (WindowShown) view_.SetText(Field::Label1_0, "設定が変更されました。");
}

void MainModel::Cmd_Change() {
  if (Trimmed(view_.Text(Field::Cmd)).empty()) return;
  view_.BringForward();
  app_.ExternalRequest = true;
  view_.SetText(Field::Cmd, {});
}

}  // namespace kovant::window
