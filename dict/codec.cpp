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

// The same in Shift-JIS, spelt out: converting them at every start loaded
// the converter into every short process (CodeTable checks them in tests).
constexpr std::string_view kSingleSjis =
    "\x8F\xEA\x8B\xE6\x8C\x53\x8E\x73\x92\xAC\x91\xBA\x91\xE5\x92\x86\x8F\xAC\x8F\xE3"
    "\x89\xBA\x93\x8C\x90\xBC\x93\xEC\x96\x6B\x96\xD8\x97\xD1\x90\x58\x90\xEC\x8A\x43"
    "\x8E\x52\x93\x87\x93\x63\x92\xB7\x88\xEA\x93\xF1\x8E\x4F\x8E\x6C\x8C\xDC\x98\x5A"
    "\x92\x72\x94\xAA\x8A\xD4\x92\x9A\x96\xDA\x95\x9F\x8F\xBC\x92\x7C\x8D\xAA\x8B\x7B"
    "\x8E\x9B\x90\x5F\x83\x50\x93\x56\x96\xEC\x8C\xB4\x8D\x82\x93\xFA\x90\xF2\x96\x7B"
    "\x8F\xF0\x95\xBD\x94\xD4\x90\xD4\x8D\xE8\x8F\x5C\x94\xA8\x96\x4C\x89\x59\x92\xC3"
    "\x88\xC0\x90\xCE\x8F\x6F\x90\x56\x8B\xBD\x92\xCA\x95\x94\x89\x68\x8B\x67\x92\x6E"
    "\x8A\xE2\x91\xF2\x93\xB9\x98\x61\x94\x92\x8B\x75\x89\xA1\x90\xE7\x91\xE3\x91\x4F"
    "\x89\xEA\x8E\xE1\x89\xAA\x92\xCB\x8C\xE4\x89\xCD\x89\xD4\x8D\xB2\x95\x6C\x94\xFC"
    "\x88\xC9\x95\xDB\x89\x80\x8D\x5D\x8E\x71\x90\xB4\x88\xE4\x8A\xDB\x93\xE0\x8C\xCB"
    "\x92\x4A\x89\xAE\x83\x6D\x91\xE4\x8B\x76\x90\x85\x8D\xE2\x90\xB6\x94\xF6\x8C\xA9"
    "\x8C\xFB\x8B\xB4\x8C\xC3\x8F\xE9\x97\xA2\x94\x56\x95\x78\x8F\x68\x91\x71";

constexpr std::array<std::string_view, 8> kLongSjis = {
    "\x90\xBC\x90\x56\x8F\x68\x93\x8C\x8B\x9E\x83\x49\x83\x79\x83\x89\x83\x56\x83\x65\x83\x42\x81\x69",
    "\x8F\xE9\x8C\xA9\x83\x4E\x83\x8A\x83\x58\x83\x5E\x83\x8B\x83\x5E\x83\x8F\x81\x5B\x81\x69",
    "\x93\x56\x96\x9E\x8B\xB4\x82\x6E\x82\x60\x82\x6F\x83\x5E\x83\x8F\x81\x5B\x81\x69",
    "\x8C\xD5\x83\x6D\x96\xE5\x8F\xE9\x8E\x52\x82\x69\x82\x73\x90\x58\x83\x72\x83\x8B\x81\x69",
    "\x93\x8C\x92\x72\x91\xDC\x83\x54\x83\x93\x83\x56\x83\x83\x83\x43\x83\x93\x82\x55\x82\x4F\x81\x69",
    "\x90\xBC\x90\x56\x8F\x68\x90\x56\x8F\x68",
    "\x90\xD4\x8D\xE2\x90\xD4\x8D\xE2\x83\x41\x81\x5B\x83\x4E\x83\x71\x83\x8B\x83\x59\x81\x45\x83\x41\x81\x5B\x83\x4E"
    "\x90\x58\x83\x72\x83\x8B\x81\x69",
    "\x95\x6C\x8F\xBC\x92\xAC\x90\xA2\x8A\x45\x96\x66\x88\xD5\x83\x5A\x83\x93\x83\x5E\x81\x5B\x83\x72\x83\x8B\x81\x69",
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
  auto& t = Table();
  t[0].clear();
  for (int c = 1; c <= 119; ++c) t[c] = kSingleSjis.substr(static_cast<size_t>(c - 1) * 2, 2);
  for (int c = 120; c <= 127; ++c) t[c] = kLongSjis[static_cast<size_t>(c - 120)];
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

Result<bool> AppendExpandedUtf8(std::string& out, std::string_view codedField, int byteLength) {
  const auto& table = CodeTableUtf8();
  const size_t start = out.size();
  bool irregular = false;  // a character the decoder converts only with its neighbours
  auto walked = WalkCodedName(
      codedField, byteLength, [&](unsigned char c) { out.append(table[c]); },
      [&](std::string_view pair) { irregular = irregular || !platform::SjisDecoder::AppendChar(out, pair); });
  if (!walked || !irregular) return walked;
  // Rare: the whole name as the decoder takes it, so the bytes stay its own.
  std::string sjis;
  if (auto expanded = AppendExpandedText(sjis, codedField, byteLength); !expanded) return expanded;
  out.resize(start);
  platform::SjisDecoder::Append(out, sjis);
  return true;
}

}  // namespace kovant::dict
