#include "copy/compose.h"

#include <array>

namespace kovant::copy {
namespace {

std::string FullWidth(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c >= '0' && c <= '9') {
      // U+FF10.. in UTF-8: EF BC 90..99
      out += "\xEF\xBC";
      out += static_cast<char>(0x90 + (c - '0'));
    } else if (c == ' ') {
      out += "　";
    } else {
      out += c;
    }
  }
  return out;
}

int Position(const std::string& seq) {
  if (seq.empty() || seq.size() > 3) return 0;
  int v = 0;
  for (char c : seq) {
    if (c < '0' || c > '9') return 0;
    v = v * 10 + (c - '0');
  }
  return v <= settings::kLastCopyPosition ? v : 0;
}

}  // namespace

std::string ComposeCopyText(int codeKind, const dict::CurrentResult& result, const settings::Settings& s) {
  std::string code = (codeKind == settings::kCopyFormerCode ? result.OldCode : result.NewCode) + "     ";
  std::string head = code.substr(0, 3);
  std::string tail = code.size() > 4 ? code.substr(4, 4) : std::string();
  bool tailBlank = tail.find_first_not_of(' ') == std::string::npos;
  if (s.NumType == settings::kFullWidthDigits) {
    head = FullWidth(head);
    tail = FullWidth(tail);
  }
  if (s.MarkSet == settings::kMarkShown) head = "〒" + head;

  std::array<std::string, 6> sep;
  for (size_t n = 0; n < 6; ++n) {
    int kind = s.Sep[n];
    if (kind == settings::kSepOwnText) {
      sep[n] = s.SepText[n];
    } else if (kind >= settings::kSepNone && kind <= settings::kSepBlank) {
      sep[n] = settings::SeparatorTable()[static_cast<size_t>(kind)];
    }
  }
  // An old three-digit code has no tail to separate.
  if (s.Sep[0] == settings::kSepOwnText && tailBlank) sep[0].clear();

  std::array<std::string, settings::kLastCopyPosition + 1> slot;
  slot[static_cast<size_t>(Position(s.Seq[0]))] = head + sep[0] + tail + sep[1];
  slot[static_cast<size_t>(Position(s.Seq[1]))] = result.Address1 + sep[2];
  slot[static_cast<size_t>(Position(s.Seq[2]))] = result.Address2 + sep[3];
  slot[static_cast<size_t>(Position(s.Seq[3]))] = result.Address3 + sep[4];
  slot[static_cast<size_t>(Position(s.Seq[4]))] = result.Supplement + sep[5];
  return slot[1] + slot[2] + slot[3] + slot[4] + slot[5];
}

}  // namespace kovant::copy
