#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <gtest/gtest.h>

#include "dict/reader.h"
#include "dict/search.h"
#include "dict/walk.h"
#include "platform/files.h"
#include "dicfixture.h"
#include "process.h"
#include "testdata.h"

using namespace kovant;
using namespace kovant::test;

namespace {

// 47 prefecture records; prefecture 2 is stored as 青森 (4 bytes of name).
RawDic FortySevenPrefectures(std::vector<int32_t>* positions = nullptr) {
  RawDic d;
  const char* names[] = {"北海道", "青森", "岩手", "東京都", "京都府", "大阪府"};
  for (int n = 1; n <= 47; ++n) {
    std::string name = Sjis(n <= 6 ? names[n - 1] : "沖縄");
    int32_t pos = d.Pref(static_cast<uint8_t>(n), 0, {}, name);
    if (positions) positions->push_back(pos);
  }
  return d;
}

TEST(LoadDictionary, ReadsVariableLengthPrefectureRecords) {
  std::vector<int32_t> pos;
  RawDic d = FortySevenPrefectures(&pos);
  EXPECT_EQ(pos[0], 101);
  EXPECT_EQ(pos[2] - pos[1], 26);  // 22 + NameLength 4, although 32 bytes are read
  std::string path = TempFolder("prefs") + "/KOVANT.DIC";
  d.Write(path);
  auto loaded = dict::LoadDictionary(path);
  ASSERT_TRUE(loaded.ok()) << loaded.error().description;
  ASSERT_FALSE(loaded->versionMismatch);
  ASSERT_EQ(loaded->table.rows.size(), 47u);
  EXPECT_EQ(loaded->table.rows[0].Name, "北海道");
  EXPECT_EQ(loaded->table.rows[1].Name, "青森県");
  EXPECT_EQ(loaded->table.rows[3].Name, "東京都");
  EXPECT_EQ(loaded->table.rows[4].Name, "京都府");
  EXPECT_EQ(loaded->table.rows[5].Name, "大阪府");
  EXPECT_EQ(loaded->table.rows[46].Name, "沖縄県");
  for (size_t k = 0; k < 47; ++k) EXPECT_EQ(loaded->table.rows[k].PrefNo, k + 1);
}

TEST(LoadDictionary, OtherVersionLeavesTheTableEmpty) {
  RawDic d(101);
  std::string folder = TempFolder("version");
  d.Write(folder + "/KOVANT.DIC");
  auto loaded = dict::LoadDictionary(folder + "/KOVANT.DIC");
  ASSERT_TRUE(loaded.ok());
  EXPECT_TRUE(loaded->versionMismatch);
  EXPECT_TRUE(loaded->table.rows.empty());
  auto found = dict::SearchPostalCode(folder + "/KOVANT.DIC", loaded->table, "1000001");
  EXPECT_TRUE(found.rows.empty());
  EXPECT_FALSE(found.readError);
  EXPECT_EQ(found.heading, "該　当　住　所 （0 件）");
}

TEST(LoadDictionary, MissingFileIsAnErrorAndIsNotCreated) {
  std::string path = TempFolder("missing") + "/KOVANT.DIC";
  auto loaded = dict::LoadDictionary(path);
  ASSERT_FALSE(loaded.ok());
  std::string message = dict::ReadErrorMessage(path, loaded.error());
  EXPECT_EQ(message.rfind("辞書の読み込みでエラーが発生しました。\r\n" + path + " ", 0), 0u) << message;
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(LoadDictionary, NameThatCannotBeExpandedIsAReadError) {
  RawDic d;
  d.Pref(1, 0, {}, std::string("\x05\xA5", 2));  // a half-width katakana byte is not coded text
  std::string path = TempFolder("badname") + "/KOVANT.DIC";
  d.Write(path);
  EXPECT_FALSE(dict::LoadDictionary(path).ok());
}

TEST(DicFile, BytesBeyondTheEndReadAsZero) {
  RawDic d;
  std::string path = TempFolder("zero") + "/KOVANT.DIC";
  d.Write(path);
  auto f = dict::DicFile::Open(path);
  ASSERT_TRUE(f.ok());
  auto town = (*f)->ReadTown(95);  // straddles the end
  ASSERT_TRUE(town.ok());
  EXPECT_EQ(town->CityNo, 0);
  EXPECT_EQ(town->NameLength, 0);
  EXPECT_TRUE((*f)->ReadCity(1 << 30).ok());
  EXPECT_FALSE((*f)->ReadCity(0).ok());
  EXPECT_FALSE((*f)->ReadCity(-5).ok());
}

// Reads from the file itself (the index's walk over the cities) give what
// reads through the mapping give, zeros past the end included, and refuse
// a position before the start with the same message.
TEST(DicFile, ReadsFromTheFileGiveWhatTheMappingGives) {
  RawDic d;
  const std::string path = TempFolder("fromfile") + "/KOVANT.DIC";
  d.Write(path);
  auto mapped = dict::DicFile::OpenWhole(path);
  ASSERT_TRUE(mapped.ok());
  const int64_t size = (*mapped)->Size();
  const std::string bytes = kovant::test::ReadAll(path);
  auto inMemory = dict::DicFile::FromBytes(bytes);
  for (int64_t pos : {int64_t{1}, int64_t{2}, int64_t{101}, size - 5, size, size + 1, size + 5000}) {
    for (size_t n : {size_t{1}, size_t{13}, size_t{43}, size_t{4096}}) {
      std::vector<uint8_t> want(n, 0xAA), got(n, 0x55), fromBytes(n, 0x55);
      ASSERT_TRUE((*mapped)->ReadAt(pos, n, want.data()).ok());
      ASSERT_TRUE((*mapped)->ReadFromFile(pos, n, got.data()).ok());
      ASSERT_TRUE(inMemory->ReadFromFile(pos, n, fromBytes.data()).ok());
      EXPECT_EQ(got, want) << pos << " " << n;
      EXPECT_EQ(fromBytes, want) << pos << " " << n;
    }
  }
  uint8_t b[8];
  auto before = (*mapped)->ReadFromFile(0, sizeof b, b);
  ASSERT_FALSE(before.ok());
  EXPECT_EQ(before.error().description, (*mapped)->ReadAt(0, sizeof b, b).error().description);
}

// A copy kept of part of a file answers every read as the mapping does,
// at its ends and past them; one that cannot be kept (a short file, a part
// beyond the end, a system without large pages on request) changes nothing.
TEST(DicFile, AKeptCopyAnswersAsTheMappingDoes) {
  std::string bytes(3 << 20, '\0');
  std::mt19937 rng(3);
  for (char& c : bytes) c = static_cast<char>(rng());
  const std::string path = TempFolder("keptcopy") + "/KOVANT.DIC";
  std::ofstream(path, std::ios::binary) << bytes;
  auto plain = dict::DicFile::OpenWhole(path), kept = dict::DicFile::OpenWhole(path);
  ASSERT_TRUE(plain.ok() && kept.ok());
  const int64_t from = 101, to = static_cast<int64_t>(bytes.size()) - 1000;   // the copy: [from, to)
  EXPECT_FALSE((*kept)->KeepCopy(from, (int64_t{1} << 20) - 1));              // too short to be worth it
  EXPECT_FALSE((*kept)->KeepCopy(from, static_cast<int64_t>(bytes.size())));  // past the end
  const bool copied = (*kept)->KeepCopy(from, to - from);
  for (int64_t pos : {int64_t{1}, from - 1, from, from + 4095, to - 89, to - 9, to - 1, to, to + 500}) {
    for (size_t n : {size_t{1}, size_t{9}, size_t{89}}) {
      const uint8_t* a = (*plain)->MemoryAt(pos, n);
      const uint8_t* b = (*kept)->MemoryAt(pos, n);
      ASSERT_EQ(a == nullptr, b == nullptr) << pos;
      if (a) {
        EXPECT_EQ(std::memcmp(a, b, n), 0) << pos << " " << n;
      }
      auto peekA = (*plain)->Peek(pos, n), peekB = (*kept)->Peek(pos, n);
      ASSERT_TRUE(peekA.ok() && peekB.ok());
      EXPECT_EQ(std::memcmp(*peekA, *peekB, n), 0) << pos << " " << n;
    }
  }
  // Inside the copy, reads come from it; the digest's stream too.
  if (copied) {
    EXPECT_NE((*kept)->MemoryAt(from, 9), (*plain)->MemoryAt(from, 9));
  }
  std::string streamed;
  auto stream = (*kept)->Stream(
      from, to - from, [&](const uint8_t* p, size_t n) { streamed.append(reinterpret_cast<const char*>(p), n); });
  ASSERT_TRUE(stream.ok());
  EXPECT_TRUE(streamed == bytes.substr(static_cast<size_t>(from - 1), static_cast<size_t>(to - from)));
  auto town = (*kept)->ReadTown(to - 20);  // across the copy's end
  auto same = (*plain)->ReadTown(to - 20);
  ASSERT_TRUE(town.ok() && same.ok());
  EXPECT_EQ(std::string_view(town->Name), std::string_view(same->Name));
}

TEST(DicFile, DirectoryIsNotADictionary) {
  std::string folder = TempFolder("dir");
  std::filesystem::create_directory(folder + "/KOVANT.DIC");
  EXPECT_FALSE(dict::LoadDictionary(folder + "/KOVANT.DIC").ok());
}

// A dictionary cut anywhere must give errors or short lists, never a crash
// or an endless chain.
TEST(DicFile, TruncatedAnywhereNeverCrashes) {
  std::string good = SampleDictionary("trunc-src");
  auto whole = platform::ReadWholeFile(good);
  ASSERT_TRUE(whole);
  std::string path = TempFolder("trunc") + "/KOVANT.DIC";
  auto loadedWhole = dict::LoadDictionary(good);
  ASSERT_TRUE(loadedWhole.ok());
  // Every cut in the header and the table, where a length or an offset is
  // read first; a share of the cuts past them in the sanitizer build.
  for (size_t cut = 0; cut < whole->size(); cut += cut < 4096 ? 1 : kSanitizerShare) {
    RawDic d;
    d.bytes = whole->substr(0, cut);
    d.Write(path);
    auto loaded = dict::LoadDictionary(path);
    // Searching and walking with the table of the whole file reads the cut file.
    for (const char* code : {"1000001", "160", "06401", "9000000"}) {
      (void)dict::SearchPostalCode(path, loadedWhole->table, code);
    }
    for (int p : {1, 13, 47}) {
      auto cities = dict::LoadCities(path, loadedWhole->table, p);
      for (const auto& c : cities.cityTable) (void)dict::LoadTowns(path, c);
    }
    if (loaded.ok() && !loaded->versionMismatch) {
      EXPECT_EQ(loaded->table.rows.size(), 47u);
    }
  }
}

}  // namespace
