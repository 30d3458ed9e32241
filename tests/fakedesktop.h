// A desktop of made-up windows that records what the delivery did.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "platform/clipboard.h"
#include "platform/desktop.h"

namespace kovant::test {

class FakeDesktop : public platform::Desktop {
 public:
  // What happened, in order: "restore 2", "activate 2", "paste <clipboard>", "tab", "enter".
  std::vector<std::string> log;
  std::vector<platform::TopWindow> windows;  // topmost first
  platform::Clipboard* clipboard = nullptr;  // read at each paste
  bool available = true;
  int focusTakenBack = 0;  // how many activations our own window undoes
  bool findsWindows = true;
  int pastesTaken = 1 << 30;   // how many pastes the target takes before one it does not
  int keysBeforeClosing = -1;  // the target (the last window) closes after this many keys

  bool Available() const override { return available; }
  bool FindsWindows() const override { return findsWindows; }
  std::vector<platform::TopWindow> TopLevelWindows() override { return windows; }
  void Restore(platform::WindowId id) override { log.push_back("restore " + std::to_string(id)); }
  bool Activate(platform::WindowId id) override {
    log.push_back("activate " + std::to_string(id));
    return true;
  }
  bool SendKey(platform::Key key) override {
    if (keysBeforeClosing-- == 0) windows.pop_back();
    switch (key) {
      case platform::Key::Paste: log.push_back("paste " + (clipboard ? clipboard->Text() : std::string())); break;
      case platform::Key::Tab: log.push_back("tab"); break;
      case platform::Key::Enter: log.push_back("enter"); break;
      case platform::Key::CtrlF1: log.push_back("ctrl+F1"); break;
      case platform::Key::Down: log.push_back("down"); break;
    }
    return true;
  }
  bool IsActive(platform::WindowId id) override {
    const bool listed = std::any_of(windows.begin(), windows.end(), [id](const auto& w) { return w.id == id; });
    return focusTakenBack-- <= 0 && listed;
  }
  void WaitForPaste() override { --pastesTaken; }
  bool PasteTaken() const override { return pastesTaken >= 0; }
};

}  // namespace kovant::test
