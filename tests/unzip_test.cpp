// The zip reader of the Windows build (our container reading, zlib's
// inflate): archives written here byte by byte, with sizes and checks that
// lie, and on Linux the same answers as libzip for archives libzip wrote
// and for Japan Post's own files.
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/files.h"
#include "update/unzip.h"

#ifdef _WIN32
#define ReadZipCsvZlib ReadZipCsv  // the Windows build's own reader
#else
#include "zipdata.h"
namespace kovant::tools {
// unzip_zlib.cpp built into this test under this name, beside libzip's.
Result<InputFile> ReadZipCsvZlib(const std::string& raw, const std::string& path, const std::string& date,
                                 size_t maxBytes = kMaxInputBytes);
}  // namespace kovant::tools
#endif

namespace kovant {
namespace {

using tools::ReadZipCsvZlib;

void Put16(std::string& out, uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

std::string RawDeflate(const std::string& bytes) {
  z_stream z{};
  deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, static_cast<uLong>(bytes.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  z.avail_in = static_cast<uInt>(bytes.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// One member as written; the stated fields, when set, replace the true ones.
struct Member {
  std::string name, bytes;
  uint32_t method = 8, flags = 0, dosDate = (46u << 9) | (4u << 5) | 27u;  // 2026-04-27
  int64_t statedSize = -1, statedPacked = -1, statedCrc = -1;
};

std::string ZipBytes(const std::vector<Member>& members) {
  std::string zip, directory;
  for (const Member& m : members) {
    const std::string packed = m.method == 8 ? RawDeflate(m.bytes) : m.bytes;
    const uint32_t crc = static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(m.bytes.data()), static_cast<uInt>(m.bytes.size())));
    auto fields = [&](std::string& out) {
      Put16(out, m.flags);
      Put16(out, m.method);
      Put16(out, 0);
      Put16(out, m.dosDate);
      Put32(out, m.statedCrc >= 0 ? static_cast<uint32_t>(m.statedCrc) : crc);
      Put32(out, m.statedPacked >= 0 ? static_cast<uint32_t>(m.statedPacked) : static_cast<uint32_t>(packed.size()));
      Put32(out, m.statedSize >= 0 ? static_cast<uint32_t>(m.statedSize) : static_cast<uint32_t>(m.bytes.size()));
      Put16(out, static_cast<uint32_t>(m.name.size()));
      Put16(out, 0);
    };
    const uint32_t offset = static_cast<uint32_t>(zip.size());
    Put32(zip, 0x04034b50);
    Put16(zip, 20);
    fields(zip);
    zip += m.name + packed;
    Put32(directory, 0x02014b50);
    Put16(directory, 20);
    Put16(directory, 20);
    fields(directory);
    Put16(directory, 0);  // comment
    Put16(directory, 0);  // disk
    Put16(directory, 0);  // internal attributes
    Put32(directory, 0);  // external attributes
    Put32(directory, offset);
    directory += m.name;
  }
  const uint32_t at = static_cast<uint32_t>(zip.size());
  zip += directory;
  Put32(zip, 0x06054b50);
  Put32(zip, 0);
  Put16(zip, static_cast<uint32_t>(members.size()));
  Put16(zip, static_cast<uint32_t>(members.size()));
  Put32(zip, static_cast<uint32_t>(directory.size()));
  Put32(zip, at);
  Put16(zip, 0);
  return zip;
}

std::string Error(const tools::Result<tools::InputFile>& r) {
  return r ? std::string("(no error)") : r.error().description;
}

// The first CSV, deflated or stored, with its own name and the date stored
// with it; a member that is no CSV is passed over.
TEST(Unzip, ReadsTheFirstCsvWithItsNameAndDate) {
  const std::string text = "01101,\"060  \",\"0600000\",\"ﾎｯｶｲﾄﾞｳ\"\r\n";
  for (uint32_t method : {8u, 0u}) {
    Member readme{"README.TXT", "not this"};
    Member csv{"KEN_ALL.CSV", text};
    csv.method = method;
    const auto r = ReadZipCsvZlib(ZipBytes({readme, csv}), "ken_all.zip", "2001-01-01");
    ASSERT_TRUE(r) << r.error().description;
    EXPECT_EQ(r->name, "KEN_ALL.CSV");
    EXPECT_EQ(r->bytes, text);
    EXPECT_EQ(r->date, "2026-04-27");
  }
  Member undated{"x.csv", "a"};
  undated.dosDate = 0;
  const auto r = ReadZipCsvZlib(ZipBytes({undated}), "x.zip", "2001-01-01");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->date, "2001-01-01");
  EXPECT_EQ(Error(ReadZipCsvZlib(ZipBytes({}), "e.zip", "")), "e.zip: zip の中にファイルがありません。");
  EXPECT_EQ(Error(ReadZipCsvZlib(ZipBytes({Member{"README.TXT", "x"}}), "r.zip", "")),
            "r.zip: zip の中に CSV がありません。");
}

// Sizes, offsets and checks from the archive are believed only as far as
// the bytes bear them out: each lie is an error with a message, never bytes
// past the archive's end, a short or padded file, or a huge allocation.
TEST(Unzip, LyingFieldsAreErrors) {
  std::string text;
  for (int i = 0; i < 2000; ++i) text += "13101,\"100  \",\"1000001\",\"ﾄｳｷｮｳﾄ\"\r\n";
  const std::string where = "k.zip: KEN_ALL.CSV を展開できません";
  auto with = [&](auto change) {
    Member m{"KEN_ALL.CSV", text};
    change(m);
    return Error(ReadZipCsvZlib(ZipBytes({m}), "k.zip", ""));
  };
  EXPECT_EQ(with([](Member& m) { m.statedSize = static_cast<int64_t>(m.bytes.size()) + 1; }),
            where + "（壊れています）。");
  EXPECT_EQ(with([](Member& m) { m.statedSize = 10; }), where + "（壊れています）。");
  EXPECT_EQ(with([](Member& m) { m.statedSize = 0xFFFFFFF0; }),
            "k.zip: KEN_ALL.CSV が大きすぎます（展開すると 512 MB を超えます）。");
  EXPECT_EQ(with([](Member& m) { m.statedPacked = 0x7FFFFFFF; }), where + "（途中で切れています）。");
  EXPECT_EQ(with([](Member& m) { m.statedPacked = 40; }), where + "（途中で切れています）。");
  EXPECT_EQ(with([](Member& m) { m.statedCrc = 12345; }), where + "（検査値が合いません）。");
  EXPECT_EQ(with([](Member& m) { m.flags = 1; }), where + "（暗号化されています）。");
  EXPECT_EQ(with([](Member& m) { m.method = 12; }), where + "（対応していない圧縮方式です）。");
  EXPECT_EQ(with([](Member& m) {
              m.method = 0;
              m.statedPacked = static_cast<int64_t>(m.bytes.size()) - 1;
            }),
            where + "（壊れています）。");

  // Cut anywhere, the archive is refused, never read past its end.
  const std::string whole = ZipBytes({Member{"KEN_ALL.CSV", text}});
  for (size_t cut = 0; cut < whole.size(); cut += 97) {
    EXPECT_FALSE(ReadZipCsvZlib(whole.substr(0, cut), "k.zip", "")) << cut;
  }
  EXPECT_EQ(Error(ReadZipCsvZlib("PK\x03\x04 and nothing", "n.zip", "")),
            "n.zip: zip を開けません（zip ではありません）。");
}

#ifndef _WIN32
// libzip is the judge: archives libzip wrote (deflated and stored, dated)
// and Japan Post's own files give the same name, bytes and date.
TEST(Unzip, AgreesWithLibzip) {
  const std::string text = "13101,\"100  \",\"1000001\",\"ﾄｳｷｮｳﾄ\",\"東京都\"\r\n";
  std::vector<std::string> zips = {test::ZipOf("KEN_ALL.CSV", text, 1777000000), test::ZipOf("a.csv", text, 0, true),
                                   test::ZipOf("b.csv", "")};
  for (const char* file : {"ken_all.zip", "jigyosyo.zip"}) {
    auto raw = platform::ReadWholeFile(std::string(KOVANT_SOURCE_DIR) + "/data/japanpost/" + file, size_t{64} << 20);
    ASSERT_TRUE(raw) << file;
    zips.push_back(*raw);
  }
  for (const std::string& zip : zips) {
    const auto ours = ReadZipCsvZlib(zip, "z.zip", "2001-01-01");
    const auto theirs = tools::ReadZipCsv(zip, "z.zip", "2001-01-01");
    ASSERT_TRUE(ours) << ours.error().description;
    ASSERT_TRUE(theirs);
    EXPECT_EQ(ours->name, theirs->name);
    EXPECT_EQ(ours->date, theirs->date);
    EXPECT_TRUE(ours->bytes == theirs->bytes) << ours->name;
  }
}
#endif

}  // namespace
}  // namespace kovant
