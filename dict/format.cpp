#include "dict/format.h"

#include <array>

namespace kovant::dict {
namespace {

// OldCodeTail as at least 4 digits and CodeNumber as at least 9 digits,
// zero-padded, with a sign when negative: the stored digits as they are.
std::string TailDigits(int16_t oldCodeTail) {
  std::string s = std::to_string(oldCodeTail < 0 ? -static_cast<int>(oldCodeTail) : oldCodeTail);
  if (s.size() < 4) s.insert(0, 4 - s.size(), '0');
  if (oldCodeTail < 0) s.insert(0, 1, '-');
  return s;
}

std::string NumberDigits(int32_t codeNumber) {
  int64_t v = codeNumber;
  std::string s = std::to_string(v < 0 ? -v : v);
  if (s.size() < 9) s.insert(0, 9 - s.size(), '0');
  if (v < 0) s.insert(0, 1, '-');
  return s;
}

// The kinds of former code as CodeNumber's first stored digit.
constexpr char kThreeDigitsText = '0' + kFormerThreeDigits, kFiveDigitsText = '0' + kFormerFiveDigits;

bool AllDigits(std::string_view s) {
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

std::optional<TownHead> EncodeCodes(std::string_view former, std::string_view current) {
  if ((former.size() != 3 && former.size() != 5) || current.size() != 7 || !AllDigits(former) || !AllDigits(current)) {
    return std::nullopt;
  }
  TownHead head;
  const int kind = former.size() == 3 ? kFormerThreeDigits : kFormerFiveDigits;
  const int rest = std::stoi(std::string(former.substr(1)));
  head.OldCodeTail = static_cast<int16_t>(kind == kFormerThreeDigits ? rest * 100 : rest);
  head.CodeNumber = kind * 100000000 + (former[0] - '0') * 10000000 + std::stoi(std::string(current));
  return head;
}

namespace {

// Two digits at a time from a table: a batch forms the codes of every
// town it shows, and a division a digit was a tenth of its work.
void PutTwoDigits(char* at, int value) {
  static constexpr std::array<char, 200> kPairs = [] {
    std::array<char, 200> pairs{};
    for (int i = 0; i < 100; ++i) {
      pairs[2 * i] = static_cast<char>('0' + i / 10);
      pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
    return pairs;
  }();
  at[0] = kPairs[2 * value];
  at[1] = kPairs[2 * value + 1];
}

}  // namespace

std::optional<CodeTexts> MakeCodeTexts(const TownHead& town) {
  const auto c = DecodeCodes(town);
  if (!c) return std::nullopt;
  CodeTexts texts;
  const int head = c->current / 10000, rest = c->current % 10000;  // NNN-NNNN
  texts.current[0] = static_cast<char>('0' + head / 100);
  PutTwoDigits(texts.current + 1, head % 100);
  texts.current[3] = '-';
  PutTwoDigits(texts.current + 4, rest / 100);
  PutTwoDigits(texts.current + 6, rest % 100);
  texts.former[0] = static_cast<char>('0' + c->first);
  PutTwoDigits(texts.former + 1, c->tail / 100);
  texts.formerLength = 3;
  if (c->kind != kFormerThreeDigits) {
    texts.former[3] = '-';
    PutTwoDigits(texts.former + 4, c->tail % 100);
    texts.formerLength = 6;
  }
  return texts;
}

std::string FormerCodeText(const TownHead& town) {
  if (auto texts = MakeCodeTexts(town)) return std::string(texts->Former());
  std::string t = TailDigits(town.OldCodeTail), n = NumberDigits(town.CodeNumber);
  std::string code = n.substr(1, 1) + t.substr(0, 2);
  if (n[0] != kThreeDigitsText) code += "-" + t.substr(2, 2);
  return code;
}

std::string CurrentCodeText(const TownHead& town) {
  if (auto texts = MakeCodeTexts(town)) return std::string(texts->Current());
  std::string n = NumberDigits(town.CodeNumber);
  return n.substr(2, 3) + "-" + n.substr(5, 4);
}

bool HoldsCode(const TownHead& town, std::string_view code, int value) {
  auto c = DecodeCodes(town);
  if (!c) return HoldsCodeByText(town, code);
  if (code.size() == 7) return c->current == value;
  if (code.size() == 3) return c->kind == kFormerThreeDigits && c->Former() == value;
  return c->kind == kFormerFiveDigits && c->Former() == value;
}

bool HoldsCodeByText(const TownHead& town, std::string_view code) {
  std::string n = NumberDigits(town.CodeNumber);
  if (code.size() == 7) return n.compare(n.size() - 7, 7, code) == 0;
  std::string t = TailDigits(town.OldCodeTail);
  if (code.size() == 3) return n[0] == kThreeDigitsText && n.substr(1, 1) + t.substr(0, 2) == code;
  return n[0] == kFiveDigitsText && n.substr(1, 1) + t.substr(0, 2) + t.substr(2, 2) == code;
}

}  // namespace kovant::dict
