// Readings and names as people type them, folded so that the ways of
// writing one place compare equal. Transliteration is ICU's; the folds on
// top are ours.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kovant::dict {

// A reading as katakana for matching: kanji-free text typed in hiragana,
// katakana of either width or romaji (Hepburn or Kunrei, long vowels
// written "ou", "oo", "o", with a macron or "ー") becomes full-width
// katakana with long vowels, small kana and voicing variants folded:
// "ootemachi", "otemachi", "ōtemachi", "おおてまち" and "ｵｵﾃﾏﾁ" all give
// "オテマチ". Characters that are no kana or latin letters are dropped; a
// text with kanji gives "".
std::string ReadingKey(std::string_view typed);

// The fold of ReadingKey for a reading that is full-width katakana
// already (a stored one): no transliteration, so cheap enough for every
// town of the country.
std::string FoldReading(std::string_view katakana);
// The same from a reading in Shift-JIS, as the dictionary stores it,
// without converting it to UTF-8 first.
std::string FoldReadingSjis(std::string_view sjis);

// Japan Post's half-width katakana as full-width ("ｵｵﾃﾏﾁ" -> "オオテマチ").
std::string FullWidthKana(std::string_view halfWidth);
// The same by our own table, as FullWidthKana does without ICU: printable
// ASCII and half-width katakana only (other text comes back unchanged).
std::string FullWidthKanaWithoutIcu(std::string_view halfWidth);

// A name or address folded for matching: full-width letters and digits as
// ASCII (letters upper case), kanji numerals as digits ("北一条" "北1条",
// "二十" "20"), dashes as "-", ヶ/ケ/が between kanji as ケ, ノ/の/之
// between kanji as ノ, the usual variant kanji as their common form
// (﨑 崎, 髙 高, 澤 沢 ...), blanks dropped. Both sides of a comparison
// are folded alike, so "一宮" becoming "1宮" costs nothing. No ICU: the
// dictionary's every name goes through it.
std::string FoldName(std::string_view utf8);

// The first of keys (folded readings, as ReadingKey gives; an entry may
// hold more than one, joined by kKeySeparator) that begins with the reading
// of typed; -1 when none does or typed is no reading (kanji).
inline constexpr char kKeySeparator = '|';
int FirstReadingMatch(const std::vector<std::string>& keys, std::string_view typed);

// Whether the text holds a kanji (a CJK ideograph).
bool HasKanji(std::string_view utf8);

}  // namespace kovant::dict
