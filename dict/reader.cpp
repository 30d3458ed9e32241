#include "dict/reader.h"

#include <algorithm>
#include <cstring>

#include "dict/codec.h"
#include "platform/files.h"
#include "platform/sjis.h"

namespace kovant::dict {
namespace {

constexpr int64_t kBlockSize = 16384;

std::string Bytes(const uint8_t* p, size_t n) { return std::string(reinterpret_cast<const char*>(p), n); }

// A text field of the header: up to the first NUL, without trailing blanks.
std::string HeaderText(const uint8_t* p, size_t n) {
  size_t len = 0;
  while (len < n && p[len] != 0) ++len;
  while (len > 0 && p[len - 1] == ' ') --len;
  return platform::SjisToUtf8(Bytes(p, len));
}

}  // namespace

std::string ReadErrorMessage(const std::string& path, const Error& error) {
  return "辞書の読み込みでエラーが発生しました。\r\n" + platform::DisplayPath(path) + " " + error.description;
}

std::string DictionaryPathIn(const std::string& folder) { return platform::JoinPath(folder, "KOVANT.DIC"); }

Result<std::unique_ptr<DicFile>> DicFile::Open(const std::string& path) {
  std::string error;
  auto file = platform::ReadFile::Open(path, &error);
  if (!file) return Error{error};
  const int64_t size = file->Size();
  return std::unique_ptr<DicFile>(new DicFile(std::move(file), size));
}

Result<std::unique_ptr<DicFile>> DicFile::OpenWhole(const std::string& path) {
  auto dic = Open(path);
  if (!dic) return dic;
  DicFile& d = **dic;
  // A crafted one must not take the memory.
  if (d.size_ > kMaxDictionaryBytes) return Error{std::string(kTooLargeMessage)};
  if (d.size_ > 0) {
    std::string error;
    d.whole_ = d.file_->MapWhole(&error);
    if (!d.whole_) return Error{error};
    d.mapped_ = true;
  }
  d.inMemory_ = true;
  return dic;
}

// No more blocks than the file has: a small file (a test's, a fuzzer's)
// then opens without taking the whole cache, whose size is past what a
// sanitizer's allocator keeps pooled. Every block of such a file stays
// cached, as it would in the full cache.
DicFile::DicFile(std::unique_ptr<platform::ReadFile> file, int64_t size)
    : file_(std::move(file)),
      size_(size),
      blockCount_(static_cast<int>(std::clamp<int64_t>((size + kBlockSize - 1) / kBlockSize, 1, kBlocks))),
      arena_(new uint8_t[static_cast<size_t>(blockCount_ * kBlockSize)]) {
  for (int i = 0; i < blockCount_; ++i) blocks_[i].bytes = arena_.get() + i * kBlockSize;
}

std::unique_ptr<DicFile> DicFile::FromBytes(std::string_view bytes) {
  std::unique_ptr<DicFile> d(new DicFile(nullptr, static_cast<int64_t>(bytes.size())));
  d->whole_ = reinterpret_cast<const uint8_t*>(bytes.data());
  d->inMemory_ = true;
  return d;
}

// The mapping goes with file_.
DicFile::~DicFile() { platform::FreeLargePages(copyPages_); }

Result<const DicFile::Block*> DicFile::Fetch(int64_t index) {
  Block* victim = &blocks_[0];
  for (int i = 0; i < blockCount_; ++i) {
    Block& b = blocks_[i];
    if (b.index == index) {
      b.lastUse = ++clock_;
      return &b;
    }
    if (b.lastUse < victim->lastUse) victim = &b;
  }
  victim->index = -1;
  int64_t offset = index * kBlockSize;
  int64_t want = std::min<int64_t>(kBlockSize, size_ - offset);
  std::string error;
  // Shorter than when opened: the rest reads as zero.
  const int64_t got = file_->ReadAt(offset, victim->bytes, static_cast<size_t>(want), &error);
  if (got < 0) return Error{error};
  // memset, not std::fill: instrumented builds (the fuzzers') filled it a
  // byte at a time, a tenth of a small file's whole load.
  std::memset(victim->bytes + got, 0, static_cast<size_t>(kBlockSize - got));
  victim->index = index;
  victim->lastUse = ++clock_;
  return victim;
}

bool DicFile::KeepCopy(int64_t pos, int64_t n) {
  constexpr int64_t kLeast = int64_t{1} << 20;
  if (!mapped_ || copy_ || n < kLeast || pos < 1 || pos - 1 + n > size_) return false;
  const auto pages = platform::AllocateLargePages(static_cast<size_t>(n));
  if (!pages) return false;
  std::string error;
  if (file_->ReadAt(pos - 1, pages->bytes, static_cast<size_t>(n), &error) != n) {
    platform::FreeLargePages(*pages);  // the mapping answers, and says what is wrong
    return false;
  }
  copy_ = pages->bytes;
  copyPages_ = *pages;
  copyPos_ = pos;
  copyLength_ = n;
  return true;
}

Result<bool> DicFile::Stream(int64_t pos, int64_t n, const std::function<void(const uint8_t*, size_t)>& fn) const {
  if (pos < 1 || n < 0 || pos - 1 + n > size_) return Error{"位置 " + std::to_string(pos) + " はファイルの外です。"};
  if (copy_ && n > 0 && pos >= copyPos_ && pos - copyPos_ + n <= copyLength_) {
    fn(copy_ + (pos - copyPos_), static_cast<size_t>(n));
    return true;
  }
  if (!file_) {
    if (n > 0) fn(whole_ + (pos - 1), static_cast<size_t>(n));
    return true;
  }
  // Small chunks: each page of a fresh buffer costs a fault, and reads of
  // 16 KB cost hardly more than reads of 64 KB.
  const size_t chunk = static_cast<size_t>(std::min<int64_t>(n, 16384));
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[std::max<size_t>(chunk, 1)]);
  for (int64_t done = 0; done < n;) {
    const size_t want = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(chunk), n - done));
    std::string error;
    const int64_t got = file_->ReadAt(pos - 1 + done, buffer.get(), want, &error);
    if (got < 0) return Error{error};
    if (got < static_cast<int64_t>(want)) return Error{"辞書が読み込み中に短くなりました。"};
    fn(buffer.get(), static_cast<size_t>(got));
    done += got;
  }
  return true;
}

Result<bool> DicFile::ReadFromFile(int64_t pos, size_t n, uint8_t* out) const {
  if (pos < 1) return Error{"位置 " + std::to_string(pos) + " はファイルの外です。"};
  const int64_t offset = pos - 1;
  const size_t have =
      offset < size_ ? static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(n), size_ - offset)) : 0;
  size_t got = 0;
  if (!file_) {
    if (have > 0) std::memcpy(out, whole_ + offset, have);
    got = have;
  } else if (have > 0) {
    std::string error;
    // Shorter than when opened: the rest reads as zero.
    const int64_t r = file_->ReadAt(offset, out, have, &error);
    if (r < 0) return Error{error};
    got = static_cast<size_t>(r);
  }
  std::memset(out + got, 0, n - got);
  return true;
}

Result<bool> DicFile::ReadAt(int64_t pos, size_t n, uint8_t* out) {
  if (pos < 1) return Error{"位置 " + std::to_string(pos) + " はファイルの外です。"};
  int64_t offset = pos - 1;
  if (inMemory_) {
    const size_t have = offset < size_ ? std::min(n, static_cast<size_t>(size_ - offset)) : 0;
    if (have > 0) std::memcpy(out, whole_ + offset, have);
    std::memset(out + have, 0, n - have);
    return true;
  }
  while (n > 0) {
    if (offset >= size_) {
      std::memset(out, 0, n);
      break;
    }
    int64_t index = offset / kBlockSize;
    auto block = Fetch(index);
    if (!block) return block.error();
    size_t within = static_cast<size_t>(offset - index * kBlockSize);
    size_t take = std::min(n, static_cast<size_t>(kBlockSize) - within);
    std::memcpy(out, block.value()->bytes + within, take);
    out += take;
    n -= take;
    offset += static_cast<int64_t>(take);
  }
  return true;
}

Result<const uint8_t*> DicFile::Peek(int64_t pos, size_t n) {
  if (inMemory_ && pos >= 1 && n <= kMaxPeek && pos - 1 + static_cast<int64_t>(n) <= size_) return MemoryAt(pos, n);
  if (pos >= 1 && n <= kMaxPeek && pos - 1 + static_cast<int64_t>(n) <= size_) {
    int64_t offset = pos - 1, index = offset / kBlockSize;
    size_t within = static_cast<size_t>(offset - index * kBlockSize);
    if (within + n <= static_cast<size_t>(kBlockSize)) {
      auto block = Fetch(index);
      if (!block) return block.error();
      return block.value()->bytes + within;
    }
  }
  if (n > kMaxPeek) return Error{"一度に読む量が多すぎます"};
  if (auto r = ReadAt(pos, n, scratch_); !r) return r.error();
  return static_cast<const uint8_t*>(scratch_);
}

Result<DicHeader> DicFile::ReadHeader() {
  uint8_t b[kHeaderSize];
  if (auto r = ReadAt(1, sizeof b, b); !r) return r.error();
  DicHeader h;
  h.Version = ReadI32(b + header::kVersion);
  h.DataDate = HeaderText(b + header::kDataDate, header::kDataDateWidth);
  h.Description = HeaderText(b + header::kDescription, header::kDescriptionWidth);
  return h;
}

Result<PrefectureRecord> DicFile::ReadPrefecture(int64_t pos) {
  uint8_t b[kPrefFixed + kPrefNameField];
  if (auto r = ReadAt(pos, sizeof b, b); !r) return r.error();
  PrefectureRecord rec;
  rec.PrefNo = b[pref::kPrefNo];
  rec.CityListPos = ReadI32(b + pref::kCityListPos);
  rec.PrefixCount = b[pref::kPrefixCount];
  std::memcpy(rec.Prefixes.data(), b + pref::kPrefixes, kMaxPrefixes);
  rec.NameLength = b[pref::kNameLength];
  std::memcpy(rec.Name.bytes.data(), b + pref::kName, kPrefNameField);
  return rec;
}

Result<CityRecord> DicFile::ReadCity(int64_t pos) {
  auto p = Peek(pos, kCityFixed + kCityNameField);
  if (!p) return p.error();
  return ParseCity(*p);
}

CityRecord DicFile::ParseCity(const uint8_t* b) {
  CityRecord rec;
  rec.PrefNo = b[city::kPrefNo];
  rec.CityNo = ReadI16(b + city::kCityNo);
  rec.TownListPos = ReadI32(b + city::kTownListPos);
  std::memcpy(rec.DigitFlags.data(), b + city::kDigitFlags, rec.DigitFlags.size());
  rec.NameLength = b[city::kNameLength];
  std::memcpy(rec.Name.bytes.data(), b + city::kName, kCityNameField);
  return rec;
}

Result<TownHead> DicFile::ReadTownHead(int64_t pos) {
  auto p = Peek(pos, kTownFixed);
  if (!p) return p.error();
  return ParseTownHead(*p);
}

Result<TownRecord> DicFile::ReadTown(int64_t pos) {
  auto p = Peek(pos, kTownFixed + kTownNameField);
  if (!p) return p.error();
  TownRecord rec;
  static_cast<TownHead&>(rec) = ParseTownHead(*p);
  std::memcpy(rec.Name.bytes.data(), *p + kTownFixed, kTownNameField);
  return rec;
}

Result<LoadedDictionary> LoadDictionary(const std::string& dictionaryPath) {
  BuildCodeTable();
  auto file = DicFile::Open(dictionaryPath);
  if (!file) return file.error();
  return LoadDictionary(**file);
}

Result<LoadedDictionary> LoadDictionary(DicFile& dic) {
  BuildCodeTable();
  LoadedDictionary loaded;
  auto header = dic.ReadHeader();
  if (!header) return header.error();
  loaded.header = *header;
  if (header->Version != kDicVersion) {
    loaded.versionMismatch = true;
    return loaded;
  }
  // 都, 道, 府 and 県 in Shift-JIS: converting them loaded the converter
  // into every short process.
  constexpr std::string_view kTo = "\x93\x73", kDo = "\x93\xB9", kFu = "\x95\x7B", kKen = "\x8C\xA7";
  int64_t pos = kFirstPrefecturePos;
  loaded.table.rows.reserve(kPrefectureCount);
  for (int n = 1; n <= kPrefectureCount; ++n) {
    auto rec = dic.ReadPrefecture(pos);
    if (!rec) return rec.error();
    auto name = ExpandText(rec->Name, rec->NameLength);
    if (!name) return name.error();
    std::string sjis = std::move(name.value());
    std::string last = sjis.size() >= 2 ? sjis.substr(sjis.size() - 2) : std::string();
    if (last != kTo && last != kDo && last != kFu) sjis += kKen;
    PrefectureRow row;
    row.PrefNo = rec->PrefNo;
    row.Pos = pos;
    row.CityListPos = rec->CityListPos;
    row.PrefixCount = rec->PrefixCount;
    row.Prefixes = rec->Prefixes;
    row.Name = platform::SjisToUtf8(sjis);
    row.NameSjis = std::move(sjis);
    loaded.table.rows.push_back(std::move(row));
    pos += kPrefFixed + rec->NameLength;
  }
  return loaded;
}

}  // namespace kovant::dict
