#include <sys/resource.h>
#include <unistd.h>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <cstdio>

#include <gtest/gtest.h>

#include "dict/chain.h"
#include "dict/codeinput.h"
#include "dict/address.h"
#include "dict/variants.h"
#include "dict/census.h"
#include "dict/codeindex.h"
#include "dict/search.h"
#include "dict/walk.h"
#include "dicfixture.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "process.h"
#include "testdata.h"

using namespace kovant;
using namespace kovant::test;

namespace {

// Prefecture 1 (prefix 06) has four cities whose flags for the third digit 0
// say: 3 both kinds, 0 neither, 1 former codes only, 2 current codes only;
// each holds towns that would match if the city were read. Prefecture 47
// (prefix 90) has one city; the city area ends with the end marker.
class SearchFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    RawDic d;
    std::vector<int32_t> prefPos;
    for (int n = 1; n <= 47; ++n) {
      std::vector<uint8_t> prefixes = n == 1    ? std::vector<uint8_t>{6}
                                      : n == 47 ? std::vector<uint8_t>{90}
                                                : std::vector<uint8_t>{};
      prefPos.push_back(d.Pref(static_cast<uint8_t>(n), 0, prefixes,
                               Sjis(n == 1    ? "北海道"
                                    : n == 47 ? "沖縄"
                                              : "青森")));
    }
    auto flags0 = [](int f) { return Flags({f, 0, 0, 0, 0, 0, 0, 0, 0, 0}); };
    int32_t c1 = d.City(1, 1, 0, flags0(3), Sjis("甲市"));
    int32_t c2 = d.City(1, 2, 0, flags0(0), Sjis("乙市"));
    int32_t c3 = d.City(1, 3, 0, flags0(1), Sjis("丙市"));
    int32_t c4 = d.City(1, 4, 0, flags0(2), Sjis("丁市"));
    int32_t c47 = d.City(47, 5, 0, Flags({0, 3, 0, 0, 0, 0, 0, 0, 0, 0}), Sjis("那覇市"));
    int32_t end = d.City(255, 0, 0, {}, "");
    d.PatchI32(prefPos[0], 1, c1);
    d.PatchI32(prefPos[46], 1, c47);
    for (int n = 2; n <= 46; ++n) d.PatchI32(prefPos[static_cast<size_t>(n - 1)], 1, end);
    d.PatchI32(c1, 3, d.Pos());
    hon = d.Town(1, 6000, 100600001, Sjis("本町"));                  // 060, 060-0001
    sakae = d.Town(1, 6001, 200600002, Sjis("栄町（１～３丁目）"));  // 060-01, 060-0002
    nameless = d.Town(1, 6000, 100600000, "");                       // 060, 060-0000
    d.PatchI32(c2, 3, d.Pos());
    d.Town(2, 6000, 100600003, Sjis("乙町"));
    d.PatchI32(c3, 3, d.Pos());
    d.Town(3, 6000, 100600009, Sjis("丙町"));
    d.PatchI32(c4, 3, d.Pos());
    d.Town(4, 6000, 100600010, Sjis("丁町"));
    d.PatchI32(c47, 3, d.Pos());
    d.Town(5, 100, 199010001, Sjis("（那覇）"));
    d.Town(0, 0, 0, "");
    folder = TempFolder("search");
    path = folder + "/KOVANT.DIC";
    d.Write(path);
    auto loaded = dict::LoadDictionary(path);
    ASSERT_TRUE(loaded.ok());
    table = loaded->table;
  }

  std::vector<std::string> Texts(std::string_view code) {
    auto r = dict::SearchPostalCode(path, table, code);
    EXPECT_TRUE(r.warning.empty());
    EXPECT_FALSE(r.readError);
    std::vector<std::string> out;
    for (const dict::RowView row : r.rows) out.emplace_back(row.text);
    return out;
  }

  std::string folder, path;
  dict::PrefectureTable table;
  int32_t hon = 0, sakae = 0, nameless = 0;
};

using Rows = std::vector<std::string>;

TEST_F(SearchFixture, RefusesWrongLengthsBeforeDigits) {
  for (const char* code : {"", "1", "1234", "123456", "12345678", "12a4"}) {
    EXPECT_EQ(dict::SearchPostalCode(path, table, code).warning, dict::kWrongLengthMessage) << code;
  }
  // Lengths are counted in characters: ０６０ is three, not nine bytes.
  for (const char* code : {"12a", "06-01", "０６０", "06 00"}) {
    auto r = dict::SearchPostalCode(path, table, code);
    EXPECT_EQ(r.warning, dict::kNotDigitsMessage) << code;
    EXPECT_TRUE(r.rows.empty());
    EXPECT_TRUE(r.heading.empty());
  }
}

TEST_F(SearchFixture, MatchesEachCodeKindExactly) {
  EXPECT_EQ(Texts("0600001"), Rows({"北海道 甲市 本町"}));
  // A three-digit code finds only three-digit former codes, never the head
  // of a five-digit one.
  EXPECT_EQ(Texts("060"), Rows({"北海道 甲市 ", "北海道 甲市 本町", "北海道 丙市 丙町"}));
  EXPECT_EQ(Texts("06001"), Rows({"北海道 甲市 栄町（１～３丁目）"}));
  EXPECT_EQ(Texts("06000"), Rows{});
  EXPECT_EQ(Texts("0600002"), Rows({"北海道 甲市 栄町（１～３丁目）"}));
  EXPECT_EQ(Texts("901"), Rows({"沖縄県 那覇市 （那覇）"}));
  EXPECT_EQ(Texts("9010001"), Rows({"沖縄県 那覇市 （那覇）"}));
  EXPECT_EQ(Texts("5000000"), Rows{});
}

TEST_F(SearchFixture, CityFlagsDecideWhichCitiesAreRead) {
  // Flag 0: its town is never reached.
  EXPECT_EQ(Texts("0600003"), Rows{});
  // Flag 1: former codes only.
  EXPECT_EQ(Texts("0600009"), Rows{});
  // Flag 2: current codes only.
  EXPECT_EQ(Texts("0600010"), Rows({"北海道 丁市 丁町"}));
  for (const auto& t : Texts("060")) EXPECT_EQ(t.find("丁町"), std::string::npos);
}

TEST_F(SearchFixture, HeadingCountsRows) {
  EXPECT_EQ(dict::SearchPostalCode(path, table, "060").heading, "該　当　住　所 （3 件）");
  EXPECT_EQ(dict::SearchPostalCode(path, table, "0600003").heading, "該　当　住　所 （0 件）");
  EXPECT_EQ(dict::ResultHeading(10), "該　当　住　所 （10 件）");
}

TEST_F(SearchFixture, APrefectureIsScannedOnceEvenWhenItsPrefixIsListedTwice) {
  // A town is never listed twice, whatever a damaged prefix list says.
  auto doubled = table;
  doubled.rows[0].PrefixCount = 2;
  doubled.rows[0].Prefixes[1] = 6;
  auto found = dict::SearchPostalCode(path, doubled, "0600001");
  EXPECT_EQ(found.rows.size(), 1u);
  EXPECT_FALSE(found.readError);
  // Entries past PrefixCount are ignored.
  auto hidden = table;
  hidden.rows[0].PrefixCount = 0;
  EXPECT_TRUE(dict::SearchPostalCode(path, hidden, "0600001").rows.empty());
}

TEST_F(SearchFixture, PickSplitsTheRowAndMovesTheInnerText) {
  auto rows = dict::SearchPostalCode(path, table, "06001").rows;
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].itemData, sakae);
  auto r = dict::ShowPickedResult(path, rows[0], "typed");
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r->OldCode, "060-01");
  EXPECT_EQ(r->NewCode, "060-0002");
  EXPECT_EQ(r->Address1, "北海道");
  EXPECT_EQ(r->Address2, "甲市");
  EXPECT_EQ(r->Address3, "栄町");
  EXPECT_EQ(r->Supplement, "１～３丁目");

  auto plain = dict::ShowPickedResult(path, dict::SearchPostalCode(path, table, "0600001").rows[0], "typed");
  ASSERT_TRUE(plain.ok());
  EXPECT_EQ(plain->OldCode, "060");
  EXPECT_EQ(plain->Address3, "本町");
  EXPECT_EQ(plain->Supplement, "typed");
}

TEST_F(SearchFixture, PickOfANamelessTownLeavesAddress3Empty) {
  auto rows = dict::SearchPostalCode(path, table, "0600000").rows;
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].text, "北海道 甲市 ");
  auto r = dict::ShowPickedResult(path, rows[0], "");
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r->Address3, "");
  EXPECT_EQ(r->Address1 + r->Address2 + r->Address3, "北海道甲市");
}

TEST_F(SearchFixture, PickOfUnusualParentheses) {
  dict::RowView open{"北海道 甲市 本町（", hon};
  auto r = dict::ShowPickedResult(path, open, "x");
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r->Address3, "本町");
  EXPECT_EQ(r->Supplement, "");
  // A name cut without its closing parenthesis keeps all of its text.
  dict::RowView cut{"北海道 甲市 本町（一、二", hon};
  EXPECT_EQ(dict::ShowPickedResult(path, cut, "")->Supplement, "一、二");
}

TEST_F(SearchFixture, DictionaryRemovedAfterStartIsAReadError) {
  std::filesystem::remove(path);
  auto r = dict::SearchPostalCode(path, table, "0600001");
  EXPECT_TRUE(r.readError);
  EXPECT_FALSE(dict::ShowPickedResult(path, dict::RowView{"北海道 甲市 本町", hon}, "").ok());
  EXPECT_TRUE(dict::LoadCities(path, table, 1).readError);
}

TEST_F(SearchFixture, WalkListsCitiesOfOnePrefecture) {
  auto c = dict::LoadCities(path, table, 1);
  ASSERT_FALSE(c.readError);
  std::vector<std::string> names;
  for (auto& e : c.entries) names.push_back(e.text);
  // Shift-JIS order: 丁 (0x929A) 乙 (0x89B3) 丙 (0x95B8) 甲 (0x8D62)
  EXPECT_EQ(names, Rows({"乙市", "甲市", "丁市", "丙市"}));
  EXPECT_EQ(c.heading, "住所２（ 4 件）");
  // Item values are the sequence in file order; the city table follows it.
  ASSERT_EQ(c.cityTable.size(), 4u);
  for (auto& e : c.entries) {
    EXPECT_EQ(c.cityTable[static_cast<size_t>(e.itemData - 1)].CityNo, e.itemData);
  }
  // The last prefecture's chain stops at the end marker.
  auto last = dict::LoadCities(path, table, 47);
  ASSERT_EQ(last.entries.size(), 1u);
  EXPECT_EQ(last.entries[0].text, "那覇市");
  EXPECT_EQ(last.heading, "住所２（ 1 件）");
  // A prefecture that has no cities, and numbers outside the table.
  EXPECT_TRUE(dict::LoadCities(path, table, 2).entries.empty());
  EXPECT_TRUE(dict::LoadCities(path, table, 0).entries.empty());
  EXPECT_TRUE(dict::LoadCities(path, table, 48).entries.empty());
}

TEST_F(SearchFixture, WalkListsTownsWithTheNamelessEntryFirst) {
  auto c = dict::LoadCities(path, table, 1);
  auto t = dict::LoadTowns(path, c.cityTable[0]);
  ASSERT_FALSE(t.readError);
  ASSERT_EQ(t.entries.size(), 3u);
  EXPECT_EQ(t.entries[0].text, " 以下に該当する住所がない場合");
  EXPECT_EQ(t.entries[0].itemData, nameless);
  EXPECT_EQ(t.heading, "住所３（ 3 件）");
}

TEST_F(SearchFixture, TownStepFormsCodesAndSupplement) {
  auto t = dict::LoadTowns(path, dict::LoadCities(path, table, 1).cityTable[0]);
  auto find = [&](const std::string& text) {
    for (auto& e : t.entries)
      if (e.text == text) return e;
    ADD_FAILURE() << text;
    return dict::ListEntry{};
  };
  auto r = dict::ShowTownResult(path, "北海道", "甲市", find("栄町（１～３丁目）"), "old", false);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r->Address3, "栄町");
  EXPECT_EQ(r->Supplement, "（１～３丁目）");
  EXPECT_EQ(r->OldCode, "060-01");
  EXPECT_EQ(r->NewCode, "060-0002");
  // The parenthesised part replaces the supplement even when it is kept.
  EXPECT_EQ(dict::ShowTownResult(path, "北海道", "甲市", find("栄町（１～３丁目）"), "old", true)->Supplement,
            "（１～３丁目）");
  // Without parentheses: cleared, or kept with InputClear.
  EXPECT_EQ(dict::ShowTownResult(path, "北海道", "甲市", find("本町"), "typed", false)->Supplement, "");
  EXPECT_EQ(dict::ShowTownResult(path, "北海道", "甲市", find("本町"), "typed", true)->Supplement, "typed");
  auto none = dict::ShowTownResult(path, "北海道", "甲市", find(" 以下に該当する住所がない場合"), "", false);
  EXPECT_EQ(none->Address3, "");
  EXPECT_EQ(none->NewCode, "060-0000");
  // A name that begins with the parenthesis.
  auto okinawa = dict::LoadTowns(path, dict::LoadCities(path, table, 47).cityTable[0]);
  auto naha = dict::ShowTownResult(path, "沖縄県", "那覇市", okinawa.entries[0], "", false);
  EXPECT_EQ(naha->Address3, "");
  EXPECT_EQ(naha->Supplement, "（那覇）");
}

TEST(CodeTexts, FollowTheRecordDigits) {
  dict::TownRecord t;
  t.CodeNumber = 100640941;
  t.OldCodeTail = 6400;
  EXPECT_EQ(dict::FormerCodeText(t), "064");
  EXPECT_EQ(dict::CurrentCodeText(t), "064-0941");
  t.CodeNumber = 200640941;
  t.OldCodeTail = 6401;
  EXPECT_EQ(dict::FormerCodeText(t), "064-01");
  t.CodeNumber = 900640941;
  EXPECT_EQ(dict::FormerCodeText(t), "064-01");  // any kind digit but 1: five digits
  // Zero padding.
  t.CodeNumber = 100000001;
  t.OldCodeTail = 5;
  EXPECT_EQ(dict::FormerCodeText(t), "000");
  EXPECT_EQ(dict::CurrentCodeText(t), "000-0001");
  // Every tail and codes across the range, digit for digit as printf
  // writes them.
  char want[16];
  for (int v = 0; v <= 9999999; v += v < 20000 ? 1 : 997) {
    t.CodeNumber = 100000000 + (v % 10) * 10000000 + v;
    t.OldCodeTail = static_cast<int16_t>(v % 10000);
    std::snprintf(want, sizeof want, "%03d-%04d", v / 10000, v % 10000);
    ASSERT_EQ(dict::CurrentCodeText(t), want) << v;
    std::snprintf(want, sizeof want, "%d%02d", v % 10, v % 10000 / 100);
    ASSERT_EQ(dict::FormerCodeText(t), want) << v;
    t.CodeNumber += 100000000;
    std::snprintf(want, sizeof want, "%d%02d-%02d", v % 10, v % 10000 / 100, v % 100);
    ASSERT_EQ(dict::FormerCodeText(t), want) << v;
  }
  // Values a broken file can hold never read out of bounds.
  t.CodeNumber = -1;
  t.OldCodeTail = -1;
  EXPECT_FALSE(dict::FormerCodeText(t).empty());
  EXPECT_FALSE(dict::CurrentCodeText(t).empty());
}

TEST(CodeTexts, EncodingReadsBackAndNumbersAgreeWithDigitsOnEveryWellFormedValue) {
  auto enc = dict::EncodeCodes("064", "0640941");
  ASSERT_TRUE(enc);
  EXPECT_EQ(enc->CodeNumber, 100640941);
  EXPECT_EQ(enc->OldCodeTail, 6400);
  enc = dict::EncodeCodes("06401", "0640941");
  EXPECT_EQ(enc->CodeNumber, 200640941);
  EXPECT_EQ(enc->OldCodeTail, 6401);
  EXPECT_FALSE(dict::EncodeCodes("0640", "0640941"));
  EXPECT_FALSE(dict::EncodeCodes("064", "064094"));
  EXPECT_FALSE(dict::EncodeCodes("06a", "0640941"));
  // Every kind digit, first digit and tail, with current codes spread over
  // their whole range: the number comparison answers as the digit one, for
  // the town's own codes and for their neighbours.
  auto digits = [](int v, int n) {
    std::string s = std::to_string(v);
    return std::string(static_cast<size_t>(n) - s.size(), '0') + s;
  };
  int disagreements = 0;
  for (int kind = 0; kind <= 9; ++kind) {
    for (int first = 0; first <= 9; ++first) {
      for (int tail = 0; tail <= 9999; tail += (kind == 1 || kind == 2) ? 1 : 97) {
        const int current = (tail * 7919 + first * 1000003 + kind) % 10000000;
        dict::TownHead t;
        t.CodeNumber = kind * 100000000 + first * 10000000 + current;
        t.OldCodeTail = static_cast<int16_t>(tail);
        const int former3 = first * 100 + tail / 100, former5 = first * 10000 + tail;
        for (int value : {current, (current + 1) % 10000000}) {
          disagreements += dict::HoldsCode(t, digits(value, 7), value) != dict::HoldsCodeByText(t, digits(value, 7));
        }
        for (int value : {former3, (former3 + 1) % 1000}) {
          disagreements += dict::HoldsCode(t, digits(value, 3), value) != dict::HoldsCodeByText(t, digits(value, 3));
        }
        for (int value : {former5, (former5 + 1) % 100000}) {
          disagreements += dict::HoldsCode(t, digits(value, 5), value) != dict::HoldsCodeByText(t, digits(value, 5));
        }
        if (kind == 1 || kind == 2) {
          auto back = dict::EncodeCodes(kind == 1 ? digits(former3, 3) : digits(former5, 5), digits(current, 7));
          disagreements +=
              !back || back->CodeNumber != t.CodeNumber || back->OldCodeTail != (kind == 1 ? tail / 100 * 100 : tail);
        }
      }
    }
  }
  EXPECT_EQ(disagreements, 0);
}

TEST(Chains, EndAtTheEndOfTheFileWhateverTheOwnerNumber) {
  RawDic d;
  d.Town(0, 0, 0, "");
  std::string path = TempFolder("chain") + "/KOVANT.DIC";
  d.Write(path);
  // Owner 0 matches the zeros beyond the end: the walk must still stop.
  auto t = dict::LoadTowns(path, {0, 101});
  EXPECT_EQ(t.entries.size(), 1u);
}

TEST(SearchSample, SharedCodeListsEveryTown) {
  std::string path = SampleDictionary("shared");
  auto loaded = dict::LoadDictionary(path);
  ASSERT_TRUE(loaded.ok());
  auto r = dict::SearchPostalCode(path, loaded->table, "1690075");
  EXPECT_EQ(r.rows.size(), 3u);
  EXPECT_EQ(r.heading, "該　当　住　所 （3 件）");
}

namespace {

// A file the window's index takes: changed long enough ago to have settled.
void Settle(const std::string& path) {
  std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
}

// What the window shows of a search, and where each row leads.
std::string RowsText(const dict::SearchOutcome& r) {
  std::string t = r.heading + "\n";
  for (const auto& row : r.rows) t += std::to_string(row.itemData) + " " + std::string(row.text) + "\n";
  return t;
}

// The index's rows of code are the scan's: positions and texts in the same
// order; and the window shows the same.
void ExpectListedAsScanned(const dict::CodeIndex& index, const std::string& path, const dict::PrefectureTable& table,
                           const std::string& code) {
  const auto scanned = dict::ScanPostalCode(path, table, code);
  ASSERT_FALSE(scanned.readError) << code;
  auto listed = index.ListCode(code, table);
  ASSERT_TRUE(listed.ok()) << code;
  ASSERT_TRUE(listed->has_value()) << code;
  ASSERT_EQ((*listed)->size(), scanned.rows.size()) << code;
  for (size_t r = 0; r < scanned.rows.size(); ++r) {
    EXPECT_EQ((**listed)[r].itemData, scanned.rows[r].itemData) << code;
    EXPECT_EQ((**listed)[r].text, scanned.rows[r].text) << code;
  }
  EXPECT_EQ(RowsText(dict::SearchPostalCode(path, table, code)), RowsText(scanned)) << code;
}

}  // namespace

// The window's search answers from the code index exactly as the scan of
// the records does: the same rows, keys and positions in the same order,
// for every current and former code of the sample, codes nobody has and
// prefixes that are no code. A table that is not the file's own (a damaged
// one in memory) is left to the scan.
TEST(SearchSample, TheIndexListsEveryCodeAsTheScan) {
  const std::string path = SampleDictionary("indexed");
  Settle(path);
  auto loaded = dict::LoadDictionary(path);
  ASSERT_TRUE(loaded.ok());
  const dict::PrefectureTable& table = loaded->table;
  auto index = dict::CodeIndex::Build(path);
  ASSERT_TRUE(index.ok());
  ASSERT_TRUE(index->HasCodeSection());
  std::set<std::string> codes = {"0000000", "9999999", "999", "99999", "000", "00000"};
  const auto towns = TownsOf(SamplePath());
  for (const auto& t : towns) {
    codes.insert(t.newCode);
    codes.insert(t.oldCode);
    codes.insert(t.newCode.substr(0, 5));
    codes.insert(t.newCode.substr(0, 3));
  }
  size_t rows = 0;
  for (const std::string& code : codes) {
    ExpectListedAsScanned(*index, path, table, code);
    rows += dict::ScanPostalCode(path, table, code).rows.size();
  }
  EXPECT_GE(rows, 2 * towns.size());  // each under its current code and its former one

  auto other = table;
  other.rows[12].PrefixCount = 0;  // Tokyo's prefixes hidden
  auto listed = index->ListCode("1000001", other);
  ASSERT_TRUE(listed.ok());
  EXPECT_FALSE(listed->has_value());
  EXPECT_TRUE(dict::SearchPostalCode(path, other, "1000001").rows.empty());
  EXPECT_EQ(dict::SearchPostalCode(path, table, "1000001").rows.size(), 1u);
}

// Former codes are listed from towns put in order once, city by city: a
// city whose name begins another's (甲, 甲　乙, 甲乙) still lists by the whole
// row, and towns of one name in cities of one name keep file order. Each
// lists as the scan does.
TEST(SearchSample, FormerCodesListAsTheScanWhateverTheCityNames) {
  struct Town {
    const char *lg, *city, *town, *newCode;
  };
  const Town made[] = {
      {"13101", "甲", "本町", "1000001"},     {"13101", "甲", "あ町", "1000002"},
      {"13102", "甲　乙", "あ町", "1000003"}, {"13102", "甲　乙", "本町", "1000004"},
      {"13103", "丙市", "本町", "1000005"},   {"13104", "丙市", "本町", "1000006"},
      {"13104", "丙市", "い町", "1000007"},   {"13105", "甲乙", "う町", "1000008"},
  };
  std::vector<tools::KenRow> towns;
  for (const Town& t : made) {
    tools::KenRow row;
    row.lgCode = t.lg;
    row.oldCode = "100";
    row.newCode = t.newCode;
    row.pref = "東京都";
    row.city = t.city;
    row.town = t.town;
    row.prefKana = row.cityKana = row.townKana = "ｱ";
    towns.push_back(row);
  }
  const std::string path = BuildInto(TempFolder("citynames"), towns);
  Settle(path);
  auto loaded = dict::LoadDictionary(path);
  ASSERT_TRUE(loaded.ok());
  auto index = dict::CodeIndex::Build(path);
  ASSERT_TRUE(index.ok());
  const auto scanned = dict::ScanPostalCode(path, loaded->table, "100");
  std::string texts;
  for (const auto& row : scanned.rows) texts += std::string(row.text.substr(row.text.find(' ') + 1)) + ",";
  EXPECT_EQ(texts, "甲 あ町,甲 本町,甲　乙 あ町,甲　乙 本町,甲乙 う町,丙市 い町,丙市 本町,丙市 本町,");
  ExpectListedAsScanned(*index, path, loaded->table, "100");
  ExpectListedAsScanned(*index, path, loaded->table, "1000004");
}

// The index kept between searches is the file's as it is now: a dictionary
// replaced by renaming (as the updater does) answers at once, and a file
// just written is scanned until it has settled.
TEST(SearchSample, TheWindowIndexFollowsAReplacedDictionary) {
  const auto towns = TownsOf(SamplePath());
  const std::string path = SampleDictionary("replaced");
  Settle(path);
  auto table = dict::LoadDictionary(path)->table;
  ASSERT_EQ(dict::SearchPostalCode(path, table, "1000001").rows.size(), 1u);
  std::vector<tools::KenRow> fewer;
  for (const auto& t : towns) {
    if (t.newCode != "1000001") fewer.push_back(t);
  }
  const std::string other = BuildInto(TempFolder("replacement"), fewer);
  Settle(other);
  std::filesystem::rename(other, path);
  table = dict::LoadDictionary(path)->table;
  EXPECT_TRUE(dict::SearchPostalCode(path, table, "1000001").rows.empty());
  // Written again just now: scanned, with the same answers.
  auto again = BuildInto(TempFolder("replaced"), towns);
  ASSERT_EQ(again, path);
  table = dict::LoadDictionary(path)->table;
  EXPECT_EQ(dict::SearchPostalCode(path, table, "1000001").rows.size(), 1u);
  std::filesystem::remove(path);
  EXPECT_TRUE(dict::SearchPostalCode(path, table, "1000001").readError);
}

TEST(NormalizeCodeInput, CodesAsPeopleWriteThemBecomeDigitsAndTheRestStaysForTheMessages) {
  const std::pair<const char*, const char*> cases[] = {
      {"100-0001", "1000001"},
      {"１００－０００１", "1000001"},
      {"〒100-0001", "1000001"},
      {" 1000001 ", "1000001"},
      {"1000001\r", "1000001"},
      {"１００ー０００１", "1000001"},
      {"100‐0001", "1000001"},
      {"100−0001", "1000001"},
      {"\xEF\xBB\xBF"
       "064-01",
       "06401"},
      {"　０６４　", "064"},
      {"ー100", "ー100"},
      {"abc", "abc"},
  };
  for (const auto& [in, want] : cases) EXPECT_EQ(dict::NormalizeCodeInput(in), want) << in;
  // Length counts characters: seven kana are seven, and not digits.
  EXPECT_EQ(dict::CodeInputProblem("あいうえおかき"), std::string(dict::kNotDigitsMessage));
  EXPECT_EQ(dict::CodeInputProblem("1234"), std::string(dict::kWrongLengthMessage));
  EXPECT_FALSE(dict::CodeInputProblem("1000001"));
  EXPECT_EQ(dict::SearchPostalCode("/nonexistent", {}, "あいう").warning, dict::kNotDigitsMessage);
}

// Crafted files that once froze the window or took all memory: many cities
// sharing one long town chain, and a chain running into a sparse hole.
TEST(CraftedDictionary, SharedChainsAndHolesAreStoppedWithAReadError) {
  const std::string folder = TempFolder("crafted");
  RawDic d;
  std::vector<int32_t> prefPos;
  for (int n = 1; n <= 47; ++n) {
    prefPos.push_back(
        d.Pref(static_cast<uint8_t>(n), 0, n == 1 ? std::vector<uint8_t>{6} : std::vector<uint8_t>{}, Sjis("北海道")));
  }
  std::vector<int32_t> cities;
  for (int c = 0; c < 300; ++c) cities.push_back(d.City(1, 7, 0, Flags({3, 0, 0, 0, 0, 0, 0, 0, 0, 0}), Sjis("甲市")));
  int32_t hole = d.City(1, 0, 0, {}, Sjis("乙市"));
  int32_t end = d.City(255, 0, 0, {}, "");
  d.PatchI32(prefPos[0], 1, cities[0]);
  for (int n = 2; n <= 47; ++n) d.PatchI32(prefPos[static_cast<size_t>(n - 1)], 1, end);
  const int32_t chain = d.Pos();
  for (int t = 0; t < 1000; ++t) d.Town(7, 6000, 100600001, Sjis("本町"));
  d.Town(8, 0, 0, "");
  for (int32_t c : cities) d.PatchI32(c, 3, chain);
  d.PatchI32(hole, 3, d.Pos());  // city 0: its chain is the zeros that follow
  const std::string path = folder + "/KOVANT.DIC";
  d.Write(path);
  // The names of the country read each record once: the shared chain is an
  // error, not 300,000 places.
  auto names = dict::Gazetteer::Load(path);
  EXPECT_FALSE(names.ok());
  ASSERT_EQ(truncate(path.c_str(), off_t{1} << 31), 0);  // a 2 GB hole
  auto loaded = dict::LoadDictionary(path);
  ASSERT_TRUE(loaded.ok());
  const auto start = std::chrono::steady_clock::now();
  // Before: 300,000 rows for 300 cities of one chain.
  auto found = dict::SearchPostalCode(path, loaded->table, "0600001");
  EXPECT_TRUE(found.readError.has_value());
  EXPECT_LE(found.rows.size(), 1000u);
  // Before: billions of nameless rows out of the hole.
  auto cityList = dict::LoadCities(path, loaded->table, 1);
  ASSERT_EQ(cityList.cityTable.size(), 301u);
  auto towns = dict::LoadTowns(path, cityList.cityTable.back());
  EXPECT_TRUE(towns.readError.has_value());
  EXPECT_LE(towns.entries.size(), dict::kMaxListRows + 1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

// The count behind --info and the update's plausibility check is bounded as
// the search is: a crafted file (once 60 s and 1.7 GB) or a huge sparse one
// (once 55 s and 4.1 GB) is an error value, soon and in little memory.
TEST(CraftedDictionary, TheCensusOfACraftedOrHugeFileIsAQuickError) {
  const std::string folder = TempFolder("census");
  const std::string shared = folder + "/shared.DIC";
  SharedChainDictionary(300, 1000).Write(shared);
  auto counted = dict::TakeCensus(shared);  // before: 300,000 towns out of 1,000 records
  EXPECT_FALSE(counted.ok()) << (counted.ok() ? std::to_string(counted->towns) : "");

  // A city (number 0) whose chain is the zeros that follow: a nameless
  // town every 9 bytes.
  RawDic d;
  std::vector<int32_t> prefPos;
  for (int n = 1; n <= 47; ++n) prefPos.push_back(d.Pref(static_cast<uint8_t>(n), 0, {}, Sjis("北海道")));
  const int32_t city = d.City(1, 0, 0, {}, Sjis("乙市"));
  const int32_t end = d.City(255, 0, 0, {}, "");
  d.PatchI32(prefPos[0], 1, city);
  for (int n = 2; n <= 47; ++n) d.PatchI32(prefPos[static_cast<size_t>(n - 1)], 1, end);
  d.PatchI32(city, 3, d.Pos());
  const std::string hole = folder + "/hole.DIC";
  d.Write(hole);
  ASSERT_EQ(truncate(hole.c_str(), off_t{100} << 20), 0);
  counted = dict::TakeCensus(hole);  // before: 11 million towns
  ASSERT_FALSE(counted.ok()) << counted->towns;
  ASSERT_EQ(truncate(hole.c_str(), off_t{8} << 30), 0);
  counted = dict::TakeCensus(hole);
  ASSERT_FALSE(counted.ok());
  EXPECT_NE(counted.error().description.find("大きすぎます"), std::string::npos) << counted.error().description;

#if !defined(__SANITIZE_ADDRESS__)  // its shadow and quarantine are no measure
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  EXPECT_LT(usage.ru_maxrss, 300 * 1024);  // KiB
#endif
}

// Kanji as typed fold to one form of their group, both sides alike; what
// is no kanji, and a character cut short, stays as it was.
TEST(Variants, FoldToOneFormOfEachGroup) {
  EXPECT_EQ(dict::FoldVariants("戸\uFA10区"), "戸塚区");      // a compatibility ideograph
  EXPECT_EQ(dict::FoldVariants("さいたま巿"), "さいたま市");  // the look-alike of 市
  EXPECT_EQ(dict::FoldVariants("\u2F24阪市"), "大阪市");      // a Kangxi radical
  EXPECT_EQ(dict::FoldVariants("櫻國"), dict::FoldVariants("桜国"));
  EXPECT_EQ(dict::FoldVariants("邊"), dict::FoldVariants("邉"));
  EXPECT_EQ(dict::FoldVariants("梼原町"), dict::FoldVariants("檮原町"));
  EXPECT_NE(dict::FoldVariants("埼玉"), dict::FoldVariants("崎玉"));  // 埼 and 崎 are two names
  // Groups of place names' forms: each form folds as the others do.
  for (const char* group : {"麸麩", "菟莵", "碕﨑崎", "國国", "祗祇", "鯵鰺", "檜桧", "邊邉辺", "澤沢", "濱浜", "廣広",
                            "嶋島", "龍竜", "櫻桜", "髙高", "臺台", "藝芸", "辯辨弁", "餘余"}) {
    const std::string g = group;
    for (size_t i = 3; i < g.size(); i += 3) {
      EXPECT_EQ(dict::FoldVariants(g.substr(i, 3)), dict::FoldVariants(g.substr(0, 3))) << group;
    }
  }
  // Characters of their own in Japanese that Unihan calls variants: the
  // two 常用 kanji 余 and 予, 鯰 (namazu) and 鮎 (ayu), 鬆 and 松.
  EXPECT_NE(dict::FoldVariants("余"), dict::FoldVariants("予"));
  EXPECT_NE(dict::FoldVariants("鯰"), dict::FoldVariants("鮎"));
  EXPECT_NE(dict::FoldVariants("鬆"), dict::FoldVariants("松"));
  // 阪 and 坂 are Unihan's variants, and 大阪 and 大坂 (二本松市大坂) two places.
  EXPECT_NE(dict::FoldVariants("大阪"), dict::FoldVariants("大坂"));
  // Each folded form is the group's last word: folding twice changes nothing.
  const std::string some = "國澤濱廣嶋龍櫻髙邊﨑\uFA10\u2F24桧";
  EXPECT_EQ(dict::FoldVariants(dict::FoldVariants(some)), dict::FoldVariants(some));
  EXPECT_EQ(dict::FoldVariants("1-2-3 Ginza"), "1-2-3 Ginza");
  const std::string cut = std::string("東") + "\xE4\xBA";
  EXPECT_EQ(dict::FoldVariants(cut), cut);
  EXPECT_GT(dict::VariantCount(), 2000u);
}

}  // namespace

namespace {

// Until the file's last change is older than the window's settling time.
bool WaitSettled(const std::string& path) {
  return WaitFor([&] {
    const auto id = platform::IdentityOfPath(path);
    return id && std::max(id->mtimeNs, id->changeNs) < platform::NowNs() - 200'000'000;
  });
}

}  // namespace

// Two town records of equal length swapped in place, the modification time
// put back: the same device, inode, size and time, only the change time
// tells. The window's cached index must not keep showing (and picking) the
// old towns at the old positions: it answers as the scan of the file does.
TEST(SearchSample, RecordsSwappedInPlaceWithTheTimePutBackAreSeen) {
  const std::string path = SampleDictionary("swapped");
  Settle(path);
  ASSERT_TRUE(WaitSettled(path));
  auto loaded = dict::LoadDictionary(path);
  ASSERT_TRUE(loaded.ok());
  const dict::PrefectureTable& table = loaded->table;
  // Two towns of one city whose records are as long as each other.
  struct Found {
    std::string code;
    int64_t pos;
  };
  std::map<std::pair<int, int>, Found> byCityAndLength;
  std::optional<std::pair<Found, Found>> pair;
  auto dic = dict::DicFile::Open(path);
  ASSERT_TRUE(dic.ok());
  for (const auto& t : TownsOf(SamplePath())) {
    for (const auto& row : dict::ScanPostalCode(path, table, t.newCode).rows) {
      auto head = (*dic)->ReadTownHead(row.itemData);
      ASSERT_TRUE(head.ok());
      const auto [at, fresh] =
          byCityAndLength.try_emplace({head->CityNo, head->NameLength}, Found{t.newCode, row.itemData});
      if (!fresh && at->second.code != t.newCode && !pair) pair = {at->second, Found{t.newCode, row.itemData}};
    }
  }
  ASSERT_TRUE(pair) << "the sample has two such towns";
  dic->reset();
  const std::string before = RowsText(dict::SearchPostalCode(path, table, pair->first.code));
  ASSERT_EQ(before, RowsText(dict::ScanPostalCode(path, table, pair->first.code)));

  const auto old = std::filesystem::last_write_time(path);
  const auto length =
      static_cast<size_t>(dict::kTownFixed + (*dict::DicFile::Open(path))->ReadTownHead(pair->first.pos)->NameLength);
  {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    std::string a(length, '\0'), b(length, '\0');
    f.seekg(pair->first.pos - 1).read(a.data(), static_cast<std::streamsize>(length));
    f.seekg(pair->second.pos - 1).read(b.data(), static_cast<std::streamsize>(length));
    f.seekp(pair->first.pos - 1).write(b.data(), static_cast<std::streamsize>(length));
    f.seekp(pair->second.pos - 1).write(a.data(), static_cast<std::streamsize>(length));
  }
  std::filesystem::last_write_time(path, old);
  const auto identity = platform::IdentityOfPath(path);
  ASSERT_TRUE(identity);
  ASSERT_EQ(std::filesystem::last_write_time(path), old);
  for (int round = 0; round < 2; ++round) {  // fresh, then settled again
    const std::string now = RowsText(dict::ScanPostalCode(path, table, pair->first.code));
    EXPECT_NE(now, before);
    EXPECT_EQ(RowsText(dict::SearchPostalCode(path, table, pair->first.code)), now) << round;
    ASSERT_TRUE(WaitSettled(path));
  }
}
