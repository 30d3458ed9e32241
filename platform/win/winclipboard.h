// The Windows clipboard: text set as CF_UNICODETEXT and, for programs that
// read only the old format, CF_TEXT in code page 932.
#pragma once

#include <string>

#include "platform/clipboard.h"

namespace kovant::platform {

class WinClipboard : public Clipboard {
 public:
  void SetText(const std::string& utf8) override;
  std::string Text() const override;
};

}  // namespace kovant::platform
