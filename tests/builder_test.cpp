#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <zip.h>
#include <map>
#include <set>

#include "dict/codec.h"
#include "dict/codeindex.h"
#include "dict/fold.h"
#include "dict/readingsection.h"
#include "dict/sections.h"
#include "dict/search.h"
#include "dict/walk.h"
#include "platform/files.h"
#include "platform/sjis.h"
#include "testdata.h"
#include "zipdata.h"
#include "update/builder.h"

using namespace kovant;
using namespace kovant::test;

namespace {

int32_t ReadI32At(const std::string& bytes, size_t offset) {
  return dict::ReadI32(reinterpret_cast<const uint8_t*>(bytes.data()) + offset);
}

tools::KenRow Row(std::string lg, std::string oldCode, std::string newCode, std::string pref, std::string city,
                  std::string town) {
  tools::KenRow r;
  r.lgCode = lg;
  r.oldCode = oldCode;
  r.newCode = newCode;
  r.pref = pref;
  r.city = city;
  r.town = town;
  return r;
}

TEST(NormalizeTownName, TurnsNotesIntoAddressText) {
  EXPECT_EQ(tools::NormalizeTownName("以下に掲載がない場合", "札幌市中央区"), "");
  EXPECT_EQ(tools::NormalizeTownName("利島村一円", "利島村"), "");
  EXPECT_EQ(tools::NormalizeTownName("南相木村一円", "南佐久郡南相木村"), "");
  // "一円" alone is a place name.
  EXPECT_EQ(tools::NormalizeTownName("一円", "犬上郡多賀町"), "一円");
  EXPECT_EQ(tools::NormalizeTownName("境町の次に番地がくる場合", "猿島郡境町"), "（番地）");
  EXPECT_EQ(tools::NormalizeTownName("小菅村の次に１～６６３番地がくる場合", "北都留郡小菅村"), "（１～６６３番地）");
  EXPECT_EQ(tools::NormalizeTownName("琴平町の次に１～４２６番地がくる場合（川東）", "仲多度郡琴平町"),
            "（１～４２６番地　川東）");
  EXPECT_EQ(tools::NormalizeTownName("西新宿（次のビルを除く）", "新宿区"), "西新宿");
  EXPECT_EQ(tools::NormalizeTownName("大通西（１～１９丁目）", "札幌市中央区"), "大通西（１～１９丁目）");
  // The place before "の次に" is dropped only when it is the city itself.
  EXPECT_EQ(tools::NormalizeTownName("大島町の次に番地がくる場合", "西海市"), "大島町（番地）");
  EXPECT_EQ(tools::NormalizeTownName("西海市の次に番地がくる場合", "西海市"), "（番地）");
  EXPECT_EQ(tools::NormalizeTownName("大島町一円", "西海市"), "大島町一円");
  // A city that begins with 郡 has no district to strip.
  EXPECT_EQ(tools::CityLocalName("郡山市"), "郡山市");
  EXPECT_EQ(tools::CityLocalName("郡上市"), "郡上市");
  EXPECT_EQ(tools::CityLocalName("虻田郡洞爺湖町"), "洞爺湖町");
  EXPECT_EQ(tools::NormalizeTownName("山市一円", "郡山市"), "山市一円");
  EXPECT_EQ(tools::NormalizeTownName("郡山市一円", "郡山市"), "");
}

TEST(ParseOffices, ABlockParenthesisJoinsTheOfficeNameInOneCleanSupplement) {
  const std::string csv =
      "34202,\"ｸﾚ\",\"株式会社　山口銀行　呉支店\",\"広島県\",\"呉市\",\"中通\","
      "\"２丁目５－８（呉郵便局私書箱第２３号）\",\"7378650\",\"737  \",\"呉\",1,0,0\n";
  auto rows = tools::ParseOffices(csv, "test.csv");
  ASSERT_TRUE(rows.ok()) << rows.error().description;
  ASSERT_EQ(rows->size(), 1u);
  EXPECT_EQ((*rows)[0].town, "中通２丁目５－８（呉郵便局私書箱第２３号　株式会社　山口銀行　呉支店）");
  std::string folder = TempFolder("pobox");
  std::string path = BuildInto(folder, *rows);
  auto loaded = dict::LoadDictionary(path);
  ASSERT_TRUE(loaded.ok());
  auto found = dict::SearchPostalCode(path, loaded->table, "7378650");
  ASSERT_EQ(found.rows.size(), 1u);
  auto picked = dict::ShowPickedResult(path, found.rows[0], "");
  ASSERT_TRUE(picked.ok());
  EXPECT_EQ(picked->Address3, "中通２丁目５－８");
  EXPECT_EQ(picked->Supplement, "呉郵便局私書箱第２３号　株式会社　山口銀行　呉支店");
}

TEST(BuildDictionary, ACharacterOutsideShiftJisIsReplacedOrItsRowSkipped) {
  tools::BuildReport report;
  std::vector<tools::KenRow> rows = {Row("13101", "100", "1000001", "東京都", "千代田区", "𠮷野町"),
                                     Row("13101", "100", "1000002", "東京都", "千代田区", "😀町"),
                                     Row("13101", "100", "1000003", "東京都", "千代田区", "本町")};
  rows[1].line = 2;
  auto dic = tools::BuildDictionary(rows, {"2026-04-27", "test"}, report);
  ASSERT_TRUE(dic.ok()) << dic.error().description;
  ASSERT_EQ(report.skipped.size(), 1u);
  EXPECT_EQ(report.skipped[0].rfind("2: 1000002", 0), 0u) << report.skipped[0];
  EXPECT_EQ(report.towns, 2u);
  std::string path = TempFolder("sjisforms") + "/KOVANT.DIC";
  ASSERT_EQ(platform::WriteFileAtomically(path, *dic), "");
  auto loaded = dict::LoadDictionary(path);
  ASSERT_TRUE(loaded.ok());
  auto found = dict::SearchPostalCode(path, loaded->table, "1000001");
  ASSERT_EQ(found.rows.size(), 1u);
  EXPECT_EQ(found.rows[0].text, "東京都 千代田区 吉野町");
}

TEST(JoinSplitRows, JoinsAnOpenParenthesisOverRowsOfOneCode) {
  std::vector<tools::KenRow> rows = {
      Row("01203", "04993", "0493312", "北海道", "山越郡長万部町", "静狩（上、下、"),
      Row("01203", "04993", "0493312", "北海道", "山越郡長万部町", "中、"),
      Row("01203", "04993", "0493312", "北海道", "山越郡長万部町", "奥）"),
      Row("01203", "04993", "0493312", "北海道", "山越郡長万部町", "静狩"),
      // Never across codes: an unclosed name stays as it is.
      Row("01203", "04993", "0493313", "北海道", "山越郡長万部町", "国縫（"),
      Row("01203", "04993", "0493314", "北海道", "山越郡長万部町", "東）"),
  };
  auto result = tools::JoinSplitRows(rows, "KEN_ALL.CSV");
  ASSERT_TRUE(result.ok());
  const auto& joined = *result;
  ASSERT_EQ(joined.size(), 4u);
  EXPECT_EQ(joined[0].town, "静狩（上、下、中、奥）");
  EXPECT_EQ(joined[1].town, "静狩");
  EXPECT_EQ(joined[2].town, "国縫（");
}

TEST(EncodeName, UsesLongestExpansionFirst) {
  EXPECT_EQ(*tools::EncodeName("西新宿東京オペラシティ（１階）"), "\x78" + Sjis("１階）"));
  EXPECT_EQ(*tools::EncodeName("西新宿新宿"), "\x7D");
  EXPECT_EQ(*tools::EncodeName("町場"), "\x05\x01");
  EXPECT_EQ(*tools::EncodeName("あ"), Sjis("あ"));
  // Half-width letters and digits become full-width; nothing single-byte stays.
  EXPECT_EQ(platform::SjisToUtf8(*dict::ExpandText(*tools::EncodeName("A1 b"), 8)), "Ａ１　ｂ");
  EXPECT_FALSE(tools::EncodeName("ｱ").ok());
  EXPECT_FALSE(tools::EncodeName("\xF0\x9F\x98\x80").ok());
}

TEST(EncodeTownName, ShortensWithTheParenthesisClosed) {
  std::string name = "長い町（";
  for (int i = 0; i < 40; ++i) name += "あ";
  name += "）";
  bool cut = false;
  auto coded = tools::EncodeTownName(name, 80, &cut);
  ASSERT_TRUE(coded.ok());
  EXPECT_TRUE(cut);
  EXPECT_LE(coded->size(), 80u);
  std::string back = platform::SjisToUtf8(*dict::ExpandText(*coded, static_cast<int>(coded->size())));
  EXPECT_EQ(back.rfind("長い町（あ", 0), 0u);
  EXPECT_EQ(back.substr(back.size() - 6), "…）");
  // A name without a parenthesis ends in "…" alone.
  std::string plain(90 / 2 * 3, '\0');
  plain.clear();
  for (int i = 0; i < 45; ++i) plain += "あ";
  auto p = tools::EncodeTownName(plain, 80, &cut);
  std::string pb = platform::SjisToUtf8(*dict::ExpandText(*p, static_cast<int>(p->size())));
  EXPECT_EQ(pb.substr(pb.size() - 3), "…");
  EXPECT_EQ(p->size(), 80u);
  EXPECT_TRUE(tools::EncodeTownName("本町", 80, &cut).ok());
  EXPECT_FALSE(cut);
}

auto Expanded = [](const std::string& coded) {
  return platform::SjisToUtf8(*dict::ExpandText(coded, static_cast<int>(coded.size())));
};

TEST(EncodeTownName, CutsAfterTheLastWholeListItemAndKeepsAnOfficeName) {
  // A list of numbers: the cut never leaves half a number ("３…" of ３６７２).
  std::string list = "川下（";
  for (int i = 0; i < 12; ++i) list += "３６７" + std::to_string(i % 10) + "－１３、";
  list += "５）";
  bool cut = false;
  auto coded = tools::EncodeTownName(list, 80, &cut);
  ASSERT_TRUE(coded.ok());
  EXPECT_TRUE(cut);
  const std::string back = Expanded(*coded);
  EXPECT_EQ(back.substr(back.size() - std::string("－１３…）").size()), "－１３…）") << back;
  // The address before an office's name gives way, the name stays whole.
  const std::string name = "（株式会社　とても長い名前の事業所　本社総務部）";
  std::string office = "中津";
  for (int i = 0; i < 30; ++i) office += "ビル";
  office += name;
  auto kept = tools::EncodeTownName(office, 79, &cut, name.size());
  ASSERT_TRUE(kept.ok());
  EXPECT_LE(kept->size(), 79u);
  const std::string keptBack = Expanded(*kept);
  EXPECT_EQ(keptBack.substr(keptBack.size() - name.size()), name);
  EXPECT_EQ(keptBack.rfind("中津ビル", 0), 0u);
  // Shortening stays fast on hostile lengths (it used to be quadratic).
  std::string huge;
  for (int i = 0; i < 16000; ++i) huge += "あ";
  EXPECT_TRUE(tools::EncodeTownName(huge, 80, &cut).ok());
}

TEST(BuildDictionary, RefusesTooManyPrefixes) {
  std::vector<tools::KenRow> rows;
  for (int i = 0; i < 16; ++i) {
    const std::string code = std::to_string(10 + i) + "00001";
    rows.push_back(Row("13101", "100", code, "東京都", "千代田区", "町"));
  }
  tools::BuildReport report;
  auto dic = tools::BuildDictionary(rows, {}, report);
  ASSERT_FALSE(dic.ok());
  EXPECT_NE(dic.error().description.find("東京都"), std::string::npos);
  rows.pop_back();
  EXPECT_TRUE(tools::BuildDictionary(rows, {}, report).ok());
}

TEST(BuildDictionary, WritesTheHeader) {
  tools::BuildReport report;
  auto dic = tools::BuildDictionary({Row("13101", "100", "1000001", "東京都", "千代田区", "千代田")},
                                    {"2026-04-27", "KEN_ALL.CSV 1 rows"}, report);
  ASSERT_TRUE(dic.ok());
  std::string path = TempFolder("header") + "/KOVANT.DIC";
  RawDic raw;
  raw.bytes = *dic;
  raw.Write(path);
  auto loaded = dict::LoadDictionary(path);
  ASSERT_TRUE(loaded.ok());
  EXPECT_EQ(loaded->header.Version, 100);
  EXPECT_EQ(loaded->header.DataDate, "2026-04-27");
  EXPECT_EQ(loaded->header.Description, "KEN_ALL.CSV 1 rows");
  EXPECT_EQ(report.cities, 1u);
}

// Every town of the sample reads back with its codes and names, by search and
// by walk.
TEST(BuildDictionary, SampleRoundTrip) {
  auto towns = TownsOf(SamplePath());
  ASSERT_FALSE(towns.empty());
  std::string folder = TempFolder("roundtrip");
  tools::BuildReport report;
  std::string path = BuildInto(folder, towns, &report);
  EXPECT_TRUE(report.shortened.empty());
  auto loaded = dict::LoadDictionary(path);
  ASSERT_TRUE(loaded.ok());
  ASSERT_EQ(loaded->table.rows.size(), 47u);

  std::multiset<std::string> expected, walked;
  for (const auto& t : towns) {
    std::string old = t.oldCode.size() == 3 ? t.oldCode : t.oldCode.substr(0, 3) + "-" + t.oldCode.substr(3);
    expected.insert(t.newCode.substr(0, 3) + "-" + t.newCode.substr(3) + "|" + old + "|" + t.pref + "|" + t.city + "|" +
                    t.town);
    auto found = dict::SearchPostalCode(path, loaded->table, t.newCode);
    bool hit = false;
    for (const auto& row : found.rows) hit = hit || row.text == t.pref + " " + t.city + " " + t.town;
    EXPECT_TRUE(hit) << t.newCode << " " << t.town;
  }
  for (const auto& pref : loaded->table.rows) {
    auto cities = dict::LoadCities(path, loaded->table, pref.PrefNo);
    for (const auto& city : cities.entries) {
      auto list = dict::LoadTowns(path, cities.cityTable[static_cast<size_t>(city.itemData - 1)]);
      for (const auto& town : list.entries) {
        auto r = dict::ShowTownResult(path, pref.Name, city.text, town, "", false);
        ASSERT_TRUE(r.ok());
        walked.insert(r->NewCode + "|" + r->OldCode + "|" + pref.Name + "|" + city.text + "|" + r->Address3 +
                      r->Supplement);
      }
    }
  }
  EXPECT_EQ(walked, expected);
}

// Every prefecture, city and town keeps its reading after the records: a
// town's without its parenthesised part and notes, an office's its name's;
// the walk's lists carry them folded for the head search, and a broken
// readings section costs the lists their readings, never their entries.
TEST(BuildDictionary, ReadingsOfEveryNameAreKeptAndABrokenSectionHarmsNothing) {
  auto rows = TownsOf(SamplePath());
  const auto offices = OfficesOf(std::string(KOVANT_SOURCE_DIR) + "/data/sample_offices.csv");
  rows.insert(rows.end(), offices.begin(), offices.end());
  tools::BuildReport report;
  auto built = tools::BuildDictionary(rows, {"2026-01-01", "test"}, report);
  ASSERT_TRUE(built.ok());
  EXPECT_GT(report.readingBytes, 0u);
  auto dic = dict::DicFile::FromBytes(*built);
  auto table = dict::ReadingTable::Open(*dic);
  ASSERT_TRUE(table.ok() && table->Has());
  std::map<std::string, int> readings;  // reading -> how many records
  ASSERT_TRUE(table->ForEach([&](int64_t, std::string_view sjis) { ++readings[platform::SjisToUtf8(sjis)]; }).ok());
  for (const char* r :
       {"ホッカイドウ", "サッポロシチュウオウク", "オオドオリニシ", "ニシシンジュク", "(カブ) ピコランショウジ"}) {
    EXPECT_EQ(readings.count(r), 1u) << r;
  }
  EXPECT_EQ(readings.count("イカニケイサイガナイバアイ"), 0u);  // a town without a name has no reading
  EXPECT_EQ(readings.count("ニシシンジュク(ツギノビルヲノゾク)"), 0u);

  const std::string folder = TempFolder("readings");
  const std::string path = folder + "/KOVANT.DIC";
  auto write = [&](const std::string& bytes) {
    RawDic raw;
    raw.bytes = bytes;
    raw.Write(path);
  };
  auto keysOfTokyosCities = [&](bool* listed) {
    auto loaded = dict::LoadDictionary(path);
    EXPECT_TRUE(loaded.ok());
    std::set<std::string> keys;
    if (!loaded.ok()) return keys;
    dict::AddPrefectureReadings(path, loaded->table);
    keys.insert(loaded->table.rows[12].ReadingKey);
    auto cities = dict::LoadCities(path, loaded->table, 13);
    *listed = !cities.entries.empty() && !cities.readError;
    for (const auto& c : cities.entries) keys.insert(c.readingKey);
    return keys;
  };
  // The window reads a town list's keys when its head search needs them:
  // they must be the keys the list would carry, for every city's towns
  // and offices. Gives how many towns have one.
  auto townKeysAgree = [&] {
    size_t withKey = 0;
    auto loaded = dict::LoadDictionary(path);
    EXPECT_TRUE(loaded.ok());
    if (!loaded.ok()) return withKey;
    for (const auto& pref : loaded->table.rows) {
      for (const auto& city : dict::LoadCities(path, loaded->table, pref.PrefNo).cityTable) {
        const auto eager = dict::LoadTowns(path, city, true), lazy = dict::LoadTowns(path, city, true, false);
        EXPECT_EQ(lazy.entries.size(), eager.entries.size());
        if (lazy.entries.size() != eager.entries.size()) continue;
        std::vector<int64_t> positions;
        for (const auto& e : lazy.entries) positions.push_back(e.itemData);
        const auto keys = dict::TownReadingKeys(path, positions);
        for (size_t i = 0; i < keys.size(); ++i) {
          EXPECT_EQ(lazy.entries[i].text, eager.entries[i].text);
          EXPECT_EQ(lazy.entries[i].itemData, eager.entries[i].itemData);
          EXPECT_EQ(lazy.entries[i].readingKey, "");
          EXPECT_EQ(keys[i], eager.entries[i].readingKey) << eager.entries[i].text;
          withKey += !keys[i].empty();
        }
      }
    }
    return withKey;
  };
  write(*built);
  bool listed = false;
  auto keys = keysOfTokyosCities(&listed);
  EXPECT_TRUE(listed);
  EXPECT_TRUE(keys.count(dict::ReadingKey("とうきょうと")));
  EXPECT_TRUE(keys.count(dict::ReadingKey("shinjukuku")));
  EXPECT_GT(townKeysAgree(), rows.size() / 2);

  std::string broken = *built;  // the readings claim more entries than they hold
  auto sections = dict::ReadSectionTable(*dic);
  ASSERT_TRUE(sections.ok());
  const dict::Section* read = dict::FindSection(*sections, dict::kReadingSectionTag);
  ASSERT_NE(read, nullptr);
  dict::PatchI32(broken, static_cast<size_t>(read->pos - 1), 0x7FFFFFFF);
  write(broken);
  keys = keysOfTokyosCities(&listed);
  EXPECT_TRUE(listed);
  EXPECT_EQ(keys, std::set<std::string>{""});
  EXPECT_EQ(townKeysAgree(), 0u);
}

// The code section after the records: found through the header, answering
// as buckets made in memory do; a table that points outside the file is a
// read error, and a section whose entries disagree with the records is set
// aside for them.
TEST(BuildDictionary, TheCodeSectionAnswersAsTheRecordsAndIsChecked) {
  const auto towns = TownsOf(SamplePath());
  tools::BuildReport report;
  auto built = tools::BuildDictionary(towns, {"2026-01-01", "test"}, report);
  ASSERT_TRUE(built.ok());
  EXPECT_GT(report.sectionBytes, 40000u);
  const std::string bytes = *built;
  std::vector<std::string> codes;
  for (const auto& t : towns) codes.push_back(t.newCode);
  codes.push_back("9999999");
  auto answers = [&](const std::string& file, bool withSection, bool* hadSection = nullptr) {
    auto index = dict::CodeIndex::Build(dict::DicFile::FromBytes(file), withSection);
    EXPECT_TRUE(index.ok()) << (index.ok() ? "" : index.error().description);
    if (!index.ok()) return std::vector<std::vector<dict::CodeMatch>>{};
    if (hadSection) *hadSection = index->HasCodeSection();
    auto found = index->FindMany(codes);
    EXPECT_TRUE(found.ok());
    return found.ok() ? *found : std::vector<std::vector<dict::CodeMatch>>{};
  };
  auto text = [](const std::vector<std::vector<dict::CodeMatch>>& found) {
    std::string t;
    for (const auto& matches : found) {
      for (const auto& m : matches) t += m.newCode + " " + m.pref + m.city + m.town + "\n";
      t += "--\n";
    }
    return t;
  };
  bool hadSection = false;
  const std::string inMemory = text(answers(bytes, false)), viaSection = text(answers(bytes, true, &hadSection));
  EXPECT_TRUE(hadSection);
  EXPECT_EQ(viaSection, inMemory);
  EXPECT_NE(inMemory.find("100-0001 東京都千代田区千代田\n"), std::string::npos);

  // A file whose reserved bytes are zero, as every older one: no section.
  std::string plain = bytes;
  plain.replace(dict::header::kSectionMagic, 12, 12, '\0');
  EXPECT_EQ(text(answers(plain, true, &hadSection)), inMemory);
  EXPECT_FALSE(hadSection);

  auto refused = [](std::string file) { return !dict::CodeIndex::Build(dict::DicFile::FromBytes(file)).ok(); };
  std::string outside = bytes;
  dict::PatchI32(outside, dict::header::kSectionTable, static_cast<int64_t>(bytes.size()));
  EXPECT_TRUE(refused(outside));
  std::string tooMany = bytes;
  dict::PatchI32(tooMany, dict::header::kSectionCount, 1000);
  EXPECT_TRUE(refused(tooMany));
  auto dic = dict::DicFile::FromBytes(bytes);
  auto sections = dict::ReadSectionTable(*dic);
  ASSERT_TRUE(sections.ok());
  const dict::Section* code = dict::FindSection(*sections, dict::kCodeSectionTag);
  ASSERT_NE(code, nullptr);
  std::string longer = bytes;  // the section claims bytes past the end
  const size_t entry = static_cast<size_t>(ReadI32At(bytes, dict::header::kSectionTable) - 1);
  dict::PatchI32(longer, entry + 8, code->length + 1000000);
  EXPECT_TRUE(refused(longer));

  // Every entry pointed at one town: the section is set aside when the
  // index opens, and the records answer (it once found that town alone).
  std::string lying = bytes;
  const size_t entries = static_cast<size_t>(code->pos - 1) + 4 + 4 * 10001;
  const int32_t first = ReadI32At(lying, entries + 2);
  for (size_t e = entries; e < static_cast<size_t>(code->pos - 1 + code->length); e += 6) {
    dict::PatchI32(lying, e + 2, first);
  }
  EXPECT_EQ(text(answers(lying, true, &hadSection)), inMemory);
  EXPECT_FALSE(hadSection);
  auto index = dict::CodeIndex::Build(dict::DicFile::FromBytes(lying));
  ASSERT_TRUE(index.ok());
  EXPECT_EQ(index->SetAside(), "辞書の郵便番号索引が町域の記録と合いません。");
}

// The digest section vouches for the code section of a file as built, so
// that opening it skips the check against every record. When the digest
// does not match the bytes (a name or a code changed since, a section
// made for other records) or is missing (every older file), the section
// is checked the long way as before, and kept only when it answers as the
// records do.
TEST(BuildDictionary, TheDigestVouchesForTheCodeSectionOnlyWhileItMatches) {
  tools::BuildReport report;
  auto built = tools::BuildDictionary(TownsOf(SamplePath()), {"2026-01-01", "test"}, report);
  ASSERT_TRUE(built.ok());
  const std::string bytes = *built;
  struct Opened {
    bool vouched, hasSection;
    std::string setAside;
  };
  auto open = [](const std::string& file) {
    auto dic = dict::DicFile::FromBytes(file);
    auto sections = dict::ReadSectionTable(*dic);
    EXPECT_TRUE(sections.ok());
    const dict::Section* code = sections.ok() ? dict::FindSection(*sections, dict::kCodeSectionTag) : nullptr;
    EXPECT_NE(code, nullptr);
    const bool vouched = code && dict::Vouched(*dic, *sections, *code);
    auto index = dict::CodeIndex::Build(dict::DicFile::FromBytes(file));
    EXPECT_TRUE(index.ok());
    return index.ok() ? Opened{vouched, index->HasCodeSection(), index->SetAside()} : Opened{vouched, false, "?"};
  };
  const Opened asBuilt = open(bytes);
  EXPECT_TRUE(asBuilt.vouched);
  EXPECT_TRUE(asBuilt.hasSection);

  auto dic = dict::DicFile::FromBytes(bytes);
  auto sections = *dict::ReadSectionTable(*dic);
  ASSERT_EQ(sections.size(), 3u);
  ASSERT_EQ(sections.back().tag, dict::kDigestTag);
  const dict::Section& code = *dict::FindSection(sections, dict::kCodeSectionTag);
  // The first town listed with a name.
  size_t town = 0;
  for (size_t entry = static_cast<size_t>(code.pos - 1) + 4 + 4 * 10001; town == 0; entry += 6) {
    const auto at = static_cast<size_t>(ReadI32At(bytes, entry + 2) - 1);
    if (bytes[at + dict::town::kNameLength] != 0) town = at;
  }

  // A byte of a town's name: no longer vouched for, checked, still right.
  std::string renamed = bytes;
  renamed[town + dict::kTownFixed] ^= 0x01;
  const Opened afterRename = open(renamed);
  EXPECT_FALSE(afterRename.vouched);
  EXPECT_TRUE(afterRename.hasSection);

  // The town's code: the check finds the section wrong for it.
  std::string recoded = bytes;
  dict::PatchI32(recoded, town + dict::town::kCodeNumber, ReadI32At(bytes, town + dict::town::kCodeNumber) + 1);
  const Opened afterRecode = open(recoded);
  EXPECT_FALSE(afterRecode.vouched);
  EXPECT_FALSE(afterRecode.hasSection);
  EXPECT_EQ(afterRecode.setAside, "辞書の郵便番号索引が町域の記録と合いません。");

  // A digest that names another section, or none at all (the table of an
  // older file): checked, and right.
  std::string otherTag = bytes;
  otherTag.replace(static_cast<size_t>(sections.back().pos - 1) + dict::digest::kCovers, 4, "READ");
  std::string noDigest = bytes;
  dict::PatchI32(noDigest, dict::header::kSectionCount, 2);
  for (const std::string& file : {otherTag, noDigest}) {
    const Opened opened = open(file);
    EXPECT_FALSE(opened.vouched);
    EXPECT_TRUE(opened.hasSection);
    EXPECT_EQ(opened.setAside, "");
  }

  // The digest itself: every single bit changed in a buffer changes it.
  std::string buffer(100, '\0');
  for (size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<char>(i * 37);
  auto digestOf = [](const std::string& b) {
    return dict::Digest(reinterpret_cast<const uint8_t*>(b.data()), b.size());
  };
  std::set<uint64_t> seen = {digestOf(buffer), digestOf(buffer + '\0')};
  for (size_t bit = 0; bit < buffer.size() * 8; ++bit) {
    std::string flipped = buffer;
    flipped[bit / 8] = static_cast<char>(flipped[bit / 8] ^ (1 << (bit % 8)));
    seen.insert(digestOf(flipped));
  }
  EXPECT_EQ(seen.size(), buffer.size() * 8 + 2);
}

TEST(ReadInputFile, ZipErrorsAreToldInJapanese) {
  EXPECT_EQ(tools::ZipErrorText(ZIP_ER_NOENT), "その名前のファイルがありません");
  EXPECT_EQ(tools::ZipErrorText(ZIP_ER_OPEN), "ファイルを開けません");
  EXPECT_EQ(tools::ZipErrorText(ZIP_ER_NOZIP), "zip ではありません");
  EXPECT_EQ(tools::ZipErrorText(ZIP_ER_MULTIDISK),
            "zip の処理でエラーが発生しました（Multi-disk zip archives not supported）");
  // A stored CSV with one byte changed: its check value names the fault.
  std::string bytes = ZipOf("KEN_ALL.CSV", "13101,\"100  \",\"1000000\"\r\n", 0, true);
  bytes[bytes.find("13101")] = '9';
  auto in = tools::ReadInputBytes(bytes, "ken_all.zip", "ken_all.zip", "");
  ASSERT_FALSE(in.ok());
  EXPECT_EQ(in.error().description, "ken_all.zip: KEN_ALL.CSV を展開できません（検査値が合いません）。");
}

TEST(ReadInputFile, ReadsZipAndRefusesGarbage) {
  std::string folder = TempFolder("input");
  // Not a CSV at all.
  RawDic junk;
  junk.bytes = std::string("\x00\x01\x02\x03garbage", 11);
  junk.Write(folder + "/junk.csv");
  auto in = tools::ReadInputFile(folder + "/junk.csv");
  ASSERT_TRUE(in.ok());
  EXPECT_FALSE(tools::ParseKenAll(in->bytes, "junk.csv").ok());
  // A broken zip.
  RawDic zip;
  zip.bytes =
      "PK\x03\x04"
      "broken";
  zip.Write(folder + "/broken.zip");
  EXPECT_FALSE(tools::ReadInputFile(folder + "/broken.zip").ok());
  EXPECT_FALSE(tools::ReadInputFile(folder + "/none.zip").ok());
}

TEST(ParseKenAll, NamesTheLineOfABadRow) {
  auto csv = [](const std::string& utf8) { return platform::Utf8ToSjis(utf8); };
  const std::string good =
      "13101,\"100  \",\"1000001\",\"ﾄｳｷｮｳﾄ\",\"ﾁﾖﾀﾞｸ\",\"ﾁﾖﾀﾞ\",\"東京都\",\"千代田区\",\"千代田\",0,0,0,0,0,0\r\n";
  EXPECT_TRUE(tools::ParseKenAll(csv(good + good), "k.csv").ok());
  auto expectError = [&](const std::string& bad, const std::string& fragment) {
    auto r = tools::ParseKenAll(csv(good + bad), "k.csv");
    ASSERT_FALSE(r.ok()) << bad;
    EXPECT_NE(r.error().description.find("k.csv:2:"), std::string::npos) << r.error().description;
    EXPECT_NE(r.error().description.find(fragment), std::string::npos) << r.error().description;
  };
  expectError("13101,\"100  \",\"1000001\"\r\n", "列");
  expectError("13101,\"100  \",\"100001\",\"\",\"\",\"\",\"東京都\",\"千代田区\",\"千代田\",0,0,0,0,0,0\r\n",
              "郵便番号");
  expectError("13101,\"1000 \",\"1000001\",\"\",\"\",\"\",\"東京都\",\"千代田区\",\"千代田\",0,0,0,0,0,0\r\n",
              "旧郵便番号");
  expectError("13101,\"100  \",\"1000001\",\"\",\"\",\"\",\"東京府\",\"千代田区\",\"千代田\",0,0,0,0,0,0\r\n",
              "都道府県名");
  expectError("48101,\"100  \",\"1000001\",\"\",\"\",\"\",\"東京都\",\"千代田区\",\"千代田\",0,0,0,0,0,0\r\n",
              "都道府県コード");
  // The UTF-8 variant reads the same.
  auto utf8 = tools::ParseKenAll("\xEF\xBB\xBF" + good, "u.csv");
  ASSERT_TRUE(utf8.ok());
  EXPECT_EQ((*utf8)[0].town, "千代田");
}

TEST(ParseCsv, HandlesQuotesAndLineEnds) {
  std::vector<size_t> lines;
  auto rows = tools::ParseCsv("a,\"b,c\",\"d\"\"e\"\r\n1,2\n\n3", &lines);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"a", "b,c", "d\"e"}));
  EXPECT_EQ(rows[1], (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(rows[3], (std::vector<std::string>{"3"}));
  EXPECT_EQ(lines, (std::vector<size_t>{1, 2, 3, 4}));
}

// Fields are read a run at a time: quotes inside a field stay text, line
// feeds inside quotes still count, and a field one byte too long is refused
// at its row whether quoted or not.
TEST(ParseCsv, RunsKeepQuotesLinesAndLimits) {
  std::vector<size_t> lines;
  auto rows = tools::ParseCsv("a\"b,\"c\nd\"\"e\",f\n\"g\r\n\nh\"\ni", &lines);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"a\"b", "c\nd\"e", "f"}));
  EXPECT_EQ(rows[1], (std::vector<std::string>{"g\r\n\nh"}));
  EXPECT_EQ(lines, (std::vector<size_t>{1, 3, 6}));
  auto each = [](std::string_view csv) {
    size_t rowsRead = 0;
    auto r = tools::ForEachCsvRecord(csv, tools::CsvLimits{3, 3}, [&](std::vector<std::string>&, size_t) {
      ++rowsRead;
      return true;
    });
    return r.ok() ? "rows " + std::to_string(rowsRead) : r.error().description;
  };
  EXPECT_EQ(each("abc,d\n\"abc\",x\n"), "rows 2");
  EXPECT_EQ(each("ab\nabcd,e\n"), "2: 欄が 3 バイトを超えています。");
  EXPECT_EQ(each("x\n\"a\nbcd\"\n"), "2: 欄が 3 バイトを超えています。");
  EXPECT_EQ(each("a,b,c,d,e\n"), "1: 列が 3 を超えています。");
}

TEST(HostileInput, TheBuilderStaysLinearAndRefusesWhatNoRealFileHolds) {
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  // A parenthesis continued over 40,000 rows of one code.
  std::vector<tools::KenRow> rows;
  rows.push_back(Row("13101", "100", "1000001", "東京都", "千代田区", "長い町（"));
  rows.back().line = 7;
  for (int i = 0; i < 40000; ++i) rows.push_back(Row("13101", "100", "1000001", "東京都", "千代田区", "あ、"));
  auto joined = tools::JoinSplitRows(rows, "KEN_ALL.CSV");
  ASSERT_FALSE(joined.ok());
  EXPECT_EQ(joined.error().description.rfind("KEN_ALL.CSV:7:", 0), 0u) << joined.error().description;
  // A file of nothing but commas is refused at its first line.
  const std::string commas(400000, ',');
  auto parsed = tools::ParseKenAll(commas + "\r\n" + commas, "commas.csv");
  ASSERT_FALSE(parsed.ok());
  EXPECT_EQ(parsed.error().description.rfind("commas.csv:1:", 0), 0u) << parsed.error().description;
  // One field larger than any row of Japan Post's.
  auto huge = tools::ParseKenAll(
      "13101,\"100  \",\"1000001\",a,b,c,東京都,千代田区," + std::string(100000, 'x') + ",0,0,0,0,0,0\r\n", "huge.csv");
  ASSERT_FALSE(huge.ok());
  EXPECT_NE(huge.error().description.find("huge.csv:1:"), std::string::npos) << huge.error().description;
  // A zip holding no entry says so.
  std::string emptyZip = "PK\x05\x06";
  emptyZip.append(18, '\0');
  auto none = tools::ReadInputBytes(emptyZip, "empty.zip", "empty.zip", "");
  ASSERT_FALSE(none.ok());
  EXPECT_NE(none.error().description.find("ファイルがありません"), std::string::npos);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(20));
}

}  // namespace
