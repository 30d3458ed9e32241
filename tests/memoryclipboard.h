// A clipboard that keeps the text in memory and counts the times it was set.
#pragma once

#include <string>

#include "platform/clipboard.h"

namespace kovant::test {

class MemoryClipboard : public platform::Clipboard {
 public:
  void SetText(const std::string& utf8) override {
    text_ = utf8;
    ++sets_;
  }
  std::string Text() const override { return text_; }
  bool SetsWhileUnfocused() const override { return setsWhileUnfocused; }
  int Sets() const { return sets_; }

  bool setsWhileUnfocused = true;

 private:
  std::string text_;
  int sets_ = 0;
};

}  // namespace kovant::test
