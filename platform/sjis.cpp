#include "platform/sjis.h"

#include <array>

namespace kovant::platform {
namespace {

// The length of what a bad UTF-8 sequence at the start of s spans: its lead
// byte and the continuation bytes that follow it, as far as they go.
size_t Utf8SequenceLength(std::string_view s) {
  unsigned char c = static_cast<unsigned char>(s[0]);
  size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
  if (n > s.size()) n = s.size();
  for (size_t i = 1; i < n; ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return i;
  }
  return n;
}

// The character of a sound UTF-8 sequence at s[i] and its length; 0 for
// the length when the sequence is no character (overlong, a surrogate,
// beyond U+10FFFF, cut short, a stray byte).
char32_t StrictUtf8At(std::string_view s, size_t i, size_t* length) {
  size_t n = 0;
  const char32_t c = DecodeUtf8At(s, i, &n);
  const bool bad = (c == 0xFFFD && n == 1 && static_cast<unsigned char>(s[i]) >= 0x80) || (n == 2 && c < 0x80) ||
                   (n == 3 && c < 0x800) || (n == 4 && (c < 0x10000 || c > 0x10FFFF)) || (c >= 0xD800 && c <= 0xDFFF);
  *length = bad ? 0 : n;
  return c;
}

}  // namespace

std::string SjisToUtf8(std::string_view sjis) {
  std::string utf8;
  SjisDecoder::Append(utf8, sjis);
  return utf8;
}

std::vector<std::string> SjisToUtf8Batch(const std::vector<std::string_view>& sjis) {
  std::string joined;
  size_t total = 0;
  for (auto s : sjis) total += s.size() + 1;
  joined.reserve(total);
  // Texts are joined with line feeds; a line feed of their own, or a lead
  // byte that would swallow the separator, would shift every later text,
  // so such bytes go in as "?" (they are broken text anyway).
  for (auto s : sjis) {
    // Whole runs of sound text are copied at once; a batch is thousands of
    // names.
    size_t run = 0;
    for (size_t i = 0; i < s.size(); ++i) {
      const auto c = static_cast<unsigned char>(s[i]);
      if (IsSjisLeadByte(c) && i + 1 < s.size() && s[i + 1] != '\n') {
        ++i;
      } else if (IsSjisLeadByte(c) || c == '\n') {
        joined.append(s.substr(run, i - run));
        joined += '?';
        run = i + 1;
      }
    }
    joined.append(s.substr(run));
    joined += '\n';
  }
  std::string utf8 = SjisToUtf8(joined);
  std::vector<std::string> out;
  out.reserve(sjis.size());
  size_t start = 0;
  for (size_t i = 0; i < sjis.size(); ++i) {
    size_t nl = utf8.find('\n', start);
    if (nl == std::string::npos) nl = utf8.size();
    out.emplace_back(utf8, start, nl - start);
    start = nl + 1 > utf8.size() ? utf8.size() : nl + 1;
  }
  return out;
}

// SjisDecoder::kSingles and kPairs.
#include "platform/cp932table.inc"

void SjisDecoder::Append(std::string& utf8, std::string_view sjis) {
  utf8.reserve(utf8.size() + sjis.size() * 3 / 2 + 4);  // two bytes become three
  for (size_t i = 0; i < sjis.size();) {
    const auto c = static_cast<unsigned char>(sjis[i]);
    const std::string_view one = sjis.substr(i, IsSjisLeadByte(c) && i + 1 < sjis.size() ? 2 : 1);
    if (AppendChar(utf8, one)) {
      i += one.size();
    } else {
      // A byte that starts no character: U+FFFD for it alone, and the next
      // byte starts afresh (a bad trail byte may be a character of its own).
      utf8 += "\xEF\xBF\xBD";
      ++i;
    }
  }
}

namespace {

// Shift-JIS of each character of the Basic Multilingual Plane, made from
// the decoder's table: a single byte as itself, a pair as lead << 8 | trail,
// kNone for a character without a form.
constexpr uint16_t kNone = 0xFFFF;

// Where a character has more than one form, the encoder takes the first
// by byte value, but never one of the NEC-selected IBM extensions (lead
// bytes ED and EE) when the IBM extensions (FA to FC) have it too.
bool Preferred(uint16_t candidate, uint16_t held) {
  if (held == kNone) return true;
  const auto necSelected = [](uint16_t form) { return (form >> 8) == 0xED || (form >> 8) == 0xEE; };
  return necSelected(held) && !necSelected(candidate);
}

const std::array<uint16_t, 0x10000>& EncodeTable() {
  static const auto* table = [] {
    auto* t = new std::array<uint16_t, 0x10000>;
    t->fill(kNone);
    auto offer = [&](char32_t c, uint16_t form) {
      if (c != SjisDecoder::kNotOne && Preferred(form, (*t)[c])) (*t)[c] = form;
    };
    for (unsigned b = 0; b < 256; ++b) {
      if (!IsSjisLeadByte(static_cast<unsigned char>(b)))
        offer(SjisDecoder::CharOf(std::string(1, static_cast<char>(b))), static_cast<uint16_t>(b));
    }
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
      if (!IsSjisLeadByte(static_cast<unsigned char>(lead))) continue;
      for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
        const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        offer(SjisDecoder::CharOf(std::string_view(pair, 2)), static_cast<uint16_t>(lead << 8 | trail));
      }
    }
    // Characters that have a form one way only: decoding those bytes gives
    // another character (the yen sign's byte is the backslash's).
    constexpr std::pair<char16_t, uint16_t> kOneWay[] = {{u'\u00A2', 0x8191}, {u'\u00A3', 0x8192}, {u'\u00A5', 0x5C},
                                                         {u'\u00AC', 0x81CA}, {u'\u2014', 0x815C}, {u'\u2016', 0x8161},
                                                         {u'\u203E', 0x7E},   {u'\u2212', 0x817C}, {u'\u301C', 0x8160}};
    for (const auto& [c, form] : kOneWay) (*t)[c] = form;
    return t;
  }();
  return *table;
}

}  // namespace

std::string Utf8ToSjis(std::string_view utf8, bool* lossy) {
  const auto& table = EncodeTable();
  bool lost = false;
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    size_t n = 0;
    const char32_t c = StrictUtf8At(utf8, i, &n);
    const uint16_t form = n > 0 && c < 0x10000 ? table[c] : kNone;
    if (form == kNone) {
      // No character, or none Shift-JIS can write: "?" for the whole of it.
      lost = true;
      out += '?';
      i += n > 0 ? n : Utf8SequenceLength(utf8.substr(i));
      continue;
    }
    if (form > 0xFF) out += static_cast<char>(form >> 8);
    out += static_cast<char>(form & 0xFF);
    i += n;
  }
  if (lossy) *lossy = lost;
  return out;
}

std::string SjisEncoder::Encode(std::string_view utf8, bool* lossy) { return Utf8ToSjis(utf8, lossy); }

std::string_view SjisPrefix(std::string_view sjis, std::size_t maxBytes) {
  size_t i = 0;
  while (i < sjis.size()) {
    size_t n = IsSjisLeadByte(static_cast<unsigned char>(sjis[i])) ? 2 : 1;
    if (i + n > maxBytes || i + n > sjis.size()) break;
    i += n;
  }
  return sjis.substr(0, i);
}

}  // namespace kovant::platform
