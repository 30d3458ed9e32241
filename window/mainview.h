// What the main window's logic needs of a view: its controls by name, as
// texts, selections, rows and flags. The view keeps the widgets and calls
// the model's handlers; the model tells it what to show through this.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dict/listorder.h"
#include "dict/rowlist.h"

namespace kovant::window {

// The lists: List1 the search result, List2..List4 prefecture, city, town.
enum class List { List1, List2, List3, List4 };

// Texts of the window. Text1..Text4: code, supplement, address, head
// search; Label1_0 the message line; Label2_0..2 the list headings;
// Command2 the direction switch's caption; Cmd, DistName and Addr0..Addr5
// the link's exchange fields.
enum class Field {
  Text1,
  Text2,
  Text3,
  Text4,
  Label1_0,
  Label2_0,
  Label2_1,
  Label2_2,
  Command2,
  Cmd,
  DistName,
  Addr0,
  Addr1,
  Addr2,
  Addr3,
  Addr4,
  Addr5
};

class MainView {
 public:
  virtual ~MainView() = default;

  virtual std::string Text(Field field) const = 0;
  // Setting Text1, Text3 or Text4 raises its change handler, as typing does.
  virtual void SetText(Field field, const std::string& text) = 0;
  virtual void InsertText(Field field, const std::string& text) = 0;  // at the cursor
  virtual void SetFocus(Field field) = 0;
  virtual void SelectAll(Field field) = 0;
  // Label3(0) and Label3(1): a code, and what a screen reader says of it.
  virtual void ShowCode(int index, const std::string& code, const std::string& spoken) = 0;

  virtual bool CopyEnabled() const = 0;  // "コピー" (Command4)
  virtual void SetCopyEnabled(bool enabled) = 0;
  virtual bool OptionChecked(int index) const = 0;  // Option1(0) "旧〒", Option1(1) "新〒"
  virtual void CheckOption(int index) = 0;
  // The walk's lists and head search, or the search's list and code box.
  virtual void ShowWalk(bool walk) = 0;
  // The heading of the list the keys act on (0..2) drawn in red.
  virtual void MarkHeading(int index) = 0;

  virtual int ListCount(List list) const = 0;
  virtual int ListIndex(List list) const = 0;
  // Setting List1's selection raises its click handler.
  virtual void SetListIndex(List list, int index) = 0;
  virtual void SetTopIndex(List list, int index) = 0;
  virtual std::string ItemText(List list, int index) const = 0;
  virtual int32_t ItemData(List list, int index) const = 0;
  virtual void Clear(List list) = 0;
  virtual void AddItem(List list, const std::string& text, int32_t itemData, const std::string& readingKey = {}) = 0;
  virtual void AddEntries(List list, std::vector<dict::ListEntry> entries) = 0;
  virtual void AddRows(List list, dict::RowList rows) = 0;
  virtual std::vector<std::string> ReadingKeys(List list) const = 0;
  virtual void SetReadingKeys(List list, const std::vector<int>& rows, const std::vector<std::string>& keys) = 0;

  // The profile box Combo1; selecting an entry raises its click handler.
  virtual void FillProfiles(const std::vector<std::string>& names) = 0;
  virtual int ProfileCount() const = 0;
  virtual int ProfileIndex() const = 0;
  virtual std::string ProfileText(int index) const = 0;
  virtual void SelectProfile(int index) = 0;

  // Addresses to choose from; the view calls SelectCandidate with the one chosen.
  virtual void OfferCandidates(const std::vector<std::string>& texts) = 0;
  virtual void Warn(const std::string& text) = 0;  // a message box
  // The message line's text is an outcome (an address not found, a copy
  // done): said to a screen reader now, not only when it reads the line.
  // A view without one may leave it.
  virtual void Announce(const std::string& text) { (void)text; }
  virtual void Beep() = 0;
  virtual void SetBusy(bool busy) = 0;          // the wait pointer
  virtual void SetRefusing(bool refusing) = 0;  // the pointer while a copy runs
  virtual int PageRows() const = 0;             // List1's rows per page
  virtual void PlaceOnScreen() = 0;
  virtual void Minimize() = 0;
  virtual void ShowNormal() = 0;
  virtual void Restore() = 0;  // restored, brought to the front and activated
  // Restore, and where the desktop keeps the focus from a program that
  // asks for it itself, its layer brings the window up instead.
  virtual void BringForward() = 0;
  virtual void Close() = 0;
  // The settings window, modal; returns when it closed.
  virtual void OpenSettings() = 0;
  // The copy command answered a link request.
  virtual void LinkAnswered() = 0;
  // Lets the window system run briefly (a delivery's pause).
  virtual void ProcessEvents() = 0;
  // Puts the window aside so that the focus goes back to the window used
  // before; true once it lost the focus.
  virtual bool StepAside() = 0;
};

}  // namespace kovant::window
