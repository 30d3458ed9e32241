#include "dict/addressblock.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <vector>

namespace kovant::dict {
namespace {

constexpr std::array<std::string_view, 47> kPrefectures = {
    "北海道", "青森県", "岩手県", "宮城県",   "秋田県", "山形県",   "福島県", "茨城県", "栃木県", "群馬県",
    "埼玉県", "千葉県", "東京都", "神奈川県", "新潟県", "富山県",   "石川県", "福井県", "山梨県", "長野県",
    "岐阜県", "静岡県", "愛知県", "三重県",   "滋賀県", "京都府",   "大阪府", "兵庫県", "奈良県", "和歌山県",
    "鳥取県", "島根県", "岡山県", "広島県",   "山口県", "徳島県",   "香川県", "愛媛県", "高知県", "福岡県",
    "佐賀県", "長崎県", "熊本県", "大分県",   "宮崎県", "鹿児島県", "沖縄県"};

constexpr std::string_view kIdeographicSpace = "\u3000";

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

std::string_view Trim(std::string_view s) {
  for (bool again = true; again;) {
    again = false;
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1), again = true;
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1), again = true;
    if (StartsWith(s, kIdeographicSpace)) s.remove_prefix(kIdeographicSpace.size()), again = true;
    if (s.size() >= kIdeographicSpace.size() && s.substr(s.size() - kIdeographicSpace.size()) == kIdeographicSpace) {
      s.remove_suffix(kIdeographicSpace.size());
      again = true;
    }
  }
  return s;
}

// Takes one of these off the front; true when it did.
bool TakeAny(std::string_view& s, std::initializer_list<std::string_view> heads) {
  for (std::string_view h : heads) {
    if (StartsWith(s, h)) {
      s.remove_prefix(h.size());
      return true;
    }
  }
  return false;
}

bool TakeDigitOrDash(std::string_view& s) {
  if (!s.empty() && (std::isdigit(static_cast<unsigned char>(s.front())) || s.front() == '-')) {
    s.remove_prefix(1);
    return true;
  }
  return TakeAny(s, {"０", "１", "２", "３", "４", "５", "６", "７", "８", "９", "－", "ー", "‐", "−"});
}

// "住所：", "〒100-0001 " and the like before the address itself.
std::string_view WithoutLead(std::string_view line) {
  std::string_view s = Trim(line);
  if (TakeAny(s, {"住所", "所在地", "本社", "Address", "ADDRESS"})) {
    s = Trim(s);
    TakeAny(s, {":", "：", "　"});
    s = Trim(s);
  }
  std::string_view code = s;
  const bool mark = TakeAny(code, {"〒", "〶"});
  code = Trim(code);
  const size_t before = code.size();
  while (TakeDigitOrDash(code)) {
  }
  if (mark || (before - code.size() >= 7 && code.size() < before)) s = Trim(code);
  return s;
}

bool HasDigit(std::string_view s) {
  if (std::any_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; })) return true;
  for (std::string_view d : {"０", "１", "２", "３", "４", "５", "６", "７", "８", "９", "丁目", "番地"}) {
    if (s.find(d) != std::string_view::npos) return true;
  }
  return false;
}

bool Contains(std::string_view s, std::string_view part) { return s.find(part) != std::string_view::npos; }

// A line that is no address: phone, mail, web, or a rule of symbols.
bool IsNoise(std::string_view line) {
  if (line.empty() || Contains(line, "@") || Contains(line, "＠") || Contains(line, "://")) return true;
  std::string lower;
  for (char c : line.substr(0, 8)) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (std::string_view h : {"tel", "fax", "mail", "e-mail", "url", "www", "phone", "mobile"}) {
    if (StartsWith(lower, h)) return true;
  }
  for (std::string_view h : {"ＴＥＬ", "ＦＡＸ", "電話", "携帯", "ＵＲＬ", "メール", "Ｅメール"}) {
    if (StartsWith(line, h)) return true;
  }
  // Letters or ideographs somewhere: a rule of "-", "=", "―" has none.
  return std::none_of(line.begin(), line.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return std::isalnum(u) || u >= 0xE3;
  });
}

bool BeginsWithPrefecture(std::string_view s) {
  return std::any_of(kPrefectures.begin(), kPrefectures.end(), [s](std::string_view p) { return StartsWith(s, p); });
}

bool NamesAPlace(std::string_view s) {
  for (std::string_view m : {"市", "区", "町", "村", "郡"}) {
    if (Contains(s, m)) return HasDigit(s);
  }
  return false;
}

std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && text[i] != '\n' && text[i] != '\r') continue;
    lines.push_back(WithoutLead(text.substr(start, i - start)));
    start = i + 1;
  }
  return lines;
}

// The first line that begins with a prefecture, else the first naming a
// place with a number; lines.size() when none does.
size_t AddressLine(const std::vector<std::string_view>& lines) {
  for (bool (*test)(std::string_view) : {BeginsWithPrefecture, NamesAPlace}) {
    for (size_t i = 0; i < lines.size(); ++i) {
      if (!IsNoise(lines[i]) && test(lines[i])) return i;
    }
  }
  return lines.size();
}

std::string JoinedByBlanks(const std::vector<std::string_view>& lines) {
  std::string joined;
  for (std::string_view l : lines) {
    if (l.empty()) continue;
    if (!joined.empty()) joined += ' ';
    joined += l;
  }
  return joined;
}

}  // namespace

std::string AddressInBlock(std::string_view text) {
  if (text.find_first_of("\r\n") == std::string_view::npos) return std::string(text);
  const std::vector<std::string_view> lines = Lines(text);
  const size_t found = AddressLine(lines);
  if (found == lines.size()) return JoinedByBlanks(lines);
  std::string address(lines[found]);
  if (found + 1 < lines.size()) {
    const std::string_view next = lines[found + 1];
    if (!HasDigit(address) && !IsNoise(next) && HasDigit(next) && !BeginsWithPrefecture(next)) address += next;
  }
  return address;
}

}  // namespace kovant::dict
