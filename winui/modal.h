// What the modal windows (settings, save/delete) share: controls placed in
// twips at the window's dpi, their colours, and a loop of their own while
// the owner is disabled.
#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "winui/mainwindow.h"

namespace kovant::winui {

class ModalWindow {
 public:
  ModalWindow(HWND owner, const wchar_t* className, int widthTwips, int heightTwips);
  virtual ~ModalWindow();
  ModalWindow(const ModalWindow&) = delete;
  ModalWindow& operator=(const ModalWindow&) = delete;

  // Shows the window and returns once it is closed.
  void RunModal();
  HWND Handle() const { return hwnd_; }

 protected:
  HWND Make(int id, const wchar_t* cls, const char* caption, DWORD style, Place twips, Colours colours = {});
  void Move(int id, Place twips);
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
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  int Px(int twips) const { return MulDiv(twips, dpi_, 1440); }

  HWND owner_;
  HWND hwnd_ = nullptr;
  int widthTwips_, heightTwips_;
  int dpi_ = 96;
  bool done_ = false;
  HFONT font_ = nullptr;
  std::map<int, Place> places_;
  std::map<int, Colours> colours_;
  std::map<COLORREF, HBRUSH> brushes_;
};

}  // namespace kovant::winui
