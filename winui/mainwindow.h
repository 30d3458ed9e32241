// The main window KOVANT1 as a Win32 window: standard controls placed as
// the window's twips say, each named as the model knows it, and every key
// seen by the window before the focused control (PreTranslate, called by
// the message loop).
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "window/appstate.h"
#include "window/layout.h"
#include "winui/ids.h"
#include "winui/windowobject.h"
#include "window/mainmodel.h"
#include "window/mainview.h"

struct IAccPropServices;

namespace kovant::winui {

// A control's colours, its place in twips and its font.
struct Colours {
  COLORREF background = CLR_INVALID;  // CLR_INVALID: the system's
  COLORREF text = 0;
};
struct Place {
  int left, top, width, height;
};

class MainWindow : public window::MainView, public WindowObject {
 public:
  explicit MainWindow(window::AppState& app);
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Makes the window and its controls, hidden; false when it cannot be made.
  bool Create(HINSTANCE instance);
  bool Form_Load() { return model_.Form_Load(); }
  void Show();
  HWND Handle() const { return hwnd_; }
  // The window's share of a message before it is dispatched: true when
  // the window consumed it (a key the model handled, a character Text1
  // refuses).
  bool PreTranslate(MSG& msg);
  // The message loop, until the window is closed; the exit code.
  int Run();
  // The copy command answered a link request.
  std::function<void()> onAnswered;

  // The view the model talks to.
  std::string Text(window::Field field) const override;
  void SetText(window::Field field, const std::string& text) override;
  void InsertText(window::Field field, const std::string& text) override;
  void SetFocus(window::Field field) override;
  void SelectAll(window::Field field) override;
  void ShowCode(int index, const std::string& code, const std::string& spoken) override;
  bool CopyEnabled() const override;
  void SetCopyEnabled(bool enabled) override;
  bool OptionChecked(int index) const override;
  void CheckOption(int index) override;
  void ShowWalk(bool walk) override;
  void MarkHeading(int index) override;
  int ListCount(window::List list) const override;
  int ListIndex(window::List list) const override;
  void SetListIndex(window::List list, int index) override;
  void SetTopIndex(window::List list, int index) override;
  std::string ItemText(window::List list, int index) const override;
  int32_t ItemData(window::List list, int index) const override;
  void Clear(window::List list) override;
  void AddItem(window::List list, const std::string& text, int32_t itemData,
               const std::string& readingKey = {}) override;
  void AddEntries(window::List list, std::vector<dict::ListEntry> entries) override;
  void AddRows(window::List list, dict::RowList rows) override;
  std::vector<std::string> ReadingKeys(window::List list) const override;
  void SetReadingKeys(window::List list, const std::vector<int>& rows, const std::vector<std::string>& keys) override;
  void FillProfiles(const std::vector<std::string>& names) override;
  int ProfileCount() const override;
  int ProfileIndex() const override;
  std::string ProfileText(int index) const override;
  void SelectProfile(int index) override;
  void OfferCandidates(const std::vector<std::string>& texts) override;
  void Warn(const std::string& text) override;
  void Announce(const std::string& text) override;
  void Beep() override;
  void SetBusy(bool busy) override;
  void SetRefusing(bool refusing) override;
  int PageRows() const override;
  void PlaceOnScreen() override;
  void Minimize() override;
  void ShowNormal() override;
  void Restore() override;
  void BringForward() override { Restore(); }
  void Close() override;
  void OpenSettings() override;
  void LinkAnswered() override;
  void ProcessEvents() override;
  bool StepAside() override;

 private:
  static LRESULT CALLBACK ControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                      DWORD_PTR data);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  LRESULT OnControlMessage(HWND control, UINT message, WPARAM wParam, LPARAM lParam);
  void OnCommand(int id, int code);
  LRESULT OnColour(HDC dc, HWND control);
  void BuildControls();
  void NameForScreenReaders();
  void Layout();
  void FitMessageLine();
  void KeepOnScreen();
  HFONT FontFor(const window::layout::Font& wanted);
  int Px(int twips) const;
  HWND Ctl(int id) const { return GetDlgItem(hwnd_, id); }
  HWND ListOf(window::List list) const;
  int BoxOf(window::Field field) const;
  int LabelOf(window::Field field) const;
  std::string* LinkOf(window::Field field);
  const std::string* LinkOf(window::Field field) const;
  void SetSpoken(HWND control, const std::string& name);
  void SetListIndexRaw(HWND list, int index);
  bool PreviewKey(HWND target, WPARAM vk);
  void PasteIntoText1();
  bool Dispatch(MSG& msg);
  void ShowCandidatesMenu();

  window::AppState& app_;
  window::MainModel model_;
  std::map<int, Place> places_;
  std::map<int, window::layout::Font> fonts_;
  std::map<int, Colours> colours_;
  std::map<std::pair<int, int>, HFONT> fontCache_;  // (spec key, dpi)
  std::map<COLORREF, HBRUSH> brushes_;
  struct Rows {
    std::vector<int32_t> values;
    std::vector<std::string> readings;
  };
  std::array<Rows, 4> rows_;
  std::string cmd_, distName_;
  std::array<std::string, 6> addr_;
  std::vector<std::string> candidates_;
  int busy_ = 0;
  bool refusing_ = false;
  int dpi_ = 96;
  int messageExtra_ = 0;                  // pixels the message line has grown by
  IAccPropServices* accProps_ = nullptr;  // for spoken names
};

}  // namespace kovant::winui
