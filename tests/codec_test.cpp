#include <gtest/gtest.h>

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <random>
#include <vector>

#include "dict/codec.h"
#include "dict/fold.h"
#include "dicfixture.h"
#include "platform/sjis.h"

using namespace kovant;
using kovant::test::Sjis;

namespace {

// What the C library's converter makes of Shift-JIS text, each byte it
// cannot take as U+FFFD: what the decoder's table and SjisToUtf8 are held
// to, now that neither asks the converter for sound text.
std::string IconvUtf8(std::string_view sjis) {
  iconv_t cd = iconv_open("UTF-8", "CP932");
  std::string out;
  std::vector<char> buffer(1 << 16);
  char* in = const_cast<char*>(sjis.data());
  size_t inLeft = sjis.size();
  while (inLeft > 0) {
    char* dst = buffer.data();
    size_t outLeft = buffer.size();
    const size_t r = iconv(cd, &in, &inLeft, &dst, &outLeft);
    const int error = errno;
    out.append(buffer.data(), static_cast<size_t>(dst - buffer.data()));
    if (r != static_cast<size_t>(-1)) break;
    if (error == E2BIG) continue;
    out += "\xEF\xBF\xBD";
    ++in;
    --inLeft;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  iconv_close(cd);
  return out;
}

// What the C library's converter makes of UTF-8 text the other way, each
// sequence it cannot take as "?": what Utf8ToSjis is held to.
std::string IconvSjis(std::string_view utf8, bool* lossy) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  std::string out;
  std::vector<char> buffer(1 << 16);
  char* in = const_cast<char*>(utf8.data());
  size_t inLeft = utf8.size();
  *lossy = false;
  while (inLeft > 0) {
    char* dst = buffer.data();
    size_t outLeft = buffer.size();
    const size_t r = iconv(cd, &in, &inLeft, &dst, &outLeft);
    const int error = errno;
    out.append(buffer.data(), static_cast<size_t>(dst - buffer.data()));
    if (r != static_cast<size_t>(-1)) break;
    if (error == E2BIG) continue;
    *lossy = true;
    out += '?';
    // The bad sequence: its lead byte and the continuation bytes after it.
    const auto lead = static_cast<unsigned char>(*in);
    size_t n = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    n = std::min(n, inLeft);
    for (size_t i = 1; i < n; ++i) {
      if ((static_cast<unsigned char>(in[i]) & 0xC0) != 0x80) n = i;
    }
    in += n;
    inLeft -= n;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  iconv_close(cd);
  return out;
}

std::string Expand(const std::string& field, int length) {
  auto r = dict::ExpandText(field, length);
  EXPECT_TRUE(r.ok()) << (r.ok() ? "" : r.error().description);
  return r.ok() ? platform::SjisToUtf8(*r) : std::string();
}

TEST(CodeTable, HoldsTheListedExpansions) {
  const auto& t = dict::CodeTable();
  EXPECT_TRUE(t[0].empty());
  EXPECT_EQ(platform::SjisToUtf8(t[1]), "場");
  EXPECT_EQ(platform::SjisToUtf8(t[5]), "町");
  EXPECT_EQ(platform::SjisToUtf8(t[35]), "目");
  EXPECT_EQ(platform::SjisToUtf8(t[99]), "内");
  EXPECT_EQ(platform::SjisToUtf8(t[119]), "倉");
  // The two katakana are the full-size KE and NO.
  EXPECT_EQ(t[43], "\x83\x50");
  EXPECT_EQ(t[103], "\x83\x6D");
  EXPECT_EQ(platform::SjisToUtf8(t[120]), "西新宿東京オペラシティ（");
  EXPECT_EQ(platform::SjisToUtf8(t[125]), "西新宿新宿");
  EXPECT_EQ(platform::SjisToUtf8(t[127]), "浜松町世界貿易センタービル（");
  // Every expansion is double-byte text.
  for (int c = 1; c < dict::kCodeCount; ++c) {
    ASSERT_FALSE(t[c].empty()) << c;
    ASSERT_EQ(t[c].size() % 2, 0u) << c;
    for (size_t i = 0; i < t[c].size(); i += 2)
      ASSERT_TRUE(platform::IsSjisLeadByte(static_cast<unsigned char>(t[c][i]))) << c;
  }
  dict::BuildCodeTable();  // again: same values
  EXPECT_EQ(platform::SjisToUtf8(dict::CodeTable()[2]), "区");
}

TEST(ExpandText, FollowsTheCountedBytesOnly) {
  EXPECT_EQ(Expand("\x05\x01", 2), "町場");
  EXPECT_EQ(Expand("\x05\x01\x05", 0), "");
  EXPECT_EQ(Expand(Sjis("鹿児島"), 6), "鹿児島");
  EXPECT_EQ(Expand(Sjis("北海道東京都") + "junk", 12), "北海道東京都");
  // What follows the counted bytes belongs to the next record.
  EXPECT_EQ(Expand(Sjis("札幌") + "\x05\x05", 4), "札幌");
  EXPECT_EQ(Expand(std::string("\x78") + Sjis("１階）"), 7), "西新宿東京オペラシティ（１階）");
  // A double-byte character whose lead byte is the last counted byte is whole.
  EXPECT_EQ(Expand(Sjis("本町"), 3), "本町");
  // A zero byte stands for nothing.
  EXPECT_EQ(Expand(std::string("\x05\x00\x06", 3), 3), "町村");
}

TEST(ExpandText, RefusesWhatIsNotCodedText) {
  for (unsigned char bad : {0x80, 0xA0, 0xB1, 0xDF, 0xFD, 0xFF}) {
    std::string field = "\x05";
    field += static_cast<char>(bad);
    EXPECT_FALSE(dict::ExpandText(field, 2).ok()) << int(bad);
  }
  // The length runs past the field.
  EXPECT_FALSE(dict::ExpandText(std::string(10, '\x05'), 11).ok());
  EXPECT_FALSE(dict::ExpandText("", 1).ok());
  // A lead byte that is the field's last byte has no trail byte.
  EXPECT_FALSE(dict::ExpandText("\x05\x93", 2).ok());
  EXPECT_FALSE(dict::ExpandText("\x05", -1).ok());
  // A lead byte before a byte that cannot follow it (a line feed once shifted
  // every later name of a list against its code).
  for (unsigned char trail : {0x0A, 0x20, 0x3F, 0x7F, 0xFD}) {
    std::string field = "\x82";
    field += static_cast<char>(trail);
    EXPECT_FALSE(dict::ExpandText(field, 2).ok()) << int(trail);
  }
  EXPECT_TRUE(dict::ExpandText("\x82\xA0", 2).ok());
  // Whatever the bytes, the batch conversion gives one text per text.
  auto texts = platform::SjisToUtf8Batch({"\x82\n", "\x82", "\x82\xA0", "a\nb"});
  ASSERT_EQ(texts.size(), 4u);
  EXPECT_EQ(texts[2], "あ");
}

TEST(Sjis, ConvertsWithoutFailing) {
  EXPECT_EQ(platform::SjisToUtf8(Sjis("〒１００－０００１ ～")), "〒１００－０００１ ～");
  // A stray byte becomes the replacement character, the rest survives.
  EXPECT_EQ(platform::SjisToUtf8("a\xFF"
                                 "b"
                                 "\x82\xA0"),
            "a\xEF\xBF\xBD"
            "b"
            "あ");
  EXPECT_EQ(platform::SjisToUtf8("\xB1"), "ｱ");
  EXPECT_EQ(platform::SjisToUtf8("a\x82"), "a\xEF\xBF\xBD");
  bool lossy = false;
  EXPECT_EQ(platform::Utf8ToSjis("a\xF0\x9F\x98\x80"
                                 "b",
                                 &lossy),
            "a?b");
  EXPECT_TRUE(lossy);
  EXPECT_EQ(platform::SjisPrefix(Sjis("あいう"), 5), Sjis("あい"));
  EXPECT_EQ(platform::SjisPrefix("ab" + Sjis("あ"), 3), "ab");
}

// One place written the ways people type it gives one reading key; names
// fold ヶ/ケ/が and the variant kanji.
TEST(Reading, EveryWayOfTypingAPlaceGivesOneKey) {
  const std::string otemachi = dict::ReadingKey("ｵｵﾃﾏﾁ");
  EXPECT_FALSE(otemachi.empty());
  for (const char* typed : {"ootemachi", "otemachi", "ōtemachi", "Outemachi", "おおてまち", "オオテマチ", "オーテマチ",
                            "ＯＯＴＥＭＡＣＨＩ"}) {
    EXPECT_EQ(dict::ReadingKey(typed), otemachi) << typed;
  }
  // Kunrei and Hepburn; the small kana of office readings written large.
  EXPECT_EQ(dict::ReadingKey("sinzyuku"), dict::ReadingKey("shinjuku"));
  EXPECT_EQ(dict::ReadingKey("tiyoda"), dict::ReadingKey("chiyoda"));
  EXPECT_EQ(dict::ReadingKey("huzi"), dict::ReadingKey("fuji"));
  EXPECT_EQ(dict::ReadingKey("tukuba"), dict::ReadingKey("tsukuba"));
  EXPECT_EQ(dict::ReadingKey("kyouto"), dict::ReadingKey("ｷﾖｳﾄ"));
  EXPECT_EQ(dict::FoldReading("ニホンケイザイシンブンシヤ"), dict::ReadingKey("nihonkeizaishinbunsha"));
  EXPECT_EQ(dict::ReadingKey("大手町"), "");
  EXPECT_EQ(dict::FullWidthKana("ﾀｶﾀﾞﾉﾊﾞﾊﾞ(1ｶｲ)"), "タカダノババ(1カイ)");
  EXPECT_EQ(dict::FoldName("霞が関"), dict::FoldName("霞ヶ関"));
  EXPECT_EQ(dict::FoldName("霞ケ関"), dict::FoldName("霞ヶ関"));
  EXPECT_EQ(dict::FoldName("髙島町"), dict::FoldName("高嶋町"));
  EXPECT_EQ(dict::FoldName("大通西５丁目"), "大通西5丁目");
  EXPECT_EQ(dict::FoldName("北十一条西二十五丁目"), dict::FoldName("北11条西25丁目"));
  EXPECT_EQ(dict::FoldName("１－２－３ ＪＡビル"), "1-2-3JAビル");
  EXPECT_NE(dict::FoldName("ガーデン"), dict::FoldName("ケーデン"));
  EXPECT_EQ(dict::FirstReadingMatch({"", dict::ReadingKey("ｵｵｲﾀｹﾝ"), dict::ReadingKey("ｵｵｻｶﾌ")}, "osa"), 2);
  EXPECT_EQ(dict::FirstReadingMatch({dict::ReadingKey("ｵｵｻｶﾌ")}, "大"), -1);
}

// A stored reading folds the same straight from Shift-JIS as through
// UTF-8: every pair of full-width katakana (long vowels, small kana and
// voicing variants fold across the pair), with the long mark, and texts
// that are not all katakana (the long way).
TEST(Reading, FoldingFromShiftJisGivesWhatFoldingItsUtf8Gives) {
  std::vector<std::string> kana;
  for (int trail = 0x40; trail <= 0x96; ++trail) {
    if (trail != 0x7F) kana.push_back(std::string{'\x83', static_cast<char>(trail)});
  }
  kana.push_back("\x81\x5B");  // ー
  size_t nonEmpty = 0;
  for (const std::string& a : kana) {
    for (const std::string& b : kana) {
      const std::string sjis = a + b;
      const std::string folded = dict::FoldReadingSjis(sjis);
      ASSERT_EQ(folded, dict::FoldReading(platform::SjisToUtf8(sjis))) << platform::SjisToUtf8(sjis);
      nonEmpty += !folded.empty();
    }
  }
  EXPECT_GT(nonEmpty, kana.size() * kana.size() / 2);
  for (const std::string utf8 :
       {"オオテマチ", "ニホンケイザイシンブンシヤ", "ヴァイオリン", "キョウト（ダイ）", "ＡＢＣビル", "ｶﾀｶﾅ", "かな",
        "大手町", "", "エヌ・ティ・ティ　ドコモ（１２３）", "ａｂｃ＆ＸＹＺ", "Ωア"}) {
    const std::string sjis = platform::Utf8ToSjis(utf8);
    EXPECT_EQ(dict::FoldReadingSjis(sjis), dict::FoldReading(utf8)) << utf8;
  }
  EXPECT_EQ(dict::FoldReadingSjis(platform::Utf8ToSjis("カ") + "A"), dict::FoldReading("カA"));
  // Every byte pair after a kana, odd and unassigned ones too, cut as
  // the conversion cuts them.
  for (int lead = 0; lead < 256; ++lead) {
    for (int trail = 0; trail < 256; trail += 3) {
      const std::string sjis = "\x83\x4A" + std::string{static_cast<char>(lead), static_cast<char>(trail)} + "\x83\x4A";
      ASSERT_EQ(dict::FoldReadingSjis(sjis), dict::FoldReading(platform::SjisToUtf8(sjis))) << lead << " " << trail;
    }
  }
}

// Kanji numbers too large for any address (once a signed overflow) stay
// as written; the ones addresses use still fold.
TEST(FoldName, KanjiNumbersBeyondAnyAddressStayAsWritten) {
  EXPECT_EQ(dict::FoldName("三三三三三三三三三十"), "三三三三三三三三三十");
  EXPECT_EQ(dict::FoldName("西九九九九九九九九九九九九十丁目"), "西九九九九九九九九九九九九十丁目");
  std::string tens;
  for (int i = 0; i < 300000; ++i) tens += "十";
  EXPECT_TRUE(dict::FoldName(tens) == tens);
  EXPECT_EQ(dict::FoldName("二十五"), "25");
  EXPECT_EQ(dict::FoldName("九九九九十九"), "99999");
  EXPECT_EQ(dict::FoldName("三三三三三三三三三"), "333333333");  // digits one by one: no number made
}

// Readings are widened a piece at a time (a kana or sign and its sound
// marks): every pair of the characters Japan Post's readings hold, and each
// kana with two marks, gives what ICU gives for the whole text. A control
// character after a text sends it to ICU whole, and adds only itself.
TEST(Reading, FullWidthKanaPieceByPieceIsTheWholeTextNormalised) {
  std::vector<std::string> chars;
  for (char c = 0x20; c < 0x7F; ++c) chars.emplace_back(1, c);
  for (char32_t c = 0xFF61; c <= 0xFF9F; ++c) {
    chars.push_back(
        {static_cast<char>(0xEF), static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))});
  }
  auto whole = [](const std::string& text) {
    std::string out = dict::FullWidthKana(text + "\x01");
    EXPECT_EQ(out.back(), '\x01') << text;
    out.pop_back();
    return out;
  };
  const std::string marks[] = {"ﾞ", "ﾟ"};
  for (const std::string& a : chars) {
    for (const std::string& b : chars) ASSERT_EQ(dict::FullWidthKana(a + b), whole(a + b)) << a << b;
    for (const std::string& m : marks) {
      for (const std::string& n : marks) ASSERT_EQ(dict::FullWidthKana(a + m + n), whole(a + m + n)) << a << m << n;
    }
  }
  EXPECT_EQ(dict::FullWidthKana("ｶﾞ\tｷ"), "ガ\tキ");  // anything else: the whole text to ICU
}

// Without ICU (Windows before 10 1903, Wine) readings are widened by our
// own table: every character Japan Post's readings hold, alone, with one
// and with two sound marks, gives what ICU gives, so a dictionary is the
// same whichever system built it.
TEST(Reading, FullWidthKanaWithoutIcuIsWhatIcuGives) {
  std::vector<std::string> chars;
  for (char c = 0x20; c < 0x7F; ++c) chars.emplace_back(1, c);
  for (char32_t c = 0xFF61; c <= 0xFF9F; ++c) {
    chars.push_back(
        {static_cast<char>(0xEF), static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))});
  }
  const std::string marks[] = {"", "ﾞ", "ﾟ"};
  for (const std::string& a : chars) {
    for (const std::string& m : marks) {
      for (const std::string& n : marks) {
        ASSERT_EQ(dict::FullWidthKanaWithoutIcu(a + m + n + "ｱ"), dict::FullWidthKana(a + m + n + "ｱ")) << a << m << n;
      }
    }
  }
  EXPECT_EQ(dict::FullWidthKanaWithoutIcu("ﾀｶﾀﾞﾉﾊﾞﾊﾞ(1ｶｲ)ｳﾞｧ"), "タカダノババ(1カイ)ヴァ");
  EXPECT_EQ(dict::FullWidthKanaWithoutIcu("ｶ\tｷ"), "ｶ\tｷ");  // not Japan Post's: left as it is
}

// The remembering decoder gives byte for byte what iconv gives, whatever the
// Random coded names (codes, double-byte characters with the odd unmapped
// one, bytes that make no name) at random lengths: the name expanded
// straight to UTF-8 is the Shift-JIS expansion decoded, byte for byte, and
// fails where that fails, with the same message.
TEST(ExpandText, StraightToUtf8IsTheShiftJisExpansionDecoded) {
  std::mt19937 rng(31);
  for (int i = 0; i < 30000; ++i) {
    std::string field;
    for (size_t n = rng() % 10; n > 0; --n) {
      const unsigned r = rng() % 6;
      if (r < 2) {
        field += static_cast<char>(rng() % 128);
      } else if (r < 5) {
        const unsigned lead = rng() % 60;
        field += static_cast<char>(lead < 31 ? 0x81 + lead : 0xE0 + lead - 31);
        field += static_cast<char>(0x40 + rng() % 0xBD);
      } else {
        field += static_cast<char>(rng());
      }
    }
    const int length = static_cast<int>(rng() % (field.size() + 2)) - (rng() % 16 == 0 ? 2 : 0);
    std::string sjis;
    std::string got = "x";
    const auto viaSjis = dict::AppendExpandedText(sjis, field, length);
    const auto direct = dict::AppendExpandedUtf8(got, field, length);
    ASSERT_EQ(direct.ok(), viaSjis.ok()) << i;
    if (!viaSjis.ok()) {
      EXPECT_EQ(direct.error().description, viaSjis.error().description);
      continue;
    }
    std::string want = "x";
    platform::SjisDecoder::Append(want, sjis);
    ASSERT_EQ(got, want) << i;
  }
  for (int c = 0; c < dict::kCodeCount; ++c) {
    std::string got;
    ASSERT_TRUE(dict::AppendExpandedUtf8(got, std::string(1, static_cast<char>(c)), 1).ok());
    EXPECT_EQ(got, platform::SjisToUtf8(dict::CodeTable()[static_cast<size_t>(c)])) << c;
    // The Shift-JIS table is spelt out in the source: it is the converter's.
    EXPECT_EQ(dict::CodeTable()[static_cast<size_t>(c)], platform::Utf8ToSjis(dict::CodeTableUtf8()[c])) << c;
  }
}

// bytes: texts of random bytes weighted towards lead bytes, line feeds and
// the odd single bytes, each twice so the second comes from what it kept.
TEST(Sjis, TheRememberingDecoderGivesWhatIconvGives) {
  std::mt19937 rng(9);
  const std::string odd = "\x80\xA0\xFD\xFE\xFF\x0A\x5C\x7E\x81\x9F\xE0\xFC\xB1\xDF";
  for (int i = 0; i < 20000; ++i) {
    std::string text;
    for (size_t n = rng() % 12; n > 0; --n) {
      const unsigned r = rng() % 4;
      text += r == 0   ? odd[rng() % odd.size()]
              : r == 1 ? static_cast<char>(0x81 + rng() % 31)
                       : static_cast<char>(rng());
    }
    ASSERT_EQ(platform::SjisToUtf8(text), IconvUtf8(text)) << i;
    for (int round = 0; round < 2; ++round) {
      std::string got = "x";
      platform::SjisDecoder::Append(got, text);
      ASSERT_EQ(got, "x" + platform::SjisToUtf8(text)) << i;
    }
  }
  // Whole files: texts far longer than the block the decoder fills, sound
  // and with the odd bad byte far in.
  for (int i = 0; i < 20; ++i) {
    std::string text;
    for (size_t n = 0; n < 30000; ++n) {
      const unsigned r = rng() % 4;
      if (r == 0) {
        text += static_cast<char>(0x20 + rng() % 0x5F);
      } else if (r == 1) {
        text += static_cast<char>(0xA1 + rng() % 0x3F);  // half-width katakana
      } else {
        text += static_cast<char>(0x88 + rng() % 0x10);
        text += static_cast<char>(0x40 + rng() % 0x3F);
      }
    }
    if (i % 2) text[text.size() - 1 - rng() % 100] = '\xFF';
    std::string got = "x";
    platform::SjisDecoder::Append(got, text);
    ASSERT_EQ(got, "x" + IconvUtf8(text)) << i;
  }
}

// The table (scripts/cp932-table.cpp) holds for every single byte, and for
// every lead byte with every byte after it, what the converter makes of
// it alone: that one character, or nothing when it makes anything else
// (the whole text then goes to the converter). A table made by another C
// library than the one the program runs with shows here.
TEST(Sjis, TheTableGivesWhatIconvGivesForEveryCharacter) {
  size_t known = 0;
  for (unsigned first = 0; first < 256; ++first) {
    std::vector<std::string> chars = {std::string(1, static_cast<char>(first))};
    if (platform::IsSjisLeadByte(static_cast<unsigned char>(first))) {
      for (unsigned second = 0; second < 256; ++second) {
        chars.push_back({static_cast<char>(first), static_cast<char>(second)});
      }
    }
    for (const std::string& ch : chars) {
      const std::string want = IconvUtf8(ch);
      size_t length = 0;
      const bool one = !want.empty() && platform::DecodeUtf8At(want, 0, &length) != U'\uFFFD' && length == want.size();
      std::string got = "x";
      ASSERT_EQ(platform::SjisDecoder::AppendChar(got, ch), one) << std::hex << first << " " << ch.size();
      EXPECT_EQ(got, one ? "x" + want : "x") << std::hex << first;
      known += one ? 1 : 0;
    }
  }
  // JIS X 0208 and the vendors' rows, and the single bytes.
  EXPECT_GT(known, 7900u);
}

// The one UTF-8 encoder (names, readings, variants, the build's widened
// signs) gives for every code point what iconv gives, and the decoder reads
// each back whole.
TEST(Utf8, TheEncoderGivesWhatIconvGivesForEveryCodePoint) {
  std::vector<char32_t> points;
  for (char32_t c = 0; c < 0x110000; ++c) {
    if (c < 0xD800 || c > 0xDFFF) points.push_back(c);
  }
  std::string ours;
  for (char32_t c : points) platform::AppendUtf8(ours, c);
  std::string want(points.size() * 4, '\0');
  iconv_t cd = iconv_open("UTF-8", "UTF-32LE");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  std::vector<char> in(points.size() * 4);
  for (size_t i = 0; i < points.size(); ++i) {
    for (int b = 0; b < 4; ++b) in[i * 4 + b] = static_cast<char>(points[i] >> (8 * b));
  }
  char* src = in.data();
  char* dst = want.data();
  size_t inLeft = in.size(), outLeft = want.size();
  ASSERT_NE(iconv(cd, &src, &inLeft, &dst, &outLeft), static_cast<size_t>(-1));
  iconv_close(cd);
  want.resize(want.size() - outLeft);
  ASSERT_EQ(ours.size(), want.size());
  EXPECT_TRUE(ours == want);
  size_t at = 0;
  for (char32_t c : points) {
    size_t length = 0;
    ASSERT_EQ(platform::DecodeUtf8At(ours, at, &length), c) << static_cast<uint32_t>(c);
    at += length;
  }
  EXPECT_EQ(at, ours.size());
}

// The other way, from the same table: every character of the Basic
// Multilingual Plane alone and among others, then random texts with bad
// bytes, overlong forms, surrogates and characters beyond the plane: the
// same bytes as the C library's converter and the same loss, for the
// characters with two or three forms and those with a form one way only.
TEST(Sjis, TheEncoderGivesWhatIconvGives) {
  platform::SjisEncoder encoder;
  auto utf8Of = [](char32_t c) {
    std::string s;
    if (c < 0x80) {
      s += static_cast<char>(c);
    } else if (c < 0x800) {
      s += static_cast<char>(0xC0 | (c >> 6));
      s += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      s += static_cast<char>(0xE0 | (c >> 12));
      s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      s += static_cast<char>(0x80 | (c & 0x3F));
    }
    return s;
  };
  auto same = [&](const std::string& text) {
    bool lossy = false, ourLossy = true, encoderLossy = true;
    const std::string want = IconvSjis(text, &lossy);
    return platform::Utf8ToSjis(text, &ourLossy) == want && ourLossy == lossy &&
           encoder.Encode(text, &encoderLossy) == want && encoderLossy == lossy;
  };
  for (char32_t c = 0; c < 0x10000; ++c) {
    ASSERT_TRUE(same(utf8Of(c))) << static_cast<uint32_t>(c);
    ASSERT_TRUE(same("あ" + utf8Of(c) + "a")) << static_cast<uint32_t>(c);
  }
  const std::string odd[] = {"\xC0\xAF", "\xE0\x80\xAF", "\xF0\x9F\x98\x80", "\xED\xA0\x80", "\xFF",
                             "\xE3\x81", "\x80"};
  std::mt19937 rng(12);
  for (int i = 0; i < 20000; ++i) {
    std::string text;
    for (size_t n = rng() % 8; n > 0; --n) {
      text += rng() % 5 == 0 ? odd[rng() % std::size(odd)] : utf8Of(static_cast<char32_t>(rng() % 0x10000));
    }
    ASSERT_TRUE(same(text)) << i;
  }
}

}  // namespace
