#include "copy/delivery.h"

namespace kovant::copy {

std::string UpperCaption(std::string_view utf8) {
  std::string out(utf8);
  for (size_t i = 0; i < out.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(out[i]);
    if (c >= 'a' && c <= 'z') {
      out[i] = static_cast<char>(c - 'a' + 'A');
    } else if (c == 0xEF && i + 2 < out.size() && static_cast<unsigned char>(out[i + 1]) == 0xBD) {
      // U+FF41..U+FF5A (ａ..ｚ) are EF BD 81..9A; their capitals U+FF21..U+FF3A are EF BC A1..BA.
      unsigned char t = static_cast<unsigned char>(out[i + 2]);
      if (t >= 0x81 && t <= 0x9A) {
        out[i + 1] = static_cast<char>(0xBC);
        out[i + 2] = static_cast<char>(t - 0x81 + 0xA1);
      }
      i += 2;
    }
  }
  return out;
}

platform::WindowId FindWindowByCaption(platform::Desktop& desktop, std::string_view fragment,
                                       std::string& foundWindowTitle) {
  const std::string wanted = UpperCaption(fragment);
  for (const platform::TopWindow& w : desktop.TopLevelWindows()) {
    if (w.caption.empty()) continue;
    foundWindowTitle = UpperCaption(w.caption);
    if (foundWindowTitle.find(wanted) != std::string::npos) return w.id;
  }
  return 0;
}

std::vector<PasteStep> PasteSteps(std::string_view text) {
  std::vector<PasteStep> steps;
  std::string chunk;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool crlf = text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n';
    if (text[i] == '\t' || crlf) {
      steps.push_back({PasteStep::Paste, chunk});
      chunk.clear();
      steps.push_back({crlf ? PasteStep::Enter : PasteStep::Tab, {}});
      if (crlf) ++i;
    } else {
      chunk += text[i];
    }
  }
  if (!chunk.empty()) steps.push_back({PasteStep::Paste, chunk});
  return steps;
}

}  // namespace kovant::copy
