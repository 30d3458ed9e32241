// Individual codes of large offices, built from our own small office file.
#include <gtest/gtest.h>

#include "dict/search.h"
#include "dict/walk.h"
#include "process.h"
#include "testdata.h"

namespace kovant::test {
namespace {

struct Offices : ::testing::Test {
  std::vector<tools::KenRow> offices = OfficesOf(SampleOfficesPath());
  tools::BuildReport report;
  std::string path;
  dict::PrefectureTable table;
  void SetUp() override {
    auto rows = TownsOf(SamplePath());
    rows.insert(rows.end(), offices.begin(), offices.end());
    path = BuildInto(TempFolder("offices"), rows, &report);
    auto loaded = dict::LoadDictionary(path);
    ASSERT_TRUE(loaded.ok());
    table = loaded->table;
  }
};

TEST_F(Offices, EveryOfficeIsFoundAsATownOfItsCityAndMarked) {
  ASSERT_EQ(offices.size(), 6u);
  EXPECT_EQ(report.offices, 6u);
  for (const auto& o : offices) {
    auto r = dict::SearchPostalCode(path, table, o.newCode);
    ASSERT_EQ(r.rows.size(), 1u) << o.newCode;
    EXPECT_EQ(r.rows[0].text.rfind(o.pref + " " + o.city + " ", 0), 0u) << r.rows[0].text;
    auto dic = dict::DicFile::Open(path);
    auto town = (*dic)->ReadTown(r.rows[0].itemData);
    ASSERT_TRUE(town.ok());
    EXPECT_TRUE(dict::IsOfficeRecord(*town)) << o.newCode;
    // Its former code finds it too: the flags and prefixes include offices.
    auto byOld = dict::SearchPostalCode(path, table, o.oldCode);
    bool listed = false;
    for (const auto& row : byOld.rows) listed = listed || row.itemData == r.rows[0].itemData;
    EXPECT_TRUE(listed) << o.oldCode;
  }
  // Towns of KEN_ALL are not marked.
  auto town = dict::SearchPostalCode(path, table, "0600042");
  ASSERT_EQ(town.rows.size(), 1u);
  auto dic = dict::DicFile::Open(path);
  EXPECT_FALSE(dict::IsOfficeRecord(*(*dic)->ReadTown(town.rows[0].itemData)));
}

TEST_F(Offices, APickPutsTheOfficeNameIntoTheSupplement) {
  auto r = dict::SearchPostalCode(path, table, "0608799");
  ASSERT_EQ(r.rows.size(), 1u);
  auto picked = dict::ShowPickedResult(path, r.rows[0], "");
  ASSERT_TRUE(picked.ok());
  EXPECT_EQ(picked->Address3, "北一条西６丁目１－２ぴこらんビル２Ｆ");
  EXPECT_EQ(picked->Supplement, "株式会社　ぴこらん商事");
  EXPECT_EQ(picked->NewCode, "060-8799");
  EXPECT_EQ(picked->OldCode, "060");
}

TEST_F(Offices, ACityOnlyOfficesHaveGetsItsOwnRecord) {
  auto cities = dict::LoadCities(path, table, 13);
  bool minato = false;
  for (size_t i = 0; i < cities.entries.size(); ++i) {
    if (cities.entries[i].text != "港区") continue;
    minato = true;
    const auto& chain = cities.cityTable[static_cast<size_t>(cities.entries[i].itemData - 1)];
    auto areaOnly = dict::LoadTowns(path, chain);
    EXPECT_TRUE(areaOnly.entries.empty());
    EXPECT_EQ(areaOnly.officesLeftOut, 1u);
    auto towns = dict::LoadTowns(path, chain, true);
    ASSERT_EQ(towns.entries.size(), 1u);
    EXPECT_EQ(towns.entries[0].text, "芝公園４丁目２－８（株式会社　みなと企画）");
  }
  EXPECT_TRUE(minato);
}

TEST_F(Offices, ALongOfficeAddressGivesWayAndTheOfficeNameStaysWhole) {
  ASSERT_EQ(report.shortened.size(), 1u);
  EXPECT_EQ(report.shortened[0].rfind("5308799 ", 0), 0u);
  auto r = dict::SearchPostalCode(path, table, "5308799");
  ASSERT_EQ(r.rows.size(), 1u);
  const std::string name = "（株式会社　なにわ貿易　大阪本社ビル内総務部郵便物受付係（長い名前の試験用））";
  const std::string_view text = r.rows[0].text;
  ASSERT_GT(text.size(), name.size());
  EXPECT_EQ(text.substr(text.size() - name.size()), name);
  EXPECT_EQ(text.substr(0, text.size() - name.size()), "大阪府 大阪市北区 梅田１…");
}

TEST(OfficesLookup, JsonMarksOfficesAndTheBundledDictionaryHasThem) {
  ProcessResult r = RunProcess(Bin("kovant-lookup") + " --dic " + SampleDic() + " --json 0608799 0600042");
  ASSERT_EQ(r.status, 0) << r.err;
  auto cut = r.out.find('\n');
  EXPECT_NE(r.out.substr(0, cut).find("\"office\":true"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.substr(cut + 1).find("\"office\""), std::string::npos) << r.out;
  ProcessResult plain = RunProcess(Bin("kovant-lookup") + " --dic " + SampleDic() + " 1058799");
  EXPECT_EQ(plain.out, "105-8799\t105\t東京都\t港区\t芝公園４丁目２－８（株式会社　みなと企画）\t事業所\n");
}

TEST(OfficesLookup, AFreshBuildFindsTownsAndOfficesOfTheWholeCountry) {
  // No --dic: the dictionary the build put beside the programs.
  ProcessResult town = RunProcess(Bin("kovant-lookup") + " 5300001");
  EXPECT_EQ(town.out, "530-0001\t530\t大阪府\t大阪市北区\t梅田\n") << town.err;
  ProcessResult office = RunProcess(Bin("kovant-lookup") + " 0608621");
  EXPECT_EQ(office.status, 0);
  EXPECT_NE(office.out.find("\t北海道\t札幌市中央区\t"), std::string::npos) << office.out;
  EXPECT_NE(office.out.find("\t事業所\n"), std::string::npos) << office.out;
}

}  // namespace
}  // namespace kovant::test
