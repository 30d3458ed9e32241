// Other programs' windows on Windows: every top-level window by its
// caption, brought up with SetForegroundWindow, keys sent with SendInput.
// A paste counts as taken once the target has asked the clipboard for the
// text (WinClipboard renders it on request).
#pragma once

#include <windows.h>

#include "platform/desktop.h"
#include "platform/win/winclipboard.h"

namespace kovant::platform {

// Asks for hwnd to be the foreground window. The system lets only the
// foreground's thread hand the foreground on: when asking alone is
// refused, ours joins that thread's input for a moment and asks again.
// The switch itself is the window manager's and may come later.
void AskForeground(HWND hwnd);

class WinDesktop : public Desktop {
 public:
  explicit WinDesktop(const WinClipboard& clipboard) : clipboard_(clipboard) {}

  bool Available() const override { return true; }
  std::vector<TopWindow> TopLevelWindows() override;
  void Restore(WindowId id) override;
  bool Activate(WindowId id) override;
  bool IsActive(WindowId id) override;
  bool SendKey(Key key) override;
  void WaitForPaste() override;
  bool PasteTaken() const override { return pasteTaken_; }

  // Within this a target must ask for the text, or the paste stops.
  static constexpr unsigned kPasteBoundMs = 5000;

 private:
  const WinClipboard& clipboard_;
  bool pasteTaken_ = true;
  void* activated_ = nullptr;  // the window last brought up: a paste waits no longer once it is gone
};

}  // namespace kovant::platform
