#include "dict/fold.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/icu.h"
#include "platform/sjis.h"

namespace kovant::dict {
namespace {

// ICU, through its C interface, loaded when a reading is first needed
// (platform/icu.h).
class Icu {
 public:
  static const Icu& Get() {
    static const Icu icu;
    return icu;
  }
  bool Loaded() const { return f_ != nullptr; }

  std::u16string FromUtf8(std::string_view utf8) const {
    std::u16string out(utf8.size() + 1, u'\0');
    platform::IcuStatus status = 0;
    int32_t length = 0;
    f_->fromUtf8(out.data(), static_cast<int32_t>(out.size()), &length, utf8.data(), static_cast<int32_t>(utf8.size()),
                 &status);
    out.resize(!platform::IcuFailed(status) ? static_cast<size_t>(length) : 0);
    return out;
  }
  std::string ToUtf8(const std::u16string& text) const {
    std::string out(text.size() * 3 + 1, '\0');
    platform::IcuStatus status = 0;
    int32_t length = 0;
    f_->toUtf8(out.data(), static_cast<int32_t>(out.size()), &length, text.data(), static_cast<int32_t>(text.size()),
               &status);
    out.resize(!platform::IcuFailed(status) ? static_cast<size_t>(length) : 0);
    return out;
  }
  std::u16string Nfkc(const std::u16string& text) const {
    platform::IcuStatus status = 0;
    const platform::IcuNormalizer* nfkc = f_->nfkcInstance(&status);
    if (platform::IcuFailed(status)) return text;
    std::u16string out(text.size() * 4 + 16, u'\0');  // NFKC grows a text by far less
    const int32_t length = f_->normalize(nfkc, text.data(), static_cast<int32_t>(text.size()), out.data(),
                                         static_cast<int32_t>(out.size()), &status);
    if (platform::IcuFailed(status)) return text;
    out.resize(static_cast<size_t>(length));
    return out;
  }
  std::u16string Lower(const std::u16string& text) const {
    std::u16string out(text.size() * 2 + 16, u'\0');
    platform::IcuStatus status = 0;
    const int32_t length = f_->toLower(out.data(), static_cast<int32_t>(out.size()), text.data(),
                                       static_cast<int32_t>(text.size()), "", &status);
    if (platform::IcuFailed(status)) return text;
    out.resize(static_cast<size_t>(length));
    return out;
  }
  // One transliterator of each kind per thread: making one costs
  // milliseconds, and one is not to be used by two threads at once.
  std::u16string Transliterate(const char* id, const std::u16string& text) const {
    struct Owned {
      decltype(platform::IcuFunctions::closeTransliterator) close;
      platform::IcuTransliterator* t = nullptr;
      ~Owned() {
        if (t) close(t);
      }
    };
    thread_local std::vector<std::pair<std::string, std::unique_ptr<Owned>>> made;
    auto it = std::find_if(made.begin(), made.end(), [&](const auto& m) { return m.first == id; });
    if (it == made.end()) {
      const std::u16string name = FromUtf8(id);
      platform::IcuParseError parse{};
      platform::IcuStatus status = 0;
      auto owned = std::make_unique<Owned>(Owned{f_->closeTransliterator});
      owned->t = f_->openTransliterator(name.data(), static_cast<int32_t>(name.size()), platform::kIcuForward, nullptr,
                                        0, &parse, &status);
      if (platform::IcuFailed(status)) owned->t = nullptr;
      it = made.insert(made.end(), {id, std::move(owned)});
    }
    if (!it->second->t) return text;
    std::u16string buffer = text;
    buffer.resize(text.size() * 2 + 16);  // room for text that grows
    int32_t length = static_cast<int32_t>(text.size()), limit = length;
    platform::IcuStatus status = 0;
    f_->transliterate(it->second->t, buffer.data(), &length, static_cast<int32_t>(buffer.size()), 0, &limit, &status);
    if (platform::IcuFailed(status)) return text;
    buffer.resize(static_cast<size_t>(length));
    return buffer;
  }

 private:
  Icu() : f_(platform::LoadIcu()) {}
  const platform::IcuFunctions* f_;
};

using platform::AppendUtf8;

bool IsKanji(char32_t c) {
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
  for (size_t i = 0, n = 0; i < utf8.size(); i += n) {
    if (IsKanji(platform::DecodeUtf8At(utf8, i, &n))) return true;
  }
  return false;
}

namespace {

// The length of the half-width katakana (U+FF61..U+FF9F) at text[i], or 0.
size_t HalfWidthKanaAt(std::string_view text, size_t i) {
  if (i + 2 >= text.size() || static_cast<unsigned char>(text[i]) != 0xEF) return 0;
  const auto b = static_cast<unsigned char>(text[i + 1]), c = static_cast<unsigned char>(text[i + 2]);
  return (b == 0xBD && c >= 0xA1 && c <= 0xBF) || (b == 0xBE && c >= 0x80 && c <= 0x9F) ? 3 : 0;
}

bool IsSoundMarkAt(std::string_view text, size_t i) {  // ﾞ or ﾟ
  return HalfWidthKanaAt(text, i) != 0 && static_cast<unsigned char>(text[i + 1]) == 0xBE &&
         (static_cast<unsigned char>(text[i + 2]) & 0xFE) == 0x9E;
}

// The kana that base and a sound mark (U+3099 voiced, U+309A semi-voiced)
// compose to, or 0 when they do not.
char32_t Joined(char32_t base, char32_t mark) {
  const bool hRow = base >= 0x30CF && base <= 0x30DB && (base - 0x30CF) % 3 == 0;  // ハヒフヘホ
  if (mark == 0x309A) return hRow ? base + 2 : 0;
  if (hRow) return base + 1;
  // カ..チ at every second code, then ツ, テ, ト one further (after ッ).
  if ((base >= 0x30AB && base <= 0x30C1 && (base - 0x30AB) % 2 == 0) || base == 0x30C4 || base == 0x30C6 ||
      base == 0x30C8)
    return base + 1;
  switch (base) {
    case 0x30A6: return 0x30F4;  // ウ ヴ
    case 0x30EF: return 0x30F7;  // ワ ヷ
    case 0x30F2: return 0x30FA;  // ヲ ヺ
    default: return 0;
  }
}

// NFKC of one half-width piece (a kana or sign, then its sound marks),
// without ICU: the forms of U+FF61..U+FF9F, and the first mark joined to
// the kana that has a voiced or semi-voiced form; a mark that joins
// nothing stays a combining mark, as NFKC leaves it.
void AppendFullWidthPiece(std::string& out, std::string_view piece) {
  static constexpr char16_t kForms[] = {
      0x3002, 0x300C, 0x300D, 0x3001, 0x30FB, 0x30F2, 0x30A1, 0x30A3, 0x30A5, 0x30A7, 0x30A9, 0x30E3, 0x30E5,
      0x30E7, 0x30C3, 0x30FC, 0x30A2, 0x30A4, 0x30A6, 0x30A8, 0x30AA, 0x30AB, 0x30AD, 0x30AF, 0x30B1, 0x30B3,
      0x30B5, 0x30B7, 0x30B9, 0x30BB, 0x30BD, 0x30BF, 0x30C1, 0x30C4, 0x30C6, 0x30C8, 0x30CA, 0x30CB, 0x30CC,
      0x30CD, 0x30CE, 0x30CF, 0x30D2, 0x30D5, 0x30D8, 0x30DB, 0x30DE, 0x30DF, 0x30E0, 0x30E1, 0x30E2, 0x30E4,
      0x30E6, 0x30E8, 0x30E9, 0x30EA, 0x30EB, 0x30EC, 0x30ED, 0x30EF, 0x30F3, 0x3099, 0x309A};
  auto formAt = [&](size_t i) -> char32_t {
    const auto b = static_cast<unsigned char>(piece[i + 1]), c = static_cast<unsigned char>(piece[i + 2]);
    const size_t code = (b == 0xBD ? c - 0xA1u : c - 0x80u + 0x1Fu);  // from U+FF61
    return kForms[code];
  };
  char32_t base = static_cast<unsigned char>(piece[0]) < 0x80 ? static_cast<unsigned char>(piece[0]) : formAt(0);
  size_t i = base < 0x80 ? 1 : 3;
  if (i < piece.size()) {
    if (const char32_t joined = Joined(base, formAt(i))) {
      base = joined;
      i += 3;
    }
  }
  AppendUtf8(out, base);
  for (; i < piece.size(); i += 3) AppendUtf8(out, formAt(i));
}

}  // namespace

std::string FullWidthKanaWithoutIcu(std::string_view halfWidth) {
  std::string out;
  out.reserve(halfWidth.size());
  for (size_t i = 0; i < halfWidth.size();) {
    const auto c = static_cast<unsigned char>(halfWidth[i]);
    const size_t n = c >= 0x20 && c < 0x7F ? 1 : HalfWidthKanaAt(halfWidth, i);
    if (n == 0) return std::string(halfWidth);
    size_t end = i + n;
    while (IsSoundMarkAt(halfWidth, end)) end += 3;
    AppendFullWidthPiece(out, halfWidth.substr(i, end - i));
    i = end;
  }
  return out;
}

std::string FullWidthKana(std::string_view halfWidth) {
  const Icu& icu = Icu::Get();
  // Without ICU (Windows before 10 1903, Wine) Japan Post's readings are
  // converted all the same: the dictionary must not depend on the system
  // that built it.
  if (!icu.Loaded()) return FullWidthKanaWithoutIcu(halfWidth);
  auto nfkc = [&](std::string_view text) { return icu.ToUtf8(icu.Nfkc(icu.FromUtf8(text))); };
  // Japan Post's readings are printable ASCII and half-width katakana:
  // each kana or sign is one starter that nothing before it joins, and the
  // sound marks after it join only it. So the text is the pieces' forms one
  // after another, each piece normalised once: a build has a hundred
  // thousand readings. Anything else goes to ICU whole.
  thread_local std::unordered_map<std::string, std::string> pieces;
  thread_local std::string piece;  // its memory kept from piece to piece
  std::string out;
  out.reserve(halfWidth.size());
  for (size_t i = 0; i < halfWidth.size();) {
    const auto c = static_cast<unsigned char>(halfWidth[i]);
    const size_t n = c >= 0x20 && c < 0x7F ? 1 : HalfWidthKanaAt(halfWidth, i);
    if (n == 0) return nfkc(halfWidth);
    size_t end = i + n;
    while (IsSoundMarkAt(halfWidth, end)) end += 3;
    piece.assign(halfWidth, i, end - i);
    auto it = pieces.find(piece);
    if (it == pieces.end()) it = pieces.emplace(piece, nfkc(piece)).first;
    out += it->second;
    i = end;
  }
  return out;
}

std::string ReadingKey(std::string_view typed) {
  if (HasKanji(typed)) return {};
  const Icu& icu = Icu::Get();
  if (!icu.Loaded()) return FoldReading(typed);  // katakana still match
  const std::string lower = icu.ToUtf8(icu.Lower(icu.Nfkc(icu.FromUtf8(typed))));
  // Macrons, circumflexes and Kunrei spellings first, so that ICU sees the
  // Hepburn it reads.
  std::u16string s = icu.FromUtf8(AsHepburn(lower));
  s = icu.Transliterate("Hiragana-Katakana", s);
  s = icu.Transliterate("Latin-Katakana", s);
  return FoldReading(icu.ToUtf8(s));
}

namespace {

// FoldKana and VowelOf of the katakana block, worked out once: a list's
// keys fold thousands of readings.
struct KanaFold {
  char32_t folded;
  char vowel;
};
constexpr char32_t kKatakanaFirst = 0x30A0, kKatakanaEnd = 0x3100;
const KanaFold* KatakanaFolds() {
  static const auto* table = [] {
    auto* t = new KanaFold[kKatakanaEnd - kKatakanaFirst];
    for (char32_t c = kKatakanaFirst; c < kKatakanaEnd; ++c) {
      const char32_t f = FoldKana(c);
      t[c - kKatakanaFirst] = {f, VowelOf(f)};
    }
    return t;
  }();
  return table;
}

class Folder {
 public:
  void Add(char32_t c) {
    if (c == U'ー') return;
    KanaFold k;
    if (c >= kKatakanaFirst && c < kKatakanaEnd) {
      k = folds_[c - kKatakanaFirst];
    } else {
      k.folded = FoldKana(c);
      k.vowel = VowelOf(k.folded);
    }
    c = k.folded;
    if (k.vowel == 0 && c != U'ン') return;  // no kana: latin left over, blanks, signs
    // A long vowel: "オオ", "オウ", "ウウ", "アア", "イイ", "エエ" as one.
    const bool isLong = (c == U'ウ' && (previous_ == 'o' || previous_ == 'u')) || (c == U'オ' && previous_ == 'o') ||
                        (c == U'ア' && previous_ == 'a') || (c == U'イ' && previous_ == 'i') ||
                        (c == U'エ' && previous_ == 'e');
    if (isLong) return;
    AppendUtf8(folded_, c);
    previous_ = c == U'ン' ? 0 : k.vowel;
  }
  std::string Take() { return std::move(folded_); }

 private:
  const KanaFold* folds_ = KatakanaFolds();
  std::string folded_;
  char previous_ = 0;  // the vowel the last kept kana ends in
};

}  // namespace

std::string FoldReading(std::string_view katakana) {
  Folder folder;
  for (size_t i = 0, n = 0; i < katakana.size(); i += n) folder.Add(platform::DecodeUtf8At(katakana, i, &n));
  return folder.Take();
}

namespace {

// Shift-JIS characters that are surely no katakana, which the fold drops:
// single bytes (ASCII, half-width kana) and the assigned ones of the first
// rows (signs, full-width digits and letters, hiragana). Anything else
// goes the long way, so that the text is cut into characters exactly as
// the conversion cuts it.
size_t DroppedCharWidth(uint8_t lead, uint8_t trail) {
  if (lead < 0x80 || (lead >= 0xA1 && lead <= 0xDF)) return 1;
  if (lead == 0x81 && ((trail >= 0x40 && trail <= 0x7E) || (trail >= 0x80 && trail <= 0xAC))) return 2;
  if (lead == 0x82 && ((trail >= 0x4F && trail <= 0x58) || (trail >= 0x60 && trail <= 0x79) ||
                       (trail >= 0x81 && trail <= 0x9A) || (trail >= 0x9F && trail <= 0xF1))) {
    return 2;
  }
  return 0;
}

}  // namespace

std::string FoldReadingSjis(std::string_view sjis) {
  Folder folder;
  for (size_t i = 0; i < sjis.size();) {
    const auto lead = static_cast<uint8_t>(sjis[i]);
    const auto trail = i + 1 < sjis.size() ? static_cast<uint8_t>(sjis[i + 1]) : 0;
    if (lead == 0x83 && trail >= 0x40 && trail <= 0x96 && trail != 0x7F) {
      // ァ (83 40) to ヶ (83 96) in the order of their code points, 7F left out.
      folder.Add(static_cast<char32_t>(U'ァ' + (trail - 0x40) - (trail > 0x7F ? 1 : 0)));
      i += 2;
    } else if (lead == 0x81 && trail == 0x5B) {
      i += 2;  // ー, which the fold drops
    } else if (const size_t width = DroppedCharWidth(lead, trail); width > 0 && i + width <= sjis.size()) {
      i += width;
    } else {
      return FoldReading(platform::SjisToUtf8(sjis));
    }
  }
  return folder.Take();
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

int KanjiDigit(char32_t c) {
  static const std::u32string_view kDigits = U"〇一二三四五六七八九";
  const size_t at = kDigits.find(c);
  return at == std::u32string_view::npos ? -1 : static_cast<int>(at);
}

// A run of kanji numerals as its value: "十一" 11, "二十" 20, "三" 3; a
// run without 十 digit by digit ("二三" 23). A value beyond any address's
// number (a crafted text) is no number: the run stays as written, folded
// alike on both sides of a comparison.
std::string KanjiNumber(std::u32string_view run) {
  if (run.find(U'十') == std::u32string_view::npos) {
    std::string digits;
    for (char32_t c : run) digits += static_cast<char>('0' + KanjiDigit(c));
    return digits;
  }
  constexpr int64_t kMost = 999999;
  int64_t value = 0, pending = 0;
  for (char32_t c : run) {
    if (c == U'十') {
      value += (pending == 0 ? 1 : pending) * 10;
      pending = 0;
    } else {
      pending = pending * 10 + KanjiDigit(c);
    }
    if (value > kMost || pending > kMost) {
      std::string asWritten;
      for (char32_t k : run) AppendUtf8(asWritten, k);
      return asWritten;
    }
  }
  return std::to_string(value + pending);
}

}  // namespace

std::string FoldName(std::string_view utf8) {
  static const std::u32string_view kVariants =
      U"﨑崎髙高邊辺邉辺澤沢嶋島濱浜廣広德徳槇槙冨富檜桧舘館籠篭瀨瀬曾曽條条龍竜藪薮斎斉齋斉齊斉";
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
    const bool betweenKanji = i > 0 && i + 1 < in.size() && IsKanji(in[i - 1]) && IsKanji(in[i + 1]);
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
    } else if (c == U'‐' || c == U'−' || c == U'–' || c == U'—' || c == U'―' ||
               (betweenDigits && (c == U'ー' || c == U'ｰ'))) {
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
