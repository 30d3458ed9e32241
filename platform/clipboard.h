// The clipboard, behind an interface so that the copy logic runs in tests
// without a display.
#pragma once

#include <memory>
#include <string>

namespace kovant::platform {

class Clipboard {
 public:
  virtual ~Clipboard() = default;
  // Clears and sets plain text, on the PRIMARY selection as well where the
  // desktop has one.
  virtual void SetText(const std::string& utf8) = 0;
  virtual std::string Text() const = 0;
  // False where a Wayland compositor takes a new text only from the program
  // that has the focus, so that it cannot change while another window is
  // being pasted into.
  virtual bool SetsWhileUnfocused() const { return true; }
  // Called as the program ends: where the text we set would go with us,
  // something that outlives us takes it over (a clipboard manager, or a
  // keeper process of our own). Returns at once.
  virtual void KeepAfterExit() {}
};

// The system clipboard through Qt (needs a QGuiApplication).
std::unique_ptr<Clipboard> MakeSystemClipboard();

}  // namespace kovant::platform
