// kovant-lookup's modes called as functions against the sample dictionary,
// and its option table against --help and the man page.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <tuple>
#include <gtest/gtest.h>

#include "dicfixture.h"
#include "process.h"
#include "dict/reader.h"
#include "dict/sections.h"
#include "dict/codeindex.h"
#include "dict/readingsection.h"
#include "platform/checknote.h"
#include "platform/files.h"
#include "platform/sjis.h"
#include "lookup/lookup.h"

using namespace kovant::lookup;

namespace {

const std::string kDic = KOVANT_SAMPLE_DIC;

// Runs a mode into a string through the format F.
template <typename F, typename Mode, typename... Extra>
std::pair<int, std::string> Capture(Mode mode, Extra... extra) {
  StringSink sink;
  F out(sink, extra...);
  const int status = mode(out);
  return {status, sink.Text()};
}

TEST(LookupModes, CodesGiveALineOrAnObjectPerInput) {
  const std::vector<std::string> codes = {"1000001", "9999999", "abc", "〒１６９－００７５"};
  auto [status, text] = Capture<TextOutput>([&](LookupOutput& out) { return LookUpCodes(kDic, codes, out); });
  EXPECT_EQ(status, 1);
  EXPECT_EQ(text,
            "100-0001\t100\t東京都\t千代田区\t千代田\n"
            "9999999\t\t\t\t\t該当なし\n"
            "abc\t\t\t\t\t不正\n"
            "169-0075\t169\t東京都\t新宿区\t高田馬場\n"
            "169-0075\t169\t東京都\t新宿区\t高田馬場南\n"
            "169-0075\t169\t東京都\t新宿区\t高田馬場北\n");
  auto [jsonStatus, json] = Capture<JsonOutput>([&](LookupOutput& out) {
    return LookUpCodes(kDic, {"06401", "9999999"}, out);
  });
  EXPECT_EQ(jsonStatus, 1);
  EXPECT_EQ(json,
            "{\"input\":\"06401\",\"code\":\"06401\",\"status\":\"一致\",\"matches\":[{\"new\":\"064-0942\","
            "\"old\":\"064-01\",\"prefecture\":\"北海道\",\"city\":\"札幌市南区\",\"town\":\"南沢\"}]}\n"
            "{\"input\":\"9999999\",\"code\":\"9999999\",\"status\":\"該当なし\",\"matches\":[]}\n");

  // A file of codes (CRLF, no last line end) answers as the arguments do,
  // from the index instead of the search.
  const std::string file = kovant::test::TempFolder("lookup-codes") + "/codes.txt";
  std::ofstream(file, std::ios::binary) << "1000001\r\n9999999\r\nabc\r\n〒１６９－００７５";
  const int fd = open(file.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  auto [lineStatus, lines] = Capture<TextOutput>([&](LookupOutput& out) { return LookUpCodeLines(kDic, fd, out); });
  close(fd);
  EXPECT_EQ(lineStatus, 1);
  EXPECT_EQ(lines, text);
}

TEST(LookupModes, ColumnRowsKeepTheirBytesAndGainFiveColumns) {
  ColumnOptions options;
  options.column = 2;
  options.header = true;
  std::istringstream table("名前,〒\r\n\"山田, 太郎\",1000001\r\n佐藤,600042\r\n鈴木,12");
  auto [status, text] =
      Capture<CsvOutput>([&](LookupOutput& out) { return ConvertCodeColumn(kDic, table, options, out); }, ',');
  EXPECT_EQ(status, 1);
  EXPECT_EQ(text,
            "名前,〒,郵便番号,都道府県,市区町村,町域,状態\r\n"
            "\"山田, 太郎\",1000001,100-0001,東京都,千代田区,千代田,一致\r\n"
            "佐藤,600042,060-0042,北海道,札幌市中央区,大通西,一致（１～１９丁目）（先頭の0を補完）\r\n"
            "鈴木,12,,,,,不正");
  // The CSV format quotes what needs it; the text format never does.
  auto name = [](LookupOutput& out) {
    out.Name("a,b");
    return out.Finish(0);
  };
  EXPECT_EQ(Capture<CsvOutput>(name, ',').second, "\"a,b\"\n");
  EXPECT_EQ(Capture<TextOutput>(name).second, "a,b\n");
}

// A column conversion of text, with what it said on standard error.
struct Converted {
  int status;
  std::string out, err;
};
Converted ConvertText(const std::string& text, const ColumnOptions& options) {
  std::istringstream in(text);
  testing::internal::CaptureStderr();
  auto [status, out] =
      Capture<CsvOutput>([&](LookupOutput& o) { return ConvertCodeColumn(kDic, in, options, o); }, options.separator);
  return {status, out, testing::internal::GetCapturedStderr()};
}

// A stray byte neither turns a UTF-8 file into Shift-JIS nor passes
// unnoticed: its row is marked and its line named.
TEST(LookupModes, ColumnEncodingIsDecidedByTheMostLinesAndBadLinesAreNamed) {
  ColumnOptions options;
  options.column = 1;
  const std::string stray = "1000001,\x93\x63\n";  // 田 in Shift-JIS
  auto utf8 = ConvertText("1000001,山田\n1000001,佐藤\n" + stray + "1000001,鈴木\n", options);
  EXPECT_EQ(utf8.status, 1);
  EXPECT_EQ(utf8.out,
            "1000001,山田,100-0001,東京都,千代田区,千代田,一致\n"
            "1000001,佐藤,100-0001,東京都,千代田区,千代田,一致\n"
            "1000001,\x93\x63,,,,,不正（文字コード）\n"
            "1000001,鈴木,100-0001,東京都,千代田区,千代田,一致\n");
  EXPECT_EQ(utf8.err, "kovant-lookup: 行 3: UTF-8 として読めない文字があります。\n");

  // Shift-JIS throughout, with a byte Shift-JIS has no place for.
  const std::string sjis = "1000001,\x8e\x52\x93\x63\n1000001,\xff\n";
  auto s = ConvertText(sjis, options);
  EXPECT_EQ(s.status, 1);
  EXPECT_EQ(s.out.substr(0, s.out.find('\n')),
            "1000001,\x8e\x52\x93\x63,100-0001,\x93\x8c\x8b\x9e\x93\x73,"
            "\x90\xe7\x91\xe3\x93\x63\x8b\xe6,\x90\xe7\x91\xe3\x93\x63,\x88\xea\x92\x76");
  EXPECT_EQ(s.err, "kovant-lookup: 行 2: Shift-JIS として読めない文字があります。\n");
  // An encoding given is kept to, whatever the bytes say.
  options.encoding = "utf8";
  EXPECT_EQ(ConvertText(sjis, options).err,
            "kovant-lookup: 行 1: UTF-8 として読めない文字があります。\n"
            "kovant-lookup: 行 2: UTF-8 として読めない文字があります。\n");
}

// A quote left open takes the rest of the file into one row: the row is
// marked and the line the quote began on named; a row past the limit ends
// the conversion (status 2) after the rows before it.
TEST(LookupModes, ColumnQuoteLeftOpenAndOverlongRowsAreNamedByLine) {
  ColumnOptions options;
  options.column = 1;
  auto open = ConvertText("1000001,a\n1000001,\"b\n1000001,c\n", options);
  EXPECT_EQ(open.status, 1);
  EXPECT_EQ(open.out,
            "1000001,a,100-0001,東京都,千代田区,千代田,一致\n"
            "1000001,\"b\n1000001,c\n,,,,,不正（引用符）");
  EXPECT_EQ(open.err, "kovant-lookup: 行 2: 引用符が閉じられないまま終わりました。\n");

  const std::string big(kMaxRowBytes + 1, 'x');
  auto longRow = ConvertText("1000001,a\n1000001,a\n1000001," + big + "\n1000001,a\n", options);
  EXPECT_EQ(longRow.status, 2);
  EXPECT_EQ(longRow.out,
            "1000001,a,100-0001,東京都,千代田区,千代田,一致\n1000001,a,100-0001,東京都,千代田区,千代田,一致\n");
  EXPECT_EQ(longRow.err, "kovant-lookup: 行 3: 1 行が 1 MiB を超えるため中止しました。\n");
  auto openLong = ConvertText("1000001,a\n1000001,\"\n" + big + "\n", options);
  EXPECT_EQ(openLong.status, 2);
  EXPECT_EQ(openLong.err, "kovant-lookup: 行 2: 引用符が閉じられないまま 1 MiB を超えたため中止しました。\n");
}

TEST(LookupModes, WalkAndAddressesInBothFormats) {
  auto [status, cities] = Capture<JsonOutput>([](LookupOutput& out) { return Walk(kDic, {"東京都"}, out); });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(cities, "{\"name\":\"港区\"}\n{\"name\":\"新宿区\"}\n{\"name\":\"千代田区\"}\n{\"name\":\"利島村\"}\n");
  EXPECT_EQ(Capture<TextOutput>([](LookupOutput& out) { return Walk(kDic, {"東京都", "ほげ区"}, out); }).first, 1);

  const std::vector<std::string> addresses = {"東京都新宿区高田馬場１－２－３", "東京都ほげ区"};
  auto [found, text] = Capture<TextOutput>([&](LookupOutput& out) { return ResolveAddresses(kDic, addresses, out); });
  EXPECT_EQ(found, 1);
  EXPECT_EQ(text,
            "169-0075\t169\t東京都\t新宿区\t高田馬場\t一致\n"
            "\t\t東京都\t\t\t該当なし（市区町村が分かりません。）\n");
  auto [jsonFound, json] =
      Capture<JsonOutput>([&](LookupOutput& out) { return ResolveAddresses(kDic, {addresses[1]}, out); });
  EXPECT_EQ(json,
            "{\"input\":\"東京都ほげ区\",\"status\":\"該当なし\",\"prefecture\":\"東京都\",\"city\":\"\",\"town\":\"\","
            "\"note\":\"市区町村が分かりません。\",\"candidates\":[]}\n");
}

// The three answers an address can have are told apart in every format
// and in the exit status: a town the dictionary lacks is 市区町村のみ with
// the city's 「以下に掲載がない場合」 code as its candidate, never 一致.
TEST(LookupModes, AddressesTellOneCodeFromTheCityOnlyAndFromNone) {
  const std::string unknownTown = "東京都千代田区霞町1-1";
  auto [cityOnly, text] =
      Capture<TextOutput>([&](LookupOutput& out) { return ResolveAddresses(kDic, {unknownTown}, out); });
  EXPECT_EQ(cityOnly, 3);
  EXPECT_EQ(text,
            "100-0000\t100\t東京都\t千代田区\t\t市区町村のみ（町域が辞書にありません。市区町村の「以下に掲載がない"
            "場合」の番号です。）\n");
  auto [jsonStatus, json] =
      Capture<JsonOutput>([&](LookupOutput& out) { return ResolveAddresses(kDic, {unknownTown}, out); });
  EXPECT_EQ(jsonStatus, 3);
  EXPECT_NE(json.find("\"status\":\"市区町村のみ\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"new\":\"100-0000\""), std::string::npos) << json;
  // Several or none outweigh the city only; one code each is 0.
  EXPECT_EQ(Capture<TextOutput>([&](LookupOutput& out) {
              return ResolveAddresses(kDic, {unknownTown, "東京都ほげ区"}, out);
            }).first,
            1);
  EXPECT_EQ(Capture<TextOutput>([&](LookupOutput& out) {
              return ResolveAddresses(kDic, {"東京都新宿区高田馬場１－２－３"}, out);
            }).first,
            0);
  // Noise around the address; a ward written without its city, which
  // three cities have, each with a 本町.
  auto [noisy, noisyText] = Capture<TextOutput>([&](LookupOutput& out) {
    return ResolveAddresses(
        kDic, {"株式会社サンプル 横浜市中区本町1-2 TEL 045-000-0000", "〒XXX-XXXX 千代田区千代田1-1 様", "中区本町1-2"},
        out);
  });
  EXPECT_EQ(noisy, 1);
  EXPECT_EQ(noisyText,
            "231-0011\t231-01\t神奈川県\t横浜市中区\t本町\t一致\n"
            "100-0001\t100\t東京都\t千代田区\t千代田\t一致\n"
            "231-0011\t231-01\t神奈川県\t横浜市中区\t本町\t複数（同じ名前の市区町村がほかにもあります。）\n"
            "461-0011\t461-01\t愛知県\t名古屋市中区\t本町\t複数（同じ名前の市区町村がほかにもあります。）\n"
            "731-0011\t731-01\t広島県\t広島市中区\t本町\t複数（同じ名前の市区町村がほかにもあります。）\n");

  // The column: the town as an address writes it, Japan Post's note in the
  // status, which names the three answers as the exit status does.
  ColumnOptions options;
  options.column = 1;
  std::istringstream table(unknownTown + "\n東京都新宿区西新宿2-8-1\n");
  auto [columnStatus, rows] =
      Capture<CsvOutput>([&](LookupOutput& out) { return ConvertAddressColumn(kDic, table, options, out); }, ',');
  EXPECT_EQ(columnStatus, 3);
  EXPECT_EQ(rows, unknownTown +
                      ",100-0000,東京都,千代田区,,市区町村のみ\n"
                      "東京都新宿区西新宿2-8-1,160-0023,東京都,新宿区,西新宿,一致\n");
}

// A code written on the line is checked: agreeing, the status says so;
// disagreeing, a status of its own names both in every format, and the
// column shows which rows of a customer list carry a wrong code.
TEST(LookupModes, CodesWrittenOnTheLineAreChecked) {
  const std::string agreeing = "〒160-0023 東京都新宿区西新宿2-8-1", wrong = "東京都新宿区西新宿2-8-1 〒160-0099";
  auto [status, text] = Capture<TextOutput>([&](LookupOutput& out) {
    return ResolveAddresses(kDic, {agreeing, wrong}, out);
  });
  EXPECT_EQ(status, 1);
  EXPECT_EQ(text,
            "160-0023\t160\t東京都\t新宿区\t西新宿\t一致・番号確認（書かれた郵便番号 160-0023 と合っています。）\n"
            "160-0023\t160\t東京都\t新宿区\t西新宿\t番号不一致（書かれた郵便番号 160-0099 は住所の郵便番号 160-0023 "
            "と合いません。）\n");
  EXPECT_EQ(Capture<TextOutput>([&](LookupOutput& out) { return ResolveAddresses(kDic, {agreeing}, out); }).first, 0);
  auto [jsonStatus, json] =
      Capture<JsonOutput>([&](LookupOutput& out) { return ResolveAddresses(kDic, {wrong}, out); });
  EXPECT_NE(json.find("\"status\":\"番号不一致\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"written_code\":\"160-0099\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"candidates\":[{\"new\":\"160-0023\""), std::string::npos) << json;
  ColumnOptions options;
  options.column = 1;
  std::istringstream table(agreeing + "\n" + wrong + "\n");
  auto [columnStatus, rows] =
      Capture<CsvOutput>([&](LookupOutput& out) { return ConvertAddressColumn(kDic, table, options, out); }, ',');
  EXPECT_EQ(columnStatus, 1);
  EXPECT_EQ(rows, agreeing + ",160-0023,東京都,新宿区,西新宿,一致・番号確認\n" + wrong +
                      ",160-0023,東京都,新宿区,西新宿,番号不一致（書かれた番号 160-0099）\n");
}

// Codes in a column: notes go to the status, floors stay in the town (the
// dictionary keeps no 「以下に掲載がない場合」 or 「次のビルを除く」 to move).
TEST(LookupModes, CodeColumnPutsJapanPostsNotesInTheStatus) {
  ColumnOptions options;
  options.column = 1;
  auto c = ConvertText("1600023\n1631490\n1631401\n1000000\n", options);
  EXPECT_EQ(c.status, 0);
  EXPECT_EQ(c.out,
            "1600023,160-0023,東京都,新宿区,西新宿,一致\n"
            "1631490,163-1490,東京都,新宿区,西新宿東京オペラシティ,一致（地階・階層不明）\n"
            "1631401,163-1401,東京都,新宿区,西新宿東京オペラシティ１階,一致\n"
            "1000000,100-0000,東京都,千代田区,,一致\n");
}

// Shift-JIS from standard input, for codes and for addresses; an encoding
// the program does not know is a usage error; the dashes Shift-JIS and
// half-width kana give are taken in codes.
TEST(LookupModes, StandardInputHonoursShiftJis) {
  const char* unknown[] = {"kovant-lookup", "--encoding", "latin1", "--address", "-"};
  EXPECT_EQ(ParseOptions(5, unknown).mode, Mode::Usage);
  const std::string folder = kovant::test::TempFolder("lookup-sjis");
  const std::string codes = folder + "/codes.txt", addresses = folder + "/addresses.txt";
  // "〒100―0001" and "100ｰ0001" in Shift-JIS (― is 81 5C, ｰ is B0).
  std::ofstream(codes, std::ios::binary)
      << "\x81\xa7\x31\x30\x30\x81\x5c\x30\x30\x30\x31\r\n100\xb0\x30\x30\x30\x31\r\n";
  // "新宿区高田馬場1-2-3".
  std::ofstream(addresses, std::ios::binary) << "\x90\x56\x8f\x68\x8b\xe6\x8d\x82\x93\x63\x94\x6e\x8f\xea"
                                                "1-2-3\r\n";
  const int fd = open(codes.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  auto [status, lines] = Capture<TextOutput>([&](LookupOutput& out) { return LookUpCodeLines(kDic, fd, out, "sjis"); });
  close(fd);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(lines, "100-0001\t100\t東京都\t千代田区\t千代田\n100-0001\t100\t東京都\t千代田区\t千代田\n");

  const std::string dicArg = kDic;
  const char* argv[] = {"kovant-lookup", "--dic", dicArg.c_str(), "--encoding", "sjis", "--address"};
  const Options o = ParseOptions(6, argv);
  ASSERT_EQ(o.mode, Mode::Address);
  const int saved = dup(STDIN_FILENO);
  const int in = open(addresses.c_str(), O_RDONLY);
  ASSERT_GE(in, 0);
  dup2(in, STDIN_FILENO);
  close(in);
  auto [addressStatus, resolved] = Capture<TextOutput>([&](LookupOutput& out) { return kovant::lookup::Run(o, out); });
  dup2(saved, STDIN_FILENO);
  close(saved);
  EXPECT_EQ(addressStatus, 0);
  EXPECT_EQ(resolved, "169-0075\t169\t東京都\t新宿区\t高田馬場\t一致\n");
}

// Text in the other encoding is said, never answered 該当なし in silence:
// a UTF-8 row in a Shift-JIS table is named like a Shift-JIS row in a UTF-8
// one, Shift-JIS addresses read as UTF-8 get a hint; a long bad code is cut
// on standard error and named by its line; a column too far out is said to
// be too large.
TEST(LookupFaults, TheOtherEncodingIsSaidAndLongBadLinesAreCut) {
  ColumnOptions options;
  options.column = 1;
  const std::string sjisRows = "1000001,\x8e\x52\x93\x63\n1000001,\x8d\xb2\x93\xa1\n";  // 山田, 佐藤
  auto mixed = ConvertText(sjisRows + "1000001,鈴木\n" + sjisRows, options);
  EXPECT_EQ(mixed.status, 1);
  EXPECT_NE(mixed.out.find("1000001,鈴木,,,,," + kovant::platform::Utf8ToSjis("不正（文字コード）") + "\n"),
            std::string::npos);
  EXPECT_EQ(mixed.err, "kovant-lookup: 行 3: UTF-8 の行です（表は Shift-JIS として読んでいます）。\n");

  const std::string folder = kovant::test::TempFolder("lookup-other-encoding");
  const std::string addresses = folder + "/addresses.txt", codes = folder + "/codes.txt";
  // "新宿区高田馬場1-2-3" twice in Shift-JIS.
  std::ofstream(addresses, std::ios::binary) << "\x90\x56\x8f\x68\x8b\xe6\x8d\x82\x93\x63\x94\x6e\x8f\xea"
                                                "1-2-3\nabc\n\x90\x56\x8f\x68\x8b\xe6\n";
  auto run = [](const std::string& path, auto mode) {
    const int fd = open(path.c_str(), O_RDONLY);
    testing::internal::CaptureStderr();
    auto [status, text] = Capture<TextOutput>([&](LookupOutput& out) { return mode(fd, out); });
    close(fd);
    return std::tuple{status, text, testing::internal::GetCapturedStderr()};
  };
  auto [status, text, err] =
      run(addresses, [](int fd, LookupOutput& out) { return ResolveAddressLines(kDic, fd, out); });
  EXPECT_EQ(status, 1);
  EXPECT_EQ(err,
            "kovant-lookup: 行 1: UTF-8 として読めません（Shift-JIS の入力なら --encoding sjis を付けてください）。\n"
            "kovant-lookup: UTF-8 として読めない行が全部で 2 行ありました。\n");
  auto [sjisStatus, sjisText, sjisErr] =
      run(addresses, [](int fd, LookupOutput& out) { return ResolveAddressLines(kDic, fd, out, "sjis"); });
  EXPECT_EQ(sjisText.substr(0, sjisText.find('\n')), "169-0075\t169\t東京都\t新宿区\t高田馬場\t一致");
  EXPECT_EQ(sjisErr, "");

  std::ofstream(codes, std::ios::binary) << "1000001\n" << std::string(size_t{1} << 20, '9') << "\n1000001\n";
  auto [codeStatus, codeText, codeErr] =
      run(codes, [](int fd, LookupOutput& out) { return LookUpCodeLines(kDic, fd, out); });
  EXPECT_EQ(codeStatus, 1);
  EXPECT_LT(codeErr.size(), 300u);
  EXPECT_EQ(codeErr.rfind("行 2: " + std::string(64, '9') + "…（1048576 バイト）: ", 0), 0u) << codeErr.substr(0, 300);

  const char* far[] = {"kovant-lookup", "--column", "4294967297"};
  const Options o = ParseOptions(3, far);
  EXPECT_EQ(o.mode, Mode::Usage);
  EXPECT_EQ(o.error, "kovant-lookup: --column の列番号が大きすぎます（100000 まで）: 4294967297\n");
}

// An address is at most 1,000 characters: a longer one is answered 該当なし
// with the reason, at once (the rest of a line of 64 MiB after "大阪市" was
// once copied for every city of that name: 45 s and 1.8 GB).
TEST(LookupFaults, AnAddressOverAThousandCharactersIsNoAddress) {
  const std::string street = "東京都新宿区高田馬場１－２－３";  // 15 characters
  std::string longest = street;
  while (longest.size() < 3 * 985 + street.size()) longest += "Ａ";
  const std::string tooLong = longest + "Ａ";
  const std::string huge = "東京都新宿区" + std::string(size_t{16} << 20, '1');
  auto [status, text] = Capture<TextOutput>([&](LookupOutput& out) {
    return ResolveAddresses(kDic, {longest, tooLong, huge}, out);
  });
  EXPECT_EQ(status, 1);
  EXPECT_EQ(text,
            "169-0075\t169\t東京都\t新宿区\t高田馬場\t一致\n"
            "\t\t\t\t\t該当なし（住所が 1000 文字を超えています。）\n"
            "\t\t\t\t\t該当なし（住所が 1000 文字を超えています。）\n");
}

// The dictionary with a code section still well-formed but wrong: each
// entry takes the next one's town.
std::string RotatedCodeSection(const std::string& bytes, const kovant::dict::Section& code) {
  std::string rotated = bytes;
  const size_t first = static_cast<size_t>(code.pos - 1) + 4 + 4 * 10001;
  const size_t last = static_cast<size_t>(code.pos - 1 + code.length) - 6;
  for (size_t e = first; e < last; e += 6) rotated.replace(e + 2, 4, bytes, e + 8, 4);
  rotated.replace(last + 2, 4, bytes, first + 2, 4);
  return rotated;
}

// Sections after the records that disagree with them are set aside, and
// the answers come from the records: a code section whose entries point at
// each other's towns (each batch answer was 該当なし), readings whose texts
// lie outside the section (--find and --address failed).
TEST(LookupFaults, AWrongCodeSectionOrBrokenReadingsStillAnswerFromTheRecords) {
  const std::string bytes = kovant::test::ReadAll(kDic);
  auto dic = kovant::dict::DicFile::FromBytes(bytes);
  auto sections = kovant::dict::ReadSectionTable(*dic);
  ASSERT_TRUE(sections.ok());
  const auto* code = kovant::dict::FindSection(*sections, kovant::dict::kCodeSectionTag);
  const auto* read = kovant::dict::FindSection(*sections, kovant::dict::kReadingSectionTag);
  ASSERT_TRUE(code && read);
  const std::string folder = kovant::test::TempFolder("lookup-sections");

  std::ofstream(folder + "/code.DIC", std::ios::binary) << RotatedCodeSection(bytes, *code);

  std::string broken = bytes;  // every text offset far past the texts
  const size_t entries = static_cast<size_t>(read->pos - 1) + 4;
  const auto count = static_cast<size_t>(kovant::dict::ReadI32(reinterpret_cast<const uint8_t*>(&bytes[entries - 4])));
  for (size_t e = 0; e < count; ++e) broken.replace(entries + 8 * e + 4, 4, "\xF0\xFF\xFF\x7F", 4);
  std::ofstream(folder + "/read.DIC", std::ios::binary) << broken;

  std::string codes;
  const std::string csv = kovant::test::ReadAll(std::string(KOVANT_SOURCE_DIR) + "/data/sample_towns.csv");
  for (size_t at = csv.find(",\""); at != std::string::npos; at = csv.find(",\"", at + 1)) {
    const std::string field = csv.substr(at + 2, 8);  // the third field: "NNNNNNN"
    if (field.size() == 8 && field[7] == '"' && field.find_first_not_of("0123456789") == 7) {
      codes += field.substr(0, 7) + "\n";
    }
  }
  const std::string codeFile = folder + "/codes.txt";
  std::ofstream(codeFile, std::ios::binary) << codes;
  auto batch = [&](const std::string& dicPath) {
    const int fd = open(codeFile.c_str(), O_RDONLY);
    auto answer = Capture<TextOutput>([&](LookupOutput& out) { return LookUpCodeLines(dicPath, fd, out); });
    close(fd);
    return answer;
  };
  const auto intact = batch(kDic);
  EXPECT_EQ(intact.first, 0);
  EXPECT_EQ(intact.second.find("該当なし"), std::string::npos);
  EXPECT_EQ(batch(folder + "/code.DIC"), intact);
  EXPECT_EQ(batch(folder + "/read.DIC"), intact);

  const std::vector<std::string> addresses = {"東京都新宿区高田馬場１－２－３", "札幌市中央区本町", "千代田区千代田"};
  for (const std::string& dicPath : {folder + "/code.DIC", folder + "/read.DIC"}) {
    auto find = [&](const std::string& path) {
      return Capture<TextOutput>([&](LookupOutput& out) { return FindTowns(path, "高田馬場", 50, out); });
    };
    auto resolve = [&](const std::string& path) {
      return Capture<TextOutput>([&](LookupOutput& out) { return ResolveAddresses(path, addresses, out); });
    };
    EXPECT_EQ(find(dicPath), find(kDic)) << dicPath;
    EXPECT_EQ(find(kDic).first, 0);
    EXPECT_EQ(resolve(dicPath), resolve(kDic)) << dicPath;
    EXPECT_EQ(resolve(kDic).first, 0) << resolve(kDic).second;
  }
}

// The version of the file at path.
kovant::platform::FileIdentity IdentityAt(const std::string& path) {
  return kovant::platform::IdentityOfPath(path).value_or(kovant::platform::FileIdentity{});
}

// A check of the code section that passed is noted for that version of
// the file alone: the file changed in place afterwards, even with its
// modification time put back, is checked again and its wrong section set
// aside. And the note is what is trusted: noting the changed version too
// makes its section answer.
TEST(LookupFaults, ANotedCheckVouchesForThatVersionOfTheFileAlone) {
  namespace platform = kovant::platform;
  const std::string bytes = kovant::test::ReadAll(kDic);
  auto sections = kovant::dict::ReadSectionTable(*kovant::dict::DicFile::FromBytes(bytes));
  ASSERT_TRUE(sections.ok());
  const auto* code = kovant::dict::FindSection(*sections, kovant::dict::kCodeSectionTag);
  ASSERT_TRUE(code);
  const std::string folder = kovant::test::TempFolder("lookup-noted"), path = folder + "/KOVANT.DIC";
  std::ofstream(path, std::ios::binary) << bytes;
  const char* cacheWas = std::getenv("XDG_CACHE_HOME");
  const std::string cacheBefore = cacheWas ? cacheWas : "";
  setenv("XDG_CACHE_HOME", (folder + "/cache").c_str(), 1);
  const auto note = platform::CheckNotePath();
  ASSERT_EQ(note, folder + "/cache/kovant/checked");
  const std::vector<std::string> codes = {"1000001", "1690075", "0640942", "9999999"};
  auto lookUp = [&] { return Capture<TextOutput>([&](LookupOutput& out) { return LookUpCodes(path, codes, out); }); };
  const auto intact = lookUp();
  EXPECT_NE(intact.second.find("千代田"), std::string::npos);
  const auto before = IdentityAt(path);
  EXPECT_FALSE(platform::NotedAsChecked(*note, before, kovant::dict::kCodeIndexCheck)) << "a fresh file was noted";
  platform::NoteChecked(*note, before, kovant::dict::kCodeIndexCheck, before.changeNs + platform::kSettledNs);
  ASSERT_TRUE(platform::NotedAsChecked(*note, before, kovant::dict::kCodeIndexCheck));
  EXPECT_EQ(lookUp(), intact);

  // A change within the clock tick of the file's last one keeps every time
  // (why fresh files are never noted): wait for the next tick.
  const std::string probe = folder + "/probe";
  for (int tries = 0; tries < 100000 && IdentityAt(probe).changeNs <= before.changeNs; ++tries) {
    std::ofstream(probe) << tries;
  }
  const std::string rotated = RotatedCodeSection(bytes, *code);
  const int fd = open(path.c_str(), O_WRONLY);
  const auto at = static_cast<size_t>(code->pos - 1);
  ASSERT_EQ(pwrite(fd, rotated.data() + at, static_cast<size_t>(code->length), static_cast<off_t>(at)), code->length);
  const timespec times[2] = {{0, UTIME_OMIT},
                             {static_cast<time_t>(before.mtimeNs / 1000000000), before.mtimeNs % 1000000000}};
  ASSERT_EQ(futimens(fd, times), 0);
  close(fd);
  const auto after = IdentityAt(path);
  EXPECT_EQ(after.mtimeNs, before.mtimeNs) << "the times put back";
  EXPECT_EQ(after.inode, before.inode);
  EXPECT_EQ(lookUp(), intact);

  platform::NoteChecked(*note, after, kovant::dict::kCodeIndexCheck, after.changeNs + platform::kSettledNs);
  EXPECT_NE(lookUp().second, intact.second);
  // A note others may write vouches for nothing.
  chmod(note->c_str(), 0666);
  EXPECT_EQ(lookUp(), intact);
  EXPECT_FALSE(platform::NotedAsChecked(*note, after, kovant::dict::kCodeIndexCheck));
  chmod(note->c_str(), 0600);

  // Only a file unchanged for some seconds is noted; the note keeps the
  // last sixteen.
  platform::FileIdentity other = after;
  platform::NoteChecked(*note, other, "other", other.changeNs + platform::kSettledNs - 1);
  EXPECT_FALSE(platform::NotedAsChecked(*note, other, "other"));
  for (int i = 0; i < 20; ++i) {
    other.inode = after.inode + 1 + static_cast<uint64_t>(i);
    platform::NoteChecked(*note, other, "other", other.changeNs + platform::kSettledNs);
  }
  EXPECT_TRUE(platform::NotedAsChecked(*note, other, "other"));
  EXPECT_FALSE(platform::NotedAsChecked(*note, after, kovant::dict::kCodeIndexCheck)) << "the oldest dropped";
  const std::string lines = kovant::test::ReadAll(*note);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 16);
  if (cacheWas) {
    setenv("XDG_CACHE_HOME", cacheBefore.c_str(), 1);
  } else {
    unsetenv("XDG_CACHE_HOME");
  }
}

// A dictionary that cannot be used is told once, as when the prefectures
// were read before the index, and ends with status 2 whether the codes
// come as arguments or on standard input, an empty one included.
TEST(LookupFaults, AnUnusableDictionaryIsToldOnceWithStatus2) {
  const std::string folder = kovant::test::TempFolder("lookup-unusable");
  const std::string missing = folder + "/none.DIC", older = folder + "/older.DIC", empty = folder + "/empty.txt";
  std::string bytes = kovant::test::ReadAll(kDic);
  kovant::dict::PatchI32(bytes, kovant::dict::header::kVersion, 99);
  std::ofstream(older, std::ios::binary) << bytes;
  std::ofstream(empty, std::ios::binary).flush();
  const std::map<std::string, std::string> told = {
      {missing, kovant::dict::ReadErrorMessage(missing, {kovant::platform::SystemErrorText(ENOENT)}) + "\n"},
      {older, "辞書のバージョンが違います。\n"}};
  for (const auto& [path, message] : told) {
    testing::internal::CaptureStderr();
    auto args = Capture<TextOutput>([&](LookupOutput& out) { return LookUpCodes(path, {"1000001"}, out); });
    EXPECT_EQ(testing::internal::GetCapturedStderr(), message);
    EXPECT_EQ(args, std::make_pair(2, std::string()));
    const int fd = open(empty.c_str(), O_RDONLY);
    testing::internal::CaptureStderr();
    auto lines = Capture<TextOutput>([&](LookupOutput& out) { return LookUpCodeLines(path, fd, out); });
    close(fd);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), message);
    EXPECT_EQ(lines, args);
  }
}

// Every "--name" in a text, and "-h" where it stands alone.
std::set<std::string> OptionNamesIn(const std::string& text) {
  std::set<std::string> names;
  const std::regex option(R"((^|[^\w-])(--[a-z][a-z-]*|-h)\b)");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), option); it != std::sregex_iterator(); ++it) {
    names.insert((*it)[2]);
  }
  return names;
}

TEST(LookupHelp, HelpAndManPageNameEveryOptionTheParserTakes) {
  std::set<std::string> taken;
  const std::string help = UsageText();
  for (const auto& spec : OptionTable()) {
    taken.insert(spec.name);
    if (spec.alias) taken.insert(spec.alias);
    // Each option has a line of its own in --help.
    EXPECT_NE(help.find(std::string("\n  ") + spec.label + "  "), std::string::npos) << spec.name;
    // The parser takes it (and its value), and goes on to --help.
    const char* value = std::string_view(spec.name) == "--encoding" ? "utf8" : "1";
    const char* argv[] = {"kovant-lookup", spec.name, spec.value ? value : "--help", "--help"};
    EXPECT_EQ(ParseOptions(4, argv).mode, Mode::Help) << spec.name;
  }
  EXPECT_EQ(OptionNamesIn(help), taken);
  const char* bogus[] = {"kovant-lookup", "--bogus"};
  EXPECT_EQ(ParseOptions(2, bogus).mode, Mode::Usage);

  // The man pages' synopsis and options, English and Japanese, with troff's
  // escaped hyphens.
  for (const auto& [page, from, to] : {std::tuple{"kovant-lookup.1", ".SH SYNOPSIS", ".SH EXIT STATUS"},
                                       std::tuple{"ja/kovant-lookup.1", ".SH 書式", ".SH 終了ステータス"}}) {
    std::ifstream in(std::string(KOVANT_SOURCE_DIR) + "/docs/man/" + page);
    std::string man((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_NE(man.find(from), std::string::npos) << page;
    man = man.substr(man.find(from), man.find(to) - man.find(from));
    man = std::regex_replace(man, std::regex(R"(\\-)"), "-");
    EXPECT_EQ(OptionNamesIn(man), taken) << page;
  }
}

// The Japanese manual pages keep up with the English ones: each names every
// option, status and exit status its English page names.
TEST(LookupHelp, EachJapaneseManPageNamesWhatItsEnglishPageNames) {
  auto read = [](const std::string& page) {
    std::ifstream in(std::string(KOVANT_SOURCE_DIR) + "/docs/man/" + page);
    std::string man((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return std::regex_replace(man, std::regex(R"(\\-)"), "-");
  };
  auto all = [](const std::string& text, const std::regex& pattern, int group) {
    std::set<std::string> found;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern); it != std::sregex_iterator(); ++it) {
      found.insert((*it)[group]);
    }
    return found;
  };
  const std::regex option(R"((^|[^A-Za-z0-9_-])(--?[a-z][a-z-]*))");
  const std::regex status("(一致|複数|該当なし|市区町村のみ|不正|最新です)");
  const std::regex digit(R"((^|[^0-9.])([0-9])($|[^0-9.]))");
  for (const char* name : {"kovant.1", "kovant-link.1", "kovant-lookup.1", "kovant-mkdic.1"}) {
    const std::string en = read(name), ja = read(std::string("ja/") + name);
    ASSERT_FALSE(en.empty() || ja.empty()) << name;
    auto section = [](const std::string& man, const std::string& title) {
      const size_t at = man.find(".SH " + title);
      if (at == std::string::npos) return std::string();
      return man.substr(at, man.find(".SH ", at + 4) - at);
    };
    for (const auto& [what, pattern, group, english, japanese] :
         {std::tuple{"option", &option, 2, en, ja}, std::tuple{"status", &status, 1, en, ja},
          std::tuple{"exit status", &digit, 2, section(en, "EXIT STATUS"), section(ja, "終了ステータス")}}) {
      const auto wanted = all(english, *pattern, group), named = all(japanese, *pattern, group);
      for (const auto& w : wanted) EXPECT_TRUE(named.count(w)) << "ja/" << name << " lacks the " << what << " " << w;
    }
  }
  // The README's commands work on a machine without sudo (a Debian box
  // installed with a root password), and the dictionary's page names all
  // of its places.
  const std::string readme = read("../../README.md"), places = read("../../docs/DICTIONARY.md");
  EXPECT_FALSE(std::regex_search(readme, std::regex("(^|\n)(\\$ )?sudo "))) << "a command starts with sudo";
  EXPECT_NE(places.find("`${XDG_DATA_HOME:-~/.local/share}/kovant`, `/var/lib/kovant`"), std::string::npos);
  EXPECT_NE(readme.find("/etc/default/kovant"), std::string::npos);
  EXPECT_NE(places.find("/etc/default/kovant"), std::string::npos);
}

}  // namespace
