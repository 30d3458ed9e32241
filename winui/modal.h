// What the modal windows (settings, save/delete) share: controls placed in
// twips at the window's dpi, their colours, and a loop of their own while
// the owner is disabled.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "window/layout.h"
#include "winui/controls.h"
#include "winui/mainwindow.h"
#include "winui/windowobject.h"

namespace kovant::winui {

class ModalWindow : public WindowObject {
 public:
  // The window as its layout table has it.
  ModalWindow(HWND owner, const window::layout::Window& table);
  ~ModalWindow() override;
  ModalWindow(const ModalWindow&) = delete;
  ModalWindow& operator=(const ModalWindow&) = delete;

  // Shows the window and returns once it is closed.
  void RunModal();
  HWND Handle() const { return hwnd_; }

 protected:
  // Makes the table's controls; idOf gives those the window addresses
  // their identifiers, the rest get ones from firstFree.
  void MakeControls(const std::function<MadeAs(std::string_view)>& idOf, int firstFree);
  void Move(int id, const window::layout::Rect& twips);
  HWND Ctl(int id) const { return GetDlgItem(hwnd_, id); }
  std::string TextOf(int id) const;
  void SetTextOf(int id, const std::string& text);
  void SetTitle(const std::string& title);
  void ShowWarning(const std::string& text);
  void End() { done_ = true; }

  virtual void Build() = 0;
  virtual void Load() = 0;
  virtual void OnCommand(int id, int code) = 0;
  // The close box and Escape.
  virtual void OnCancel() = 0;
  virtual int DefaultButton() const = 0;
  // A message before it is dispatched; true when consumed.
  virtual bool PreTranslate(MSG&) { return false; }
  // A message of the window's own (WM_APP and above).
  virtual void OnAppMessage(UINT, WPARAM, LPARAM) {}

 private:
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  int Px(int twips) const { return winui::Px(twips, dpi_); }

  HWND owner_;
  const window::layout::Window& table_;
  int dpi_ = 96;
  bool done_ = false;
  std::map<int, HFONT> fonts_;  // by the table font's key
  std::map<int, Colours> colours_;
  std::map<COLORREF, HBRUSH> brushes_;
};

}  // namespace kovant::winui
