// The Windows clipboard: text offered as CF_UNICODETEXT and, for programs
// that read only the old format, CF_TEXT in code page 932. The text is
// rendered when a reader asks for it (delayed rendering), which tells the
// paste when its target has taken it.
#pragma once

#include <windows.h>

#include <string>

#include "platform/clipboard.h"

namespace kovant::platform {

class WinClipboard : public Clipboard {
 public:
  WinClipboard();
  ~WinClipboard() override;
  WinClipboard(const WinClipboard&) = delete;
  WinClipboard& operator=(const WinClipboard&) = delete;

  void SetText(const std::string& utf8) override;
  std::string Text() const override;
  // Puts the text itself on the clipboard, so that it outlives us.
  void KeepAfterExit() override;
  // Whether another program has asked for the text set last.
  bool TakenSinceSet() const { return takenSinceSet_; }
  // False when the last SetText could not reach the clipboard (another
  // program kept it open).
  bool LastSetSucceeded() const { return lastSetOk_; }

 private:
  static LRESULT CALLBACK OwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  bool Render(UINT format) const;
  bool Owned() const { return owner_ && GetClipboardOwner() == owner_; }

  HWND owner_ = nullptr;  // a message-only window that renders on request
  std::string text_;
  bool takenSinceSet_ = false;
  bool lastSetOk_ = true;
};

}  // namespace kovant::platform
