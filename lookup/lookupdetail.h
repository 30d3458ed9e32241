// What kovant-lookup's modes share; not for use outside them.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "dict/address.h"
#include "dict/reader.h"

namespace kovant::lookup::detail {

inline constexpr const char* kFound = "一致";
inline constexpr const char* kSeveral = "複数";
inline constexpr const char* kNone = "該当なし";
inline constexpr const char* kCityOnly = "市区町村のみ";  // the city known, the town not
inline constexpr const char* kInvalid = "不正";
inline constexpr const char* kFoundAndCode = "一致・番号確認";  // the code written on the line agrees
inline constexpr const char* kCodeDisagrees = "番号不一致";
inline constexpr const char* kCityNotFound = "市区町村名なし";

inline constexpr size_t kChunk = 256;  // rows or codes looked up together

inline const char* AddressStatusText(const dict::AddressAnswer& a) {
  using S = dict::AddressAnswer::Status;
  switch (a.status) {
    case S::Single: return a.codeAgrees ? kFoundAndCode : kFound;
    case S::Several: return kSeveral;
    case S::CityOnly: return kCityOnly;
    case S::CodeDisagrees: return kCodeDisagrees;
    case S::CityNotFound: return kCityNotFound;
    case S::None: break;
  }
  return kNone;
}

// The exit status of addresses resolved: 0 each to one code; 1 some to
// several or none; else 3 some to their city only.
class AddressExit {
 public:
  void Note(dict::AddressAnswer::Status s) {
    using S = dict::AddressAnswer::Status;
    if (s == S::Several || s == S::None || s == S::CodeDisagrees || s == S::CityNotFound) unsure_ = true;
    if (s == S::CityOnly) cityOnly_ = true;
  }
  int Status() const { return unsure_ ? 1 : cityOnly_ ? 3 : 0; }

 private:
  bool unsure_ = false, cityOnly_ = false;
};

// Says why the dictionary could not be read; returns the status for it, 2.
int ReadError(const std::string& path, const dict::Error& e);

// Says on stderr that a section of the dictionary was set aside and why
// (nothing when why is empty); the answers do not change.
void NoteSetAside(const std::string& path, const std::string& why);

// The dictionary's prefectures, or nothing when it cannot be used (and the
// reason has been said; the status is 2).
std::optional<dict::PrefectureTable> LoadTable(const std::string& path);

// The codes of a listed town, read from its record.
dict::Result<dict::TownRecord> TownAt(const std::string& path, int32_t pos);

// Lines of a file, read in large blocks: a file of codes is tens of
// thousands of short lines. A line is handed out as soon as it is whole,
// so at a terminal each code is answered at once.
class LineReader {
 public:
  explicit LineReader(int fd) : fd_(fd) {}
  bool Next(std::string& line) {
    line.clear();
    for (;;) {
      const char* nl = static_cast<const char*>(std::memchr(buffer_ + start_, '\n', end_ - start_));
      if (nl) {
        line.append(buffer_ + start_, static_cast<size_t>(nl - (buffer_ + start_)));
        start_ = static_cast<size_t>(nl - buffer_) + 1;
        return true;
      }
      line.append(buffer_ + start_, end_ - start_);
      start_ = end_ = 0;
      if (eof_) return !line.empty();
      const ssize_t n = read(fd_, buffer_, sizeof buffer_);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        eof_ = true;
        continue;
      }
      end_ = static_cast<size_t>(n);
    }
  }

 private:
  int fd_;
  char buffer_[16384];  // each fresh page of it costs a fault; larger reads saved nothing
  size_t start_ = 0, end_ = 0;
  bool eof_ = false;
};

// Whether s is valid UTF-8 (Shift-JIS text almost never is).
bool IsUtf8(std::string_view s);

// Says on standard error when lines look like the other encoding than the
// one they are read in: the first such line by its number, then how many
// there were, so that a whole file in the wrong encoding is no silent run of
// 該当なし.
class EncodingHint {
 public:
  // sjis: the lines are read as Shift-JIS; told: --encoding said so.
  EncodingHint(bool sjis, bool told) : sjis_(sjis), told_(told) {}
  void Check(std::string_view line, size_t number);
  void Summary() const;

 private:
  bool sjis_, told_;
  size_t count_ = 0;
};

}  // namespace kovant::lookup::detail
