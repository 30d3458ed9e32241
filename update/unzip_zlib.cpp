// The first CSV inside a zip archive, for the Windows build: the container
// read here (end record, central directory, local headers), the data
// inflated by zlib. Every offset and size from the archive is checked
// against the bytes at hand, and the sizes it states are believed only as
// far as the inflated bytes and their CRC bear them out.
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>

#include "update/kenall.h"
#include "update/unzip.h"

namespace kovant::tools {
namespace {

// Deflate cannot pack more than about 1032 bytes into one.
constexpr size_t kMaxDeflateRatio = 1032;
constexpr size_t kEndRecordSize = 22;
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kLocalHeaderSize = 30;

uint32_t Le16(std::string_view b, size_t at) {
  return static_cast<uint32_t>(static_cast<unsigned char>(b[at])) |
         static_cast<uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8;
}
uint32_t Le32(std::string_view b, size_t at) { return Le16(b, at) | Le16(b, at + 2) << 16; }

// One entry as the central directory states it.
struct Entry {
  std::string name;
  uint32_t flags = 0, method = 0, dosTime = 0, dosDate = 0, crc = 0;
  uint64_t packedSize = 0, size = 0, localOffset = 0;
};

// The end record: where the central directory is and how many entries.
struct Directory {
  size_t offset = 0, size = 0, count = 0;
};

// Searched from the end: an archive comment may follow the record.
std::optional<Directory> FindDirectory(std::string_view zip) {
  if (zip.size() < kEndRecordSize) return std::nullopt;
  const size_t lowest = zip.size() > kEndRecordSize + 0xFFFF ? zip.size() - kEndRecordSize - 0xFFFF : 0;
  for (size_t at = zip.size() - kEndRecordSize + 1; at-- > lowest;) {
    if (Le32(zip, at) != 0x06054b50) continue;
    Directory d{Le32(zip, at + 16), Le32(zip, at + 12), Le16(zip, at + 10)};
    if (d.offset > at || d.size > at - d.offset) continue;  // a signature inside the comment
    return d;
  }
  return std::nullopt;
}

// The entries of the central directory, or nothing when it is damaged.
std::optional<std::vector<Entry>> ReadDirectory(std::string_view zip, const Directory& d) {
  std::vector<Entry> entries;
  size_t at = d.offset;
  const size_t end = d.offset + d.size;
  for (size_t i = 0; i < d.count; ++i) {
    if (end - at < kCentralHeaderSize || Le32(zip, at) != 0x02014b50) return std::nullopt;
    const size_t nameLength = Le16(zip, at + 28);
    const size_t next = at + kCentralHeaderSize + nameLength + Le16(zip, at + 30) + Le16(zip, at + 32);
    if (next > end) return std::nullopt;
    Entry e;
    e.flags = Le16(zip, at + 8);
    e.method = Le16(zip, at + 10);
    e.dosTime = Le16(zip, at + 12);
    e.dosDate = Le16(zip, at + 14);
    e.crc = Le32(zip, at + 16);
    e.packedSize = Le32(zip, at + 20);
    e.size = Le32(zip, at + 24);
    e.localOffset = Le32(zip, at + 42);
    e.name = std::string(zip.substr(at + kCentralHeaderSize, nameLength));
    entries.push_back(std::move(e));
    at = next;
  }
  return entries;
}

// The entry's packed bytes, behind its local header; nothing when they
// lie outside the archive.
std::optional<std::string_view> PackedBytes(std::string_view zip, const Entry& e) {
  if (e.localOffset > zip.size() || zip.size() - e.localOffset < kLocalHeaderSize) return std::nullopt;
  const size_t at = static_cast<size_t>(e.localOffset);
  if (Le32(zip, at) != 0x04034b50) return std::nullopt;
  const size_t data = at + kLocalHeaderSize + Le16(zip, at + 26) + Le16(zip, at + 28);
  if (data > zip.size() || e.packedSize > zip.size() - data) return std::nullopt;
  return zip.substr(data, static_cast<size_t>(e.packedSize));
}

// Raw deflate into out, at most maxBytes. The phrase for the message when
// it fails.
std::optional<std::string> Inflate(std::string_view packed, size_t stated, size_t maxBytes, std::string& out) {
  z_stream z{};
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return std::string("メモリーが足りません");
  out.reserve(std::min({stated, packed.size() * kMaxDeflateRatio, kZipFirstBlock}));
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
  z.avail_in = static_cast<uInt>(packed.size());
  char buf[65536];
  int rc = Z_OK;
  while (rc == Z_OK) {
    z.next_out = reinterpret_cast<Bytef*>(buf);
    z.avail_out = sizeof buf;
    rc = inflate(&z, Z_NO_FLUSH);
    out.append(buf, sizeof buf - z.avail_out);
    if (out.size() > maxBytes) rc = Z_MEM_ERROR;
    // Input used up but no end of stream: the entry is cut short.
    if (rc == Z_BUF_ERROR || (rc == Z_OK && z.avail_in == 0 && z.avail_out != 0)) rc = Z_DATA_ERROR;
  }
  inflateEnd(&z);
  if (rc == Z_STREAM_END) return std::nullopt;
  if (rc == Z_MEM_ERROR) return std::string(out.size() > maxBytes ? "大きすぎます" : "メモリーが足りません");
  return std::string(z.avail_in == 0 ? "途中で切れています" : "壊れています");
}

// The entry's bytes, checked against its stated size and CRC; the phrase
// for the message when they fail.
std::optional<std::string> Extract(std::string_view zip, const Entry& e, size_t maxBytes, std::string& out) {
  if (e.flags & 1) return std::string("暗号化されています");
  if (e.size > maxBytes) return std::string("大きすぎます");
  const auto packed = PackedBytes(zip, e);
  if (!packed) return std::string("途中で切れています");
  if (e.method == 0) {
    out.assign(*packed);
  } else if (e.method == 8) {
    if (auto failed = Inflate(*packed, static_cast<size_t>(e.size), maxBytes, out)) return failed;
  } else {
    return std::string("対応していない圧縮方式です");
  }
  if (out.size() != e.size) return std::string("壊れています");
  const uLong crc =
      crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(out.data()), static_cast<uInt>(out.size()));
  if (crc != e.crc) return std::string("検査値が合いません");
  return std::nullopt;
}

// An MS-DOS date as "YYYY-MM-DD", or empty when there is none.
std::string DosDate(uint32_t date) {
  const unsigned day = date & 31, month = (date >> 5) & 15, year = 1980 + (date >> 9);
  if (day == 0 || month == 0 || month > 12) return std::string();
  char text[16];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u", year, month, day);
  return text;
}

bool IsCsvName(std::string name) {
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
  return name.size() >= 4 && name.compare(name.size() - 4, 4, ".csv") == 0;
}

}  // namespace

Result<InputFile> ReadZipCsv(const std::string& raw, const std::string& path, const std::string& date,
                             size_t maxBytes) {
  const auto directory = FindDirectory(raw);
  if (!directory) return Error{path + ": zip を開けません（zip ではありません）。"};
  const auto entries = ReadDirectory(raw, *directory);
  if (!entries) return Error{path + ": zip を開けません（壊れています）。"};
  if (entries->empty()) return Error{path + ": zip の中にファイルがありません。"};
  for (const Entry& e : *entries) {
    if (!IsCsvName(e.name)) continue;
    InputFile in;
    in.name = e.name;
    if (auto failed = Extract(raw, e, maxBytes, in.bytes)) {
      if (*failed == "大きすぎます") return Error{ZipTooLargeText(path, e.name, maxBytes)};
      return Error{path + ": " + e.name + " を展開できません（" + *failed + "）。"};
    }
    in.date = DosDate(e.dosDate);
    if (in.date.empty()) in.date = date;
    return in;
  }
  return Error{path + ": zip の中に CSV がありません。"};
}

}  // namespace kovant::tools
