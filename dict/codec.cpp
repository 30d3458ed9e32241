#include "dict/codec.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "platform/sjis.h"

namespace kovant::dict {
namespace {

constexpr std::string_view kSingle =
    "場区郡市町村大中小"
    "上下東西南北木林森川"
    "海山島田長一二三四五"
    "六池八間丁目福松竹根"
    "宮寺神ケ天野原高日泉"
    "本条平番赤崎十畑豊浦"
    "津安石出新郷通部栄吉"
    "地岩沢道和白丘横千代"
    "前賀若岡塚御河花佐浜"
    "美伊保園江子清井丸内"
    "戸谷屋ノ台久水坂生尾"
    "見口橋古城里之富宿倉";

constexpr std::array<std::string_view, 8> kLong = {
    "西新宿東京オペラシティ（",
    "城見クリスタルタワー（",
    "天満橋ＯＡＰタワー（",
    "虎ノ門城山ＪＴ森ビル（",
    "東池袋サンシャイン６０（",
    "西新宿新宿",
    "赤坂赤坂アークヒルズ・アーク森ビル（",
    "浜松町世界貿易センタービル（",
};

std::array<std::string_view, kCodeCount> MakeUtf8Table() {
  std::array<std::string_view, kCodeCount> t{};
  // Every entry of kSingle is a three-byte UTF-8 character.
  for (int c = 1; c <= 119; ++c) t[c] = kSingle.substr(static_cast<size_t>(c - 1) * 3, 3);
  for (int c = 120; c <= 127; ++c) t[c] = kLong[static_cast<size_t>(c - 120)];
  return t;
}

CodeTableType& Table() {
  static CodeTableType table;
  return table;
}

std::once_flag g_built;

void Fill() {
  const auto& utf8 = CodeTableUtf8();
  auto& t = Table();
  t[0].clear();
  for (int c = 1; c < kCodeCount; ++c) t[c] = platform::Utf8ToSjis(utf8[c]);
}

}  // namespace

const std::array<std::string_view, kCodeCount>& CodeTableUtf8() {
  static const auto table = MakeUtf8Table();
  return table;
}

void BuildCodeTable() { std::call_once(g_built, Fill); }

const CodeTableType& CodeTable() {
  BuildCodeTable();
  return Table();
}

Result<std::string> ExpandText(std::string_view codedField, int byteLength) {
  std::string out;
  out.reserve(static_cast<size_t>(std::max(byteLength, 0)) * 2);
  auto done = AppendExpandedText(out, codedField, byteLength);
  if (!done) return done.error();
  return out;
}

namespace {

// Walks a coded name: code(c) for each one-byte code, pair(text) for each
// double-byte character, failing on what is no name.
template <typename Code, typename Pair>
Result<bool> WalkCodedName(std::string_view codedField, int byteLength, Code&& code, Pair&& pair) {
  if (byteLength < 0) return Error{"名前の長さが不正です。"};
  if (static_cast<size_t>(byteLength) > codedField.size()) {
    return Error{"名前の長さ " + std::to_string(byteLength) + " が欄の大きさ " + std::to_string(codedField.size()) +
                 " を超えています。"};
  }
  size_t i = 0;
  const size_t end = static_cast<size_t>(byteLength);
  while (i < end) {
    unsigned char c = static_cast<unsigned char>(codedField[i]);
    if (platform::IsSjisLeadByte(c)) {
      if (i + 1 >= codedField.size()) {
        return Error{"名前の最後の文字が欄の外にはみ出しています。"};
      }
      // A byte that cannot follow a lead byte (a line feed, say) is a broken
      // name, never text to show beside another town's code.
      const auto trail = static_cast<unsigned char>(codedField[i + 1]);
      if (trail < 0x40 || trail == 0x7F || trail > 0xFC) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%02X 0x%02X", c, trail);
        return Error{std::string("名前の文字 ") + hex + " は Shift-JIS ではありません。"};
      }
      pair(codedField.substr(i, 2));
      i += 2;
    } else if (c >= 0x80) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "0x%02X", c);
      return Error{std::string("名前の符号 ") + hex + " は符号表にありません。"};
    } else {
      code(c);
      i += 1;
    }
  }
  return true;
}

}  // namespace

Result<bool> AppendExpandedText(std::string& out, std::string_view codedField, int byteLength) {
  const auto& table = CodeTable();
  // Double-byte characters stand in runs: each run is appended at once
  // (a list of names spent more on appending two bytes at a time).
  size_t runStart = 0, runEnd = 0;
  auto flush = [&] {
    out.append(codedField.substr(runStart, runEnd - runStart));
    runStart = runEnd;
  };
  auto walked = WalkCodedName(
      codedField, byteLength,
      [&](unsigned char c) {
        flush();
        out.append(table[c]);
        runStart = runEnd += 1;
      },
      [&](std::string_view) { runEnd += 2; });
  flush();
  return walked;
}

Result<bool> AppendExpandedUtf8(std::string& out, std::string_view codedField, int byteLength,
                                platform::SjisDecoder& decoder) {
  const auto& table = CodeTableUtf8();
  const size_t start = out.size();
  bool irregular = false;  // a character the decoder converts only with its neighbours
  auto walked = WalkCodedName(
      codedField, byteLength, [&](unsigned char c) { out.append(table[c]); },
      [&](std::string_view pair) { irregular = irregular || !decoder.AppendChar(out, pair); });
  if (!walked || !irregular) return walked;
  // Rare: the whole name as the decoder takes it, so the bytes stay its own.
  std::string sjis;
  if (auto expanded = AppendExpandedText(sjis, codedField, byteLength); !expanded) return expanded;
  out.resize(start);
  decoder.Append(out, sjis);
  return true;
}

}  // namespace kovant::dict
