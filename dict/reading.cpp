#include "dict/reading.h"

#include <unicode/normalizer2.h>
#include <unicode/translit.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <memory>
#include <mutex>

#include "platform/sjis.h"

namespace kovant::dict {
namespace {

// ICU's transliterators cost milliseconds to make: one of each per thread.
icu::Transliterator* Make(const char* id) {
  UErrorCode status = U_ZERO_ERROR;
  icu::Transliterator* t = icu::Transliterator::createInstance(id, UTRANS_FORWARD, status);
  if (U_FAILURE(status)) {
    delete t;
    return nullptr;
  }
  return t;
}

struct Transliterators {
  std::unique_ptr<icu::Transliterator> latin{Make("Latin-Katakana")}, hiragana{Make("Hiragana-Katakana")};
  const icu::Normalizer2* nfkc = nullptr;
  Transliterators() {
    UErrorCode status = U_ZERO_ERROR;
    nfkc = icu::Normalizer2::getNFKCInstance(status);
    if (U_FAILURE(status)) nfkc = nullptr;
  }
};

Transliterators& Get() {
  thread_local Transliterators t;
  return t;
}

icu::UnicodeString Nfkc(const icu::UnicodeString& s) {
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* nfkc = Get().nfkc;
  if (!nfkc) return s;
  icu::UnicodeString out = nfkc->normalize(s, status);
  return U_FAILURE(status) ? s : out;
}

std::string Utf8(const icu::UnicodeString& s) {
  std::string out;
  s.toUTF8String(out);
  return out;
}

bool IsKanji(UChar32 c) {
  return (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF) || (c >= 0xF900 && c <= 0xFAFF) ||
         (c >= 0x20000 && c <= 0x2FFFF) || c == U'々';
}

// Kunrei and Nihon-shiki spellings as the Hepburn ones ICU reads; long
// vowel marks as plain vowels (the fold below drops long vowels anyway).
std::string AsHepburn(const std::string& latin) {
  static const std::pair<std::string_view, std::string_view> kPairs[] = {
      {"sya", "sha"}, {"syu", "shu"}, {"syo", "sho"}, {"zya", "ja"}, {"zyu", "ju"}, {"zyo", "jo"},
      {"tya", "cha"}, {"tyu", "chu"}, {"tyo", "cho"}, {"dya", "ja"}, {"dyu", "ju"}, {"dyo", "jo"},
      {"si", "shi"},  {"zi", "ji"},   {"ti", "chi"},  {"di", "ji"},  {"tu", "tsu"}, {"du", "zu"},
      {"hu", "fu"},   {"ā", "a"},     {"ī", "i"},     {"ū", "u"},    {"ē", "e"},    {"ō", "o"},
      {"â", "a"},     {"î", "i"},     {"û", "u"},     {"ê", "e"},    {"ô", "o"}};
  std::string out;
  for (size_t i = 0; i < latin.size();) {
    bool done = false;
    for (const auto& [from, to] : kPairs) {
      if (latin.compare(i, from.size(), from) != 0) continue;
      // "shu", "chu", "tsu" hold "hu", "tu" of their own.
      const char before = i > 0 ? latin[i - 1] : ' ';
      if ((from == "hu" && (before == 's' || before == 'c')) || (from == "tu" && before == 's') ||
          (from == "si" && before == 't') || (from == "ti" && before == 'c')) {
        continue;
      }
      out += to;
      i += from.size();
      done = true;
      break;
    }
    if (!done) out += latin[i++];
  }
  return out;
}

// The vowel a katakana ends in, for the long-vowel fold: 'a' 'i' 'u' 'e'
// 'o', or 0.
char VowelOf(char32_t c) {
  static const std::u32string_view kA = U"アカサタナハマヤラワガザダバパャァヵ", kI = U"イキシチニヒミリギジヂビピィ",
                                   kU = U"ウクスツヌフムユルグズヅブプュゥッヴ", kE = U"エケセテネヘメレゲゼデベペェヶ",
                                   kO = U"オコソトノホモヨロヲゴゾドボポョォ";
  if (kA.find(c) != std::u32string_view::npos) return 'a';
  if (kI.find(c) != std::u32string_view::npos) return 'i';
  if (kU.find(c) != std::u32string_view::npos) return 'u';
  if (kE.find(c) != std::u32string_view::npos) return 'e';
  if (kO.find(c) != std::u32string_view::npos) return 'o';
  return 0;
}

// Small kana as large ones (office readings are written without them),
// voicing variants as the common ones.
char32_t FoldKana(char32_t c) {
  static const std::u32string_view kFrom = U"ァィゥェォッャュョヮヵヶヂヅヲヴ",
                                   kTo = U"アイウエオツヤユヨワカケジズオブ";
  const size_t at = kFrom.find(c);
  return at == std::u32string_view::npos ? c : kTo[at];
}

}  // namespace

bool HasKanji(std::string_view utf8) {
  const icu::UnicodeString s =
      icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
  for (int32_t i = 0; i < s.length(); i = s.moveIndex32(i, 1)) {
    if (IsKanji(s.char32At(i))) return true;
  }
  return false;
}

std::string FullWidthKana(std::string_view halfWidth) {
  return Utf8(
      Nfkc(icu::UnicodeString::fromUTF8(icu::StringPiece(halfWidth.data(), static_cast<int32_t>(halfWidth.size())))));
}

std::string ReadingKey(std::string_view typed) {
  if (HasKanji(typed)) return {};
  icu::UnicodeString s =
      Nfkc(icu::UnicodeString::fromUTF8(icu::StringPiece(typed.data(), static_cast<int32_t>(typed.size()))));
  s.toLower();
  Transliterators& t = Get();
  // Macrons and circumflexes first, so that ICU sees the plain vowels.
  s = icu::UnicodeString::fromUTF8(AsHepburn(Utf8(s)));
  if (t.hiragana) t.hiragana->transliterate(s);
  if (t.latin) t.latin->transliterate(s);
  return FoldReading(Utf8(s));
}

std::string FoldReading(std::string_view katakana) {
  std::string folded;
  char previous = 0;  // the vowel the last kept kana ends in
  for (size_t i = 0, n = 0; i < katakana.size(); i += n) {
    char32_t c = platform::DecodeUtf8At(katakana, i, &n);
    if (c == U'ー') continue;
    c = FoldKana(c);
    const char vowel = VowelOf(c);
    if (vowel == 0 && c != U'ン') continue;  // no kana: latin left over, blanks, signs
    // A long vowel: "オオ", "オウ", "ウウ", "アア", "イイ", "エエ" as one.
    const bool isLong = (c == U'ウ' && (previous == 'o' || previous == 'u')) || (c == U'オ' && previous == 'o') ||
                        (c == U'ア' && previous == 'a') || (c == U'イ' && previous == 'i') ||
                        (c == U'エ' && previous == 'e');
    if (isLong) continue;
    // Every kana is in U+30A0..U+30FF: three bytes of UTF-8.
    folded += static_cast<char>(0xE0 | (c >> 12));
    folded += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    folded += static_cast<char>(0x80 | (c & 0x3F));
    previous = c == U'ン' ? 0 : vowel;
  }
  return folded;
}

int FirstReadingMatch(const std::vector<std::string>& keys, std::string_view typed) {
  const std::string key = ReadingKey(typed);
  if (key.empty()) return -1;
  for (size_t i = 0; i < keys.size(); ++i) {
    for (size_t start = 0; start <= keys[i].size();) {
      const size_t end = std::min(keys[i].find(kKeySeparator, start), keys[i].size());
      if (keys[i].compare(start, key.size(), key) == 0 && end - start >= key.size()) return static_cast<int>(i);
      start = end + 1;
    }
  }
  return -1;
}

namespace {

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

int KanjiDigit(char32_t c) {
  static const std::u32string_view kDigits = U"〇一二三四五六七八九";
  const size_t at = kDigits.find(c);
  return at == std::u32string_view::npos ? -1 : static_cast<int>(at);
}

// A run of kanji numerals as its value: "十一" 11, "二十" 20, "三" 3; a
// run without 十 digit by digit ("二三" 23).
std::string KanjiNumber(std::u32string_view run) {
  if (run.find(U'十') == std::u32string_view::npos) {
    std::string digits;
    for (char32_t c : run) digits += static_cast<char>('0' + KanjiDigit(c));
    return digits;
  }
  int value = 0, pending = 0;
  for (char32_t c : run) {
    if (c == U'十') {
      value += (pending == 0 ? 1 : pending) * 10;
      pending = 0;
    } else {
      pending = pending * 10 + KanjiDigit(c);
    }
  }
  return std::to_string(value + pending);
}

}  // namespace

std::string FoldName(std::string_view utf8) {
  static const std::u32string_view kVariants =
      U"﨑崎髙高邊辺邉辺澤沢嶋島濱浜廣広德徳槇槙冨富檜桧舘館籠篭瀨瀬曾曽條条龍竜";
  std::u32string in;
  for (size_t i = 0, n = 0; i < utf8.size(); i += n) in += platform::DecodeUtf8At(utf8, i, &n);
  std::string out;
  out.reserve(utf8.size());
  auto isDigit = [](char32_t c) { return (c >= U'0' && c <= U'9') || (c >= U'０' && c <= U'９'); };
  for (size_t i = 0; i < in.size(); ++i) {
    char32_t c = in[i];
    if (c == U' ' || c == U'　' || c == U'\t') continue;
    if (c >= 0xFF01 && c <= 0xFF5E) c -= 0xFEE0;  // full-width ASCII
    if (c >= U'a' && c <= U'z') c -= 0x20;
    const bool betweenKanji = i > 0 && i + 1 < in.size() && IsKanji(static_cast<UChar32>(in[i - 1])) &&
                              IsKanji(static_cast<UChar32>(in[i + 1]));
    const bool betweenDigits = i > 0 && i + 1 < in.size() && isDigit(in[i - 1]) && isDigit(in[i + 1]);
    if (KanjiDigit(c) >= 0 || c == U'十') {
      size_t end = i;
      while (end < in.size() && (KanjiDigit(in[end]) >= 0 || in[end] == U'十')) ++end;
      out += KanjiNumber(std::u32string_view(in).substr(i, end - i));
      i = end - 1;
      continue;
    }
    if (c == U'ヶ' || c == U'ヵ' || (betweenKanji && (c == U'ケ' || c == U'が' || c == U'ガ'))) {
      c = U'ケ';
    } else if (betweenKanji && (c == U'の' || c == U'之')) {
      c = U'ノ';
    } else if (c == U'‐' || c == U'−' || c == U'–' || c == U'—' || (betweenDigits && c == U'ー')) {
      c = U'-';
    } else if (c == U'〜') {
      c = U'~';
    } else {
      for (size_t v = 0; v + 1 < kVariants.size(); v += 2) {
        if (kVariants[v] == c) c = kVariants[v + 1];
      }
    }
    AppendUtf8(out, c);
  }
  return out;
}

}  // namespace kovant::dict
