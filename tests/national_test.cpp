// Checks on the whole of Japan Post's files.
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "dict/address.h"
#include "dict/codeindex.h"
#include "dict/fold.h"
#include "dict/preload.h"
#include "dict/readingsection.h"
#include "dict/search.h"
#include "dict/walk.h"
#include "lookup/lookup.h"
#include "addresseval.h"
#include "platform/sjis.h"
#include "testdata.h"

using namespace kovant;
using namespace kovant::test;

namespace {

struct National {
  std::vector<tools::KenRow> towns;
  tools::BuildReport report;
  std::string path;
  dict::PrefectureTable table;
};

National* Build(bool withOffices) {
  auto* n = new National;
  std::string file = NationalFile();
  if (file.empty()) return n;
  n->towns = TownsOf(file);
  if (withOffices) {
    auto offices = OfficesOf(NationalOfficeFile());
    n->towns.insert(n->towns.end(), offices.begin(), offices.end());
  }
  n->path = BuildInto(TempFolder(withOffices ? "national-offices" : "national"), n->towns, &n->report);
  auto loaded = dict::LoadDictionary(n->path);
  if (loaded.ok()) n->table = loaded->table;
  return n;
}

// The same checks run on the dictionary of KEN_ALL alone and, when
// KOVANT_JIGYOSYO names the office file, on the one with the offices.
bool g_offices = false;

const National* Get() {
  static National* plain = Build(false);
  if (!g_offices) return plain;
  static National* offices = Build(true);
  return offices;
}

class NationalChecks : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { g_offices = GetParam(); }
};

std::string OldText(const std::string& old) { return old.size() == 3 ? old : old.substr(0, 3) + "-" + old.substr(3); }

std::string NewText(const std::string& code) { return code.substr(0, 3) + "-" + code.substr(3); }

#define NATIONAL(n)                  \
  KOVANT_NEEDS_NATIONAL_FILE(file_); \
  const National& n = *Get();        \
  ASSERT_EQ(n.table.rows.size(), 47u)

TEST_P(NationalChecks, EveryTownReadsBackByWalk) {
  NATIONAL(n);
  EXPECT_GT(n.towns.size(), 120000u);
  std::set<std::string> shortened(n.report.shortened.begin(), n.report.shortened.end());
  std::multiset<std::string> expected, walked, walkedShort;
  for (const auto& t : n.towns) {
    if (shortened.count(t.newCode + " " + t.town)) continue;
    expected.insert(NewText(t.newCode) + "|" + OldText(t.oldCode) + "|" + t.pref + "|" + t.city + "|" + t.town);
  }
  for (const auto& pref : n.table.rows) {
    auto cities = dict::LoadCities(n.path, n.table, pref.PrefNo);
    ASSERT_FALSE(cities.readError);
    for (const auto& city : cities.entries) {
      const auto& chain = cities.cityTable[static_cast<size_t>(city.itemData - 1)];
      auto towns = dict::LoadTowns(n.path, chain, true);
      ASSERT_FALSE(towns.readError);
      // Without being asked for, the offices stay out of the list but are counted.
      auto areaOnly = dict::LoadTowns(n.path, chain);
      ASSERT_EQ(areaOnly.entries.size() + areaOnly.officesLeftOut, towns.entries.size()) << city.text;
      for (const auto& town : towns.entries) {
        auto r = dict::ShowTownResult(n.path, pref.Name, city.text, town, "", false);
        ASSERT_TRUE(r.ok());
        std::string name = r->Address3 + r->Supplement;
        std::string key = r->NewCode + "|" + r->OldCode + "|" + pref.Name + "|" + city.text + "|" + name;
        bool cut = name.find("…") != std::string::npos;
        (cut && !expected.count(key) ? walkedShort : walked).insert(key);
      }
    }
  }
  EXPECT_EQ(walked, expected);
  EXPECT_EQ(walkedShort.size(), shortened.size());
}

TEST_P(NationalChecks, RandomCurrentCodesFindTheirTown) {
  NATIONAL(n);
  std::set<std::string> shortened(n.report.shortened.begin(), n.report.shortened.end());
  std::mt19937 rng(20261208);
  std::uniform_int_distribution<size_t> pick(0, n.towns.size() - 1);
  for (int i = 0; i < 2000; ++i) {
    const auto& t = n.towns[pick(rng)];
    auto r = dict::SearchPostalCode(n.path, n.table, t.newCode);
    ASSERT_FALSE(r.readError);
    bool hit = false;
    for (const auto& row : r.rows) {
      std::string want = t.pref + " " + t.city + " " + t.town;
      hit = hit || row.text == want ||
            (shortened.count(t.newCode + " " + t.town) && row.text.rfind(t.pref + " " + t.city + " ", 0) == 0);
    }
    EXPECT_TRUE(hit) << t.newCode << " " << t.town;
  }
}

TEST_P(NationalChecks, EveryFormerCodeListsExactlyItsTowns) {
  NATIONAL(n);
  std::set<std::string> shortened;
  for (const auto& s : n.report.shortened) shortened.insert(s);
  std::map<std::string, std::multiset<std::string>> byOld;
  for (const auto& t : n.towns) {
    // Shortened names are compared by their first characters only.
    std::string name = shortened.count(t.newCode + " " + t.town) ? std::string("(short)") : t.town;
    byOld[t.oldCode].insert(t.pref + " " + t.city + " " + name);
  }
  for (const auto& [old, want] : byOld) {
    auto r = dict::SearchPostalCode(n.path, n.table, old);
    ASSERT_FALSE(r.readError);
    std::multiset<std::string> got;
    for (const auto& row : r.rows) {
      std::string text(row.text);
      bool isShort = text.find("…") != std::string::npos;
      if (isShort) {
        size_t b2 = text.find(' ', text.find(' ') + 1);
        std::string head = text.substr(0, b2 + 1);
        if (want.count(head + "(short)")) text = head + "(short)";
      }
      got.insert(text);
    }
    ASSERT_EQ(got, want) << old;
  }
}

TEST_P(NationalChecks, WalkListsEachPrefecturesCities) {
  NATIONAL(n);
  std::map<std::string, std::set<std::string>> cities;
  for (const auto& t : n.towns) cities[t.pref].insert(t.city);
  for (const auto& pref : n.table.rows) {
    auto listed = dict::LoadCities(n.path, n.table, pref.PrefNo);
    std::set<std::string> got;
    for (const auto& e : listed.entries) got.insert(e.text);
    EXPECT_EQ(got.size(), listed.entries.size()) << pref.Name;
    EXPECT_EQ(got, cities[pref.Name]) << pref.Name;
  }
}

// The batch index answers exactly as the search and the pick do, in the
// same order, through the code section and through buckets made in memory
// (a file without the section): random current codes, every 3-digit former
// code and a share of the 5-digit ones, and codes nobody has.
TEST_P(NationalChecks, TheBatchIndexAnswersAsTheSearch) {
  NATIONAL(n);
  auto withSection = dict::CodeIndex::Build(n.path);
  ASSERT_TRUE(withSection.ok()) << withSection.error().description;
  ASSERT_TRUE(withSection->HasCodeSection());
  auto whole = dict::DicFile::OpenWhole(n.path);
  ASSERT_TRUE(whole.ok());
  auto inMemory = dict::CodeIndex::Build(std::move(*whole), false);
  ASSERT_TRUE(inMemory.ok());
  std::set<std::string> codes = {"0000000", "9999999", "999", "99999"};
  std::mt19937 rng(7);
  std::uniform_int_distribution<size_t> pick(0, n.towns.size() - 1);
  for (int i = 0; i < 1500; ++i) codes.insert(n.towns[pick(rng)].newCode);
  for (const auto& t : n.towns) {
    if (t.oldCode.size() == 3 || pick(rng) % 40 == 0) codes.insert(t.oldCode);
  }
  std::vector<std::string> all(codes.begin(), codes.end());
  for (const dict::CodeIndex* index : {&*withSection, &*inMemory}) {
    auto found = index->FindMany(all);
    ASSERT_TRUE(found.ok());
    for (size_t c = 0; c < all.size(); c += kSanitizerShare) {
      // The record scan is the measure: the search itself answers from the index.
      auto outcome = dict::ScanPostalCode(n.path, n.table, all[c]);
      ASSERT_FALSE(outcome.readError);
      const auto& got = (*found)[c];
      ASSERT_EQ(got.size(), outcome.rows.size()) << all[c];
      for (size_t r = 0; r < got.size(); ++r) {
        auto picked = dict::ShowPickedResult(n.path, outcome.rows[r], "");
        ASSERT_TRUE(picked.ok());
        EXPECT_EQ(got[r].newCode, picked->NewCode) << all[c];
        EXPECT_EQ(got[r].oldCode, picked->OldCode) << all[c];
        EXPECT_EQ(got[r].pref + " " + got[r].city + " " + got[r].town, outcome.rows[r].text) << all[c];
      }
    }
  }
}

// The window's search from the code index lists exactly what the scan of
// the records lists, rows, texts and positions in order, for every current
// and every former code of the country.
TEST_P(NationalChecks, TheWindowSearchFromTheIndexListsAsTheScan) {
  NATIONAL(n);
  auto index = dict::CodeIndex::Build(n.path);
  ASSERT_TRUE(index.ok());
  ASSERT_TRUE(index->HasCodeSection());
  std::set<std::string> codes = {"0000000", "9999999", "999", "99999"};
  for (const auto& t : n.towns) {
    codes.insert(t.newCode);
    codes.insert(t.oldCode);
  }
  size_t rows = 0, seen = 0;
  for (const std::string& code : codes) {
    if (seen++ % kSanitizerShare != 0) continue;
    const auto scanned = dict::ScanPostalCode(n.path, n.table, code);
    ASSERT_FALSE(scanned.readError) << code;
    auto listed = index->ListCode(code, n.table);
    ASSERT_TRUE(listed.ok() && listed->has_value()) << code;
    ASSERT_EQ((*listed)->size(), scanned.rows.size()) << code;
    for (size_t r = 0; r < scanned.rows.size(); ++r) {
      ASSERT_EQ((**listed)[r].itemData, scanned.rows[r].itemData) << code;
      ASSERT_EQ((**listed)[r].text, scanned.rows[r].text) << code;
    }
    rows += scanned.rows.size();
  }
  // Each town under its current code and again under its former one.
  EXPECT_GT(rows * kSanitizerShare, n.towns.size());
}

INSTANTIATE_TEST_SUITE_P(National, NationalChecks, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "WithOffices" : "TownsOnly"; });

TEST(National, EveryOfficeCodeIsFoundWithItsPrefectureAndCity) {
  KOVANT_NEEDS_NATIONAL_FILE(file_);

  g_offices = true;
  const National& n = *Get();
  ASSERT_EQ(n.table.rows.size(), 47u);
  EXPECT_GT(n.report.offices, 20000u);
  size_t checked = 0, offices = 0;
  for (const auto& t : n.towns) {
    if (!t.office || offices++ % kSanitizerShare != 0) continue;
    auto r = dict::SearchPostalCode(n.path, n.table, t.newCode);
    ASSERT_FALSE(r.readError);
    bool hit = false;
    for (const auto& row : r.rows) hit = hit || row.text.rfind(t.pref + " " + t.city + " ", 0) == 0;
    EXPECT_TRUE(hit) << t.newCode << " " << t.town;
    ++checked;
  }
  EXPECT_EQ(offices, n.report.offices);
  EXPECT_EQ(checked, (offices + kSanitizerShare - 1) / kSanitizerShare);
  RecordProperty("dictionary_bytes_with_offices", std::to_string(std::filesystem::file_size(n.path)));
}

TEST(National, SizeAndNotes) {
  g_offices = false;
  NATIONAL(n);
  auto size = std::filesystem::file_size(n.path);
  EXPECT_LT(size, 8u << 20);  // the records, the code index and the readings
  auto found = dict::SearchPostalCode(n.path, n.table, "5220317");
  ASSERT_EQ(found.rows.size(), 1u);
  EXPECT_EQ(found.rows[0].text, "滋賀県 犬上郡多賀町 一円");
  RecordProperty("dictionary_bytes", std::to_string(size));
  RecordProperty("shortened_names", std::to_string(n.report.shortened.size()));
}

// The head search by reading through the walk of the whole country: "osa"
// selects 大阪府; "kita" its first 北区 in list order (堺市北区: a ward by its
// own reading), "osakashikita" 大阪市北区, where "ume" selects 梅田;
// "ootemachi", "otemachi" and "おおて" reach 大手町 in 千代田区.
// The walk folds each listed record's reading straight from Shift-JIS:
// every reading of the country, towns and offices, folds as through UTF-8.
TEST(National, EveryStoredReadingFoldsAlikeFromShiftJis) {
  KOVANT_NEEDS_NATIONAL_FILE(file_);
  g_offices = true;
  const National& n = *Get();
  auto dic = dict::DicFile::Open(n.path);
  ASSERT_TRUE(dic.ok());
  auto table = dict::ReadingTable::Open(**dic);
  ASSERT_TRUE(table.ok() && table->Has());
  size_t readings = 0, differing = 0;
  auto each = table->ForEach([&](int64_t, std::string_view sjis) {
    ++readings;
    if (dict::FoldReadingSjis(sjis) != dict::FoldReading(platform::SjisToUtf8(sjis))) ++differing;
  });
  ASSERT_TRUE(each.ok());
  EXPECT_GT(readings, 140000u);
  EXPECT_EQ(differing, 0u);
}

TEST(National, TheWalksHeadSearchFollowsReadings) {
  g_offices = false;
  NATIONAL(n);
  auto keysOf = [](const std::vector<dict::ListEntry>& entries) {
    std::vector<std::string> keys;
    for (const auto& e : entries) keys.push_back(e.readingKey);
    return keys;
  };
  dict::PrefectureTable table = n.table;
  dict::AddPrefectureReadings(n.path, table);
  std::vector<std::string> prefKeys;
  for (const auto& p : table.rows) prefKeys.push_back(p.ReadingKey);
  const int osaka = dict::FirstReadingMatch(prefKeys, "osa");
  ASSERT_GE(osaka, 0);
  EXPECT_EQ(table.rows[static_cast<size_t>(osaka)].Name, "大阪府");
  auto pick = [&](int prefNo, const char* typed, const char* city, const char* town) {
    auto cities = dict::LoadCities(n.path, n.table, prefNo);
    const int c = dict::FirstReadingMatch(keysOf(cities.entries), typed);
    ASSERT_GE(c, 0) << typed;
    EXPECT_EQ(cities.entries[static_cast<size_t>(c)].text, city) << typed;
    if (!town) return;
    auto towns = dict::LoadTowns(
        n.path, cities.cityTable[static_cast<size_t>(cities.entries[static_cast<size_t>(c)].itemData - 1)]);
    for (const char* typedTown : {"ume", "ootemachi", "otemachi", "おおて"}) {
      const int t = dict::FirstReadingMatch(keysOf(towns.entries), typedTown);
      if (std::string(town) == "梅田" && std::string(typedTown) != "ume") continue;
      if (std::string(town) == "大手町" && std::string(typedTown) == "ume") continue;
      ASSERT_GE(t, 0) << typedTown;
      EXPECT_EQ(towns.entries[static_cast<size_t>(t)].text, town) << typedTown;
    }
  };
  pick(27, "kita", "堺市北区", nullptr);
  pick(27, "osakashikita", "大阪市北区", "梅田");
  pick(13, "chiyo", "千代田区", "大手町");
}

// Addresses written the ways people write them, each checked by hand
// against KEN_ALL: ranges of 丁目 and 番地, buildings with floor codes next
// to their "次のビルを除く" town, a missing prefecture or district, kanji
// numerals, ヶ for が, 大字, and the addresses that do not tell.
TEST(National, WrittenAddressesResolveOrSayWhyNot) {
  g_offices = false;
  NATIONAL(n);
  auto g = dict::Gazetteer::Load(n.path);
  ASSERT_TRUE(g.ok()) << g.error().description;
  using S = dict::AddressAnswer::Status;
  const struct {
    const char* address;
    S status;
    const char* codes;  // all candidates' codes, joined by blanks
  } cases[] = {
      {"東京都千代田区大手町１－１－１", S::Single, "100-0004"},
      {"札幌市中央区大通西5丁目", S::Single, "060-0042"},
      {"札幌市中央区大通西２５丁目", S::Single, "064-0820"},
      {"札幌市中央区大通西", S::Several, "060-0042 064-0820"},
      {"さいたま市浦和区高砂3丁目", S::Single, "330-0063"},
      {"苫小牧市一本松町3", S::Single, "059-1375"},
      {"苫小牧市一本松町12番地", S::Single, "053-0001"},
      {"札幌市南区常盤200", S::Single, "005-0863"},  // その他
      {"千代田区大手町1-3-1 JAビル15階", S::Single, "100-6815"},
      {"東京都千代田区大手町一丁目3番1号ＪＡビル", S::Single, "100-6890"},  // no floor
      {"新宿区西新宿2-8-1", S::Single, "160-0023"},
      {"東京都新宿区西新宿3丁目20-2 東京オペラシティ 53階", S::Single, "163-1453"},
      {"千代田区霞ヶ関1-1", S::Single, "100-0013"},
      {"洞爺湖町洞爺町", S::Single, "049-5802"},
      {"北海道札幌市中央区南一条西五丁目", S::Single, "060-0061"},
      {"宮城県柴田郡大河原町大字大谷字保料前18", S::Single, "989-1201"},
      {"〒100-0001 東京都千代田区千代田1-1", S::Single, "100-0001"},
      {"府中市宮西町1-1", S::Single, "183-0022"},
      {"府中市", S::Several, "183-0000 726-0000"},
      {"東京都ほげ市", S::None, ""},
      // As people write them: a town the dictionary lacks is the city only,
      // never its 「以下に掲載がない場合」 code as 一致; Kyoto's streets; a
      // ward without its city; 大字 against 丁目; a block outside a list;
      // a basement only in the building written; former cities.
      {"東京都渋谷区表参道4-12", S::CityOnly, "150-0000"},
      {"東京都千代田区", S::CityOnly, "100-0000"},
      {"東京都青ヶ島村", S::Single, "100-1701"},  // one code for the whole village
      {"京都市中京区錦小路通寺町西入東大文字町", S::Single, "604-8043"},
      {"京都市下京区烏丸通塩小路下る東塩小路町721-1", S::Single, "600-8216"},
      {"北区梅田1-1", S::Single, "530-0001"},
      {"中央区大通西5丁目", S::Single, "060-0042"},
      {"日野市大字豊田123", S::Single, "191-0051"},
      {"日野市豊田123", S::Several, "191-0051 191-0053"},
      {"富士市中河原292-5", S::Single, "416-0936"},
      {"富士市中河原292-4", S::Single, "417-0036"},
      {"港区六本木6-10-1 六本木ヒルズ森タワーB2F", S::Single, "106-6190"},
      {"港区六本木6-10-1 B2F", S::Single, "106-0032"},
      {"山田様 〒XXX-XXXX 札幌市中央区南3西4 TEL 011-000-0000", S::Single, "060-0063"},
      // A former city: its town in the ward that took it over, never 一致.
      {"埼玉県浦和市高砂3-15-1", S::CityNotFound, "330-0063"},
      {"静岡県浜松市北区細江町気賀1", S::CityNotFound, "431-1305"},
      // A code written on the line is checked, and decides between towns.
      {"〒330-0063 埼玉県さいたま市浦和区高砂3-15-1", S::Single, "330-0063"},
      {"埼玉県さいたま市浦和区高砂3-15-1 〒330-0064", S::CodeDisagrees, "330-0063"},
      {"東京都新宿区西早稲田2-1-5", S::Single, "162-0051"},
      {"東京都新宿区西早稲田2-3-18", S::Single, "169-0051"},
      {"東京都新宿区西早稲田2丁目", S::Several, "162-0051 169-0051"},
      {"兵庫県尼崎市潮江5-1-3", S::Single, "660-0808"},
      {"兵庫県尼崎市潮江5-2-3", S::Single, "661-0976"},
      {"香川県仲多度郡琴平町500", S::Single, "766-0001"},
      {"香川県仲多度郡琴平町12", S::Single, "766-0002"},
      {"岩手県宮古市川井第10地割5", S::Single, "028-2402"},
      {"千葉市川市八幡1-1", S::Single, "272-0021"},
      {"福島石川郡石川町長郷田1", S::Single, "963-7848"},
      {"埼玉県さいたま巿浦和区高砂3-15-1", S::Single, "330-0063"},
      {"2-8-1 Nishi-Shinjuku, Shinjuku-ku, Tokyo", S::Single, "160-0023"},
      {"Gionmachi Kitagawa, Higashiyama-ku, Kyoto-shi", S::Single, "605-0073"},
      {"Tokyo-to Chuo-ku Nihombashi 1-1", S::Single, "103-0027"},
      {"Fuchu-shi Miyamachi 1-1", S::Several, "183-0023 726-0000"},
      {"神奈川県横浜市戸\uFA10区上倉田町", S::Single, "244-0816"},
      {"岩手県はなまき市材木町1", S::Single, "025-0098"},
      {"京都市上京区寺之内通大猪熊町", S::Single, "602-8405"},
  };
  for (const auto& c : cases) {
    const auto a = g->Resolve(c.address);
    std::string codes;
    for (const auto& m : a.candidates) codes += (codes.empty() ? "" : " ") + m.newCode;
    EXPECT_EQ(a.status, c.status) << c.address << " " << codes;
    EXPECT_EQ(codes, c.codes) << c.address;
  }
  // The variant read is said.
  EXPECT_EQ(g->Resolve("宮﨑県宮﨑市橘通東1-1").note, "「﨑」を「崎」として読みました。");
  EXPECT_EQ(g->Resolve("京都府京都市上京区下立売通新町西入薮ノ内町").note,
            "「薮」を「藪」として読みました。「ノ」を「之」として読みました。");
  // Any pair of the variant table is said, once; a compatibility
  // ideograph, which looks as its form does, is not.
  EXPECT_EQ(g->Resolve("德島県德島市新蔵町1-1").note, "「德」を「徳」として読みました。");
  EXPECT_EQ(g->Resolve("大阪府大阪市北區梅田1丁目").note, "「區」を「区」として読みました。");
  EXPECT_EQ(g->Resolve("神奈川県横浜市戸\uFA10区上倉田町").note, "");
}

// Output that is an address: a code shared by cities names them all, the
// town without Japan Post's note (the note goes to the status), and --copy
// writes no note as address text.
TEST(National, CodeColumnAndCopyWriteAddressesWithoutNotes) {
  g_offices = false;
  NATIONAL(n);
  lookup::ColumnOptions options;
  options.column = 1;
  std::istringstream in("4110000\n4500002\n");
  lookup::StringSink sink;
  lookup::CsvOutput out(sink, ',');
  EXPECT_EQ(lookup::ConvertCodeColumn(n.path, in, options, out), 0);
  EXPECT_EQ(sink.Text(),
            "4110000,411-0000,静岡県,三島市／駿東郡清水町／駿東郡長泉町,,複数\n"
            "4500002,450-0002,愛知県,名古屋市中村区,名駅,一致（その他）\n");
  lookup::StringSink copied;
  lookup::TextOutput text(copied);
  EXPECT_EQ(lookup::CopyText(n.path, "4500002", false, TempFolder("national-copy") + "/none.ini", text), 0);
  EXPECT_EQ(copied.Text(), "〒450-0002愛知県名古屋市中村区名駅\n");
}

// The resolver on the evaluation set made from Japan Post's files (see
// addresseval.h and docs/ADDRESSES.md): at least 99% of the addresses whose
// town has one code resolve to it, none to another one; where the town has
// several codes, a single answer is always one of them.
TEST(National, AddressesResolveToTheirTownsCodes) {
  g_offices = false;
  NATIONAL(n);
  auto g = dict::Gazetteer::Load(n.path);
  ASSERT_TRUE(g.ok()) << g.error().description;
  auto in = tools::ReadInputFile(NationalOfficeFile());
  ASSERT_TRUE(in.ok());
  const auto set = MakeAddressSet(n.towns, tools::ParseCsv(tools::CsvToUtf8(in->bytes), nullptr));
  std::map<std::string, std::vector<AddressCase>> byStyle;
  for (const auto& c : set.cases) byStyle[c.style].push_back(c);
  std::vector<std::string> wrong;
  Tally all;
  for (const auto& [style, cases] : byStyle) {
    const Tally t = Score(*g, cases, &wrong);
    std::printf("%-26s %6zu: right %6zu, several %4zu, wrong %4zu, none %4zu\n", style.c_str(), t.Total(), t.right,
                t.several, t.wrong, t.none);
    all.right += t.right;
    all.several += t.several;
    all.wrong += t.wrong;
    all.none += t.none;
  }
  std::printf("%-26s %6zu: right %6zu, several %4zu, wrong %4zu, none %4zu\n", "all", all.Total(), all.right,
              all.several, all.wrong, all.none);
  size_t singleOutside = 0, severalSingle = 0, severalSeveral = 0;
  for (const auto& address : set.severalAddresses) {
    const auto a = g->Resolve(address);
    if (a.status == dict::AddressAnswer::Status::Single) {
      ++severalSingle;
      if (!set.codesOf.at(address).count(a.candidates[0].newCode)) {
        ++singleOutside;
        wrong.push_back("outside: " + address + " got " + a.candidates[0].newCode);
      }
    } else if (a.status == dict::AddressAnswer::Status::Several) {
      ++severalSeveral;
    }
  }
  std::printf("towns with several codes %zu: single %zu (outside the town's codes %zu), several %zu\n",
              set.severalAddresses.size(), severalSingle, singleOutside, severalSeveral);
  std::printf("left out: buildings %zu, town not in KEN_ALL %zu, of %zu offices\n", set.buildings, set.unknownTown,
              set.offices);
  for (size_t i = 0; i < wrong.size() && i < 40; ++i) std::printf("  %s\n", wrong[i].c_str());
  EXPECT_GE(static_cast<double>(all.right), 0.99 * static_cast<double>(all.Total()));
  EXPECT_EQ(singleOutside, 0u);
}

// The addresses written by hand as they come on envelopes, forms and
// customer lists (tests/data/addresses_handwritten_*.tsv), each answer
// decided from KEN_ALL before the resolver was run. Counted by style as
// right, unsure (複数, 市区町村のみ or 該当なし where one code was meant:
// the user is told to look) and silent wrong (一致 with another code, or
// 一致 where the text does not decide one): the one that hurts, because a
// spreadsheet takes it as true.
class HandwrittenAddresses : public ::testing::TestWithParam<const char*> {};

TEST_P(HandwrittenAddresses, AreRightOrSayTheyAreUnsure) {
  // The set of styles names offices: its dictionary has them.
  g_offices = std::string(GetParam()) == "styles";
  NATIONAL(n);
  const std::string path = std::string(KOVANT_SOURCE_DIR) + "/tests/data/addresses_handwritten_" + GetParam() + ".tsv";
  const auto cases = ReadHandwrittenSet(path);
  if (cases.empty()) GTEST_SKIP() << "no " << path;
  auto g = dict::Gazetteer::Load(n.path);
  ASSERT_TRUE(g.ok()) << g.error().description;
  std::map<std::string, HandTally> byStyle;
  HandTally all;
  std::vector<std::string> misses;
  for (const auto& c : cases) {
    const auto a = g->Resolve(c.address);
    const HandVerdict v = Judge(c, a);
    byStyle[c.style].Add(v);
    all.Add(v);
    if (v != HandVerdict::Right) misses.push_back(DescribeMiss(c, a, v));
  }
  std::printf("%-16s %5s %6s %6s %6s\n", "style", "total", "right", "unsure", "wrong");
  for (const auto& [style, t] : byStyle) {
    std::printf("%-16s %5zu %6zu %6zu %6zu\n", style.c_str(), t.Total(), t.right, t.unsure, t.wrong);
  }
  std::printf("%-16s %5zu %6zu %6zu %6zu (right %.1f%%, silent wrong %.1f%%)\n", "all", all.Total(), all.right,
              all.unsure, all.wrong, 100.0 * all.right / all.Total(), 100.0 * all.wrong / all.Total());
  for (const auto& m : misses) std::printf("  %s\n", m.c_str());
  EXPECT_GE(static_cast<double>(all.right), 0.95 * static_cast<double>(all.Total()));
  EXPECT_LE(static_cast<double>(all.wrong), 0.01 * static_cast<double>(all.Total()));
}

// A line that names an office answers with the office's own code, the
// town's beside it; a code written on it is checked against that.
TEST(National, NamedOfficesAnswerWithTheirOwnCode) {
  g_offices = true;
  NATIONAL(n);
  auto g = dict::Gazetteer::Load(n.path);
  ASSERT_TRUE(g.ok()) << g.error().description;
  using S = dict::AddressAnswer::Status;
  const auto office = g->Resolve("岩手県盛岡市内丸10-1 岩手県庁");
  ASSERT_EQ(office.status, S::Single) << office.note;
  EXPECT_EQ(office.candidates.front().newCode, "020-8570");
  EXPECT_TRUE(office.candidates.front().office);
  EXPECT_EQ(office.townCode, "020-0023");
  const auto agreeing = g->Resolve("〒020-8570 岩手県盛岡市内丸10-1 岩手県庁");
  EXPECT_EQ(agreeing.status, S::Single);
  EXPECT_TRUE(agreeing.codeAgrees);
  const auto wrong = g->Resolve("〒020-0099 岩手県盛岡市内丸10-1 岩手県庁");
  EXPECT_EQ(wrong.status, S::CodeDisagrees);
  EXPECT_EQ(wrong.writtenCode, "020-0099");
  EXPECT_NE(wrong.note.find("020-0099"), std::string::npos);
  EXPECT_NE(wrong.note.find("020-8570"), std::string::npos);
  // Without the office's name the town answers, as before.
  const auto town = g->Resolve("岩手県盛岡市内丸10-1");
  ASSERT_EQ(town.status, S::Single);
  EXPECT_EQ(town.candidates.front().newCode, "020-0023");
}

// The window starts the load when it opens; the first address waits for
// that load, not for a second one, and a file that cannot be read says why.
TEST(National, PreloadedGazetteerIsTheOneWaitedFor) {
  g_offices = false;
  NATIONAL(n);
  dict::GazetteerPreload preload;
  preload.Start(n.path);
  preload.Start(n.path);  // the window shown again: the same load
  auto first = preload.Get(n.path);
  ASSERT_TRUE(first.ok()) << first.error().description;
  auto again = preload.Get(n.path);
  ASSERT_TRUE(again.ok());
  EXPECT_EQ(first->get(), again->get());
  const auto a = (*first)->Resolve("東京都新宿区西新宿2-8-1");
  ASSERT_EQ(a.status, dict::AddressAnswer::Status::Single);
  EXPECT_EQ(a.candidates.front().newCode, "160-0023");
  auto missing = preload.Get(n.path + ".none");
  ASSERT_FALSE(missing.ok());
  EXPECT_FALSE(missing.error().description.empty());
}

INSTANTIATE_TEST_SUITE_P(National, HandwrittenAddresses, ::testing::Values("dev", "heldout", "heldout2", "styles"));

}  // namespace
