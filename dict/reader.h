// Reading KOVANT.DIC by position. A DicFile lives for one operation: it opens
// the file read-only and closes it when it goes out of scope.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dict/format.h"
#include "dict/result.h"
#include "platform/checknote.h"
#include "platform/readfile.h"

namespace kovant::dict {

// "辞書の読み込みでエラーが発生しました。" CR LF path blank description.
std::string ReadErrorMessage(const std::string& path, const Error& error);
inline constexpr std::string_view kVersionMessage = "辞書のバージョンが違います。";
// No real dictionary comes near this (the country's: about 10 MB); a
// crafted or sparse file beyond it is refused by whatever reads all of it.
inline constexpr int64_t kMaxDictionaryBytes = int64_t{256} << 20;
inline constexpr std::string_view kTooLargeMessage = "辞書が大きすぎます。";

class DicFile {
 public:
  // Never creates the file; a missing file is an error.
  static Result<std::unique_ptr<DicFile>> Open(const std::string& path);
  // The same, with the whole file mapped into memory at once: for reading
  // every record (a batch index), where block reads would dominate. The
  // file must not shrink while it is open (the updater replaces it by
  // renaming, which leaves the mapped copy whole); a program using this
  // turns the bus error of a shrunken file into an error exit of its own.
  static Result<std::unique_ptr<DicFile>> OpenWhole(const std::string& path);
  // The bytes of a dictionary not yet written (the builder's own check);
  // they must outlive the DicFile.
  static std::unique_ptr<DicFile> FromBytes(std::string_view bytes);
  ~DicFile();
  DicFile(const DicFile&) = delete;
  DicFile& operator=(const DicFile&) = delete;

  int64_t Size() const { return size_; }
  // The version of the file open (nothing for FromBytes).
  std::optional<platform::FileIdentity> Identity() const {
    return file_ ? file_->Identity() : std::optional<platform::FileIdentity>();
  }
  // Whether the note of checked files may vouch for this file (see
  // platform::ReadFile::ChangeTimeKeptBySystem).
  bool ChangeTimeKeptBySystem() const { return file_ && file_->ChangeTimeKeptBySystem(); }

  // Bytes beyond the end of the file read as zero; a position below 1 or a
  // failing read is an error.
  Result<DicHeader> ReadHeader();
  Result<PrefectureRecord> ReadPrefecture(int64_t pos);
  Result<CityRecord> ReadCity(int64_t pos);
  Result<TownRecord> ReadTown(int64_t pos);
  Result<TownHead> ReadTownHead(int64_t pos);

  // Copies n bytes from 1-based position pos into out.
  Result<bool> ReadAt(int64_t pos, size_t n, uint8_t* out);
  // The same read from the file itself even when it is mapped: records
  // scattered over the file (the cities of each prefecture) cost a read
  // each this way, and a page fault each through the mapping, which costs
  // far more on some machines.
  Result<bool> ReadFromFile(int64_t pos, size_t n, uint8_t* out) const;

  // The n bytes at pos straight from memory after OpenWhole, or nullptr
  // (not in memory, or not all inside the file).
  const uint8_t* MemoryAt(int64_t pos, size_t n) const {
    if (copy_ && pos >= copyPos_ && pos - copyPos_ + static_cast<int64_t>(n) <= copyLength_) {
      return copy_ + (pos - copyPos_);
    }
    return inMemory_ && pos >= 1 && pos - 1 + static_cast<int64_t>(n) <= size_ ? whole_ + (pos - 1) : nullptr;
  }
  // After OpenWhole: reads the n bytes from pos (at least a megabyte) once
  // into memory of large pages, where the system gives them, and serves
  // them from there. On some machines every page of a mapping touched the
  // first time costs more than a read of it, and a batch touches most of
  // the records and the code index. Nothing changes when it cannot be done
  // (false).
  bool KeepCopy(int64_t pos, int64_t n);
  static CityRecord ParseCity(const uint8_t* b);  // kCityFixed + kCityNameField bytes
  // Inline: the batch index parses every town of the country twice.
  static TownHead ParseTownHead(const uint8_t* b) {
    TownHead rec;
    rec.CityNo = ReadI16(b + town::kCityNo);
    rec.OldCodeTail = ReadI16(b + town::kOldCodeTail);
    rec.CodeNumber = ReadI32(b + town::kCodeNumber);
    rec.NameLength = b[town::kNameLength];
    return rec;
  }

  // The n bytes from pos in turn, a chunk at a time, to fn(bytes, count):
  // from KeepCopy's bytes when they hold them all; else read from the file
  // when it has one, even when mapped (every page of a mapping touched the
  // first time costs a fault, far more than a read of it); straight from
  // memory for FromBytes.
  Result<bool> Stream(int64_t pos, int64_t n, const std::function<void(const uint8_t*, size_t)>& fn) const;

  // n bytes (at most kMaxPeek) from pos, valid until the next read.
  static constexpr size_t kMaxPeek = 128;
  Result<const uint8_t*> Peek(int64_t pos, size_t n);

 private:
  DicFile(std::unique_ptr<platform::ReadFile> file, int64_t size);
  struct Block {
    int64_t index = -1;
    uint64_t lastUse = 0;
    uint8_t* bytes = nullptr;  // kBlockSize bytes of arena_
  };
  Result<const Block*> Fetch(int64_t index);

  std::unique_ptr<platform::ReadFile> file_;  // null for FromBytes
  int64_t size_;
  uint64_t clock_ = 0;
  static constexpr int kBlocks = 8;
  Block blocks_[kBlocks];
  int blockCount_;  // of blocks_ in use
  std::unique_ptr<uint8_t[]> arena_;
  uint8_t scratch_[kMaxPeek];
  const uint8_t* whole_ = nullptr;  // the mapped file, for OpenWhole, or FromBytes' bytes
  uint8_t* copy_ = nullptr;         // KeepCopy's bytes, from position copyPos_
  int64_t copyPos_ = 0, copyLength_ = 0;
  platform::LargePages copyPages_;
  bool mapped_ = false;
  bool inMemory_ = false;
};

// The 47 prefecture rows kept in memory.
struct PrefectureRow {
  uint8_t PrefNo = 0;
  int64_t Pos = 0;  // of its own record
  int32_t CityListPos = 0;
  uint8_t PrefixCount = 0;
  std::array<uint8_t, kMaxPrefixes> Prefixes{};
  std::string Name;        // UTF-8, with its suffix ("青森県")
  std::string NameSjis;    // the same in Shift-JIS
  std::string ReadingKey;  // its reading folded for the head search, when asked for (AddPrefectureReadings)
};

struct PrefectureTable {
  std::vector<PrefectureRow> rows;  // row n-1 holds prefecture n
};

// What loading the dictionary found. A version other than 100 is not an
// error: the table stays empty and versionMismatch is set.
struct LoadedDictionary {
  DicHeader header;
  PrefectureTable table;
  bool versionMismatch = false;
};

// The data side of loading: checks the file, reads the header and the 47
// prefecture records. The error's description is for ReadErrorMessage.
Result<LoadedDictionary> LoadDictionary(const std::string& dictionaryPath);
Result<LoadedDictionary> LoadDictionary(DicFile& dic);

// "KOVANT.DIC" in the given folder.
std::string DictionaryPathIn(const std::string& folder);

}  // namespace kovant::dict
