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
};

// The system clipboard through Qt (needs a QGuiApplication).
std::unique_ptr<Clipboard> MakeSystemClipboard();

// Keeps the text in memory; for tests.
class MemoryClipboard : public Clipboard {
 public:
  void SetText(const std::string& utf8) override {
    text_ = utf8;
    ++sets_;
  }
  std::string Text() const override { return text_; }
  int Sets() const { return sets_; }

 private:
  std::string text_;
  int sets_ = 0;
};

}  // namespace kovant::platform
