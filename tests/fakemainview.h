// A main window without a toolkit: the controls' state in plain members,
// raising the model's change handlers as the Qt view's signals do.
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "window/mainmodel.h"
#include "window/mainview.h"

namespace kovant::test {

class FakeMainView : public window::MainView {
 public:
  struct Row {
    std::string text;
    int32_t data = 0;
    std::string reading;
  };
  struct FakeList {
    std::vector<Row> rows;
    int index = -1;
    int top = 0;
  };

  window::MainModel* model = nullptr;  // set once the model is made
  std::map<window::Field, std::string> texts;
  std::map<window::List, FakeList> lists;
  window::Field focus = window::Field::Cmd;  // none of the boxes
  std::string code[2], spoken[2];
  bool copyEnabled = true;
  int checkedOption = -1;
  bool walkShown = false;
  int heading = -1;
  std::vector<std::string> profiles;
  int profileIndex = -1;
  std::vector<std::string> offered;
  std::vector<std::string> warnings;
  std::vector<std::string> announced;  // said to a screen reader
  int beeps = 0, busy = 0, answered = 0, settingsOpened = 0;
  bool refusing = false, minimized = false, closed = false;
  std::function<void()> onSettings;  // what the settings window does

  const std::string& Shown(window::Field field) { return texts[field]; }
  std::string Selected(window::List list) {
    const FakeList& l = lists[list];
    return l.index >= 0 ? l.rows[static_cast<size_t>(l.index)].text : std::string();
  }

  std::string Text(window::Field field) const override {
    auto it = texts.find(field);
    return it == texts.end() ? std::string() : it->second;
  }
  void SetText(window::Field field, const std::string& text) override {
    std::string& now = texts[field];
    if (now == text) return;
    now = text;
    Changed(field);
  }
  void InsertText(window::Field field, const std::string& text) override { SetText(field, Text(field) + text); }
  void SetFocus(window::Field field) override { focus = field; }
  void SelectAll(window::Field) override {}
  void ShowCode(int index, const std::string& c, const std::string& s) override {
    code[index] = c;
    spoken[index] = s;
  }
  bool CopyEnabled() const override { return copyEnabled; }
  void SetCopyEnabled(bool enabled) override { copyEnabled = enabled; }
  bool OptionChecked(int index) const override { return checkedOption == index; }
  void CheckOption(int index) override { checkedOption = index; }
  void ShowWalk(bool walk) override { walkShown = walk; }
  void MarkHeading(int index) override { heading = index; }
  int ListCount(window::List list) const override { return static_cast<int>(Of(list).rows.size()); }
  int ListIndex(window::List list) const override { return Of(list).index; }
  void SetListIndex(window::List list, int index) override {
    FakeList& l = lists[list];
    if (index >= static_cast<int>(l.rows.size())) index = -1;
    const bool changed = l.index != index;
    l.index = index;
    if (changed && list == window::List::List1 && index >= 0 && model) model->List1_Click();
  }
  void SetTopIndex(window::List list, int index) override { lists[list].top = index; }
  std::string ItemText(window::List list, int index) const override {
    return Of(list).rows.at(static_cast<size_t>(index)).text;
  }
  int32_t ItemData(window::List list, int index) const override {
    return Of(list).rows.at(static_cast<size_t>(index)).data;
  }
  void Clear(window::List list) override { lists[list] = {}; }
  void AddItem(window::List list, const std::string& text, int32_t data, const std::string& reading) override {
    lists[list].rows.push_back({text, data, reading});
  }
  void AddEntries(window::List list, std::vector<dict::ListEntry> entries) override {
    for (auto& e : entries) lists[list].rows.push_back({e.text, e.itemData, e.readingKey});
  }
  void AddRows(window::List list, dict::RowList rows) override {
    for (dict::RowView r : rows) lists[list].rows.push_back({std::string(r.text), r.itemData, {}});
  }
  std::vector<std::string> ReadingKeys(window::List list) const override {
    std::vector<std::string> keys;
    for (const Row& r : Of(list).rows) keys.push_back(r.reading);
    return keys;
  }
  void SetReadingKeys(window::List list, const std::vector<int>& rows, const std::vector<std::string>& keys) override {
    for (size_t i = 0; i < rows.size() && i < keys.size(); ++i) {
      lists[list].rows.at(static_cast<size_t>(rows[i])).reading = keys[i];
    }
  }
  void FillProfiles(const std::vector<std::string>& names) override {
    profiles = names;
    profileIndex = -1;
  }
  int ProfileCount() const override { return static_cast<int>(profiles.size()); }
  int ProfileIndex() const override { return profileIndex; }
  std::string ProfileText(int index) const override { return profiles.at(static_cast<size_t>(index)); }
  void SelectProfile(int index) override {
    if (index == profileIndex) return;
    profileIndex = index;
    if (model) model->Combo1_Click();
  }
  void OfferCandidates(const std::vector<std::string>& texts_) override { offered = texts_; }
  void Warn(const std::string& text) override { warnings.push_back(text); }
  void Announce(const std::string& text) override { announced.push_back(text); }
  void Beep() override { ++beeps; }
  void SetBusy(bool b) override { busy += b ? 1 : -1; }
  void SetRefusing(bool r) override { refusing = r; }
  int PageRows() const override { return 10; }
  void PlaceOnScreen() override {}
  void Minimize() override { minimized = true; }
  void ShowNormal() override { minimized = false; }
  void Restore() override { minimized = false; }
  void BringForward() override { minimized = false; }
  void Close() override { closed = true; }
  void OpenSettings() override {
    ++settingsOpened;
    if (onSettings) onSettings();
  }
  void LinkAnswered() override { ++answered; }
  void ProcessEvents() override {}
  bool StepAside() override { return true; }

 private:
  const FakeList& Of(window::List list) const {
    static const FakeList kEmpty;
    auto it = lists.find(list);
    return it == lists.end() ? kEmpty : it->second;
  }
  void Changed(window::Field field) {
    if (!model) return;
    switch (field) {
      case window::Field::Text1: model->Text1_Change(); break;
      case window::Field::Text3: model->Text3_Change(); break;
      case window::Field::Text4: model->Text4_Change(); break;
      case window::Field::Cmd: model->Cmd_Change(); break;
      default: break;
    }
  }
};

}  // namespace kovant::test
