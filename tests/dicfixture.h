// Hand-made dictionary files for tests: records written one by one, so a
// test can give a file exactly the shape (or the fault) it needs.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/sjis.h"

namespace kovant::test {

// The sanitizer build, ten times slower, checks every twentieth case of the
// long sweeps: a memory fault shows on any of them, and the normal build
// checks them all.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr size_t kSanitizerShare = 20;
#else
inline constexpr size_t kSanitizerShare = 1;
#endif

class RawDic {
 public:
  explicit RawDic(int32_t version = 100) {
    I32(version);
    bytes.append(96, '\0');
  }
  // Returns the 1-based position of the record.
  int32_t Pref(uint8_t no, int32_t cityPos, std::vector<uint8_t> prefixes, const std::string& codedName) {
    int32_t pos = Pos();
    bytes += static_cast<char>(no);
    I32(cityPos);
    bytes += static_cast<char>(prefixes.size());
    for (size_t i = 0; i < 15; ++i) bytes += static_cast<char>(i < prefixes.size() ? prefixes[i] : 0);
    bytes += static_cast<char>(codedName.size());
    bytes += codedName;
    return pos;
  }
  int32_t City(uint8_t prefNo, int16_t cityNo, int32_t townPos, std::array<uint8_t, 5> flags,
               const std::string& codedName) {
    int32_t pos = Pos();
    bytes += static_cast<char>(prefNo);
    I16(cityNo);
    I32(townPos);
    for (auto f : flags) bytes += static_cast<char>(f);
    bytes += static_cast<char>(codedName.size());
    bytes += codedName;
    return pos;
  }
  int32_t Town(int16_t cityNo, int16_t oldTail, int32_t codeNumber, const std::string& codedName) {
    int32_t pos = Pos();
    I16(cityNo);
    I16(oldTail);
    I32(codeNumber);
    bytes += static_cast<char>(codedName.size());
    bytes += codedName;
    return pos;
  }
  void PatchI32(int32_t pos, int offset, int32_t v) {
    for (int i = 0; i < 4; ++i)
      bytes[static_cast<size_t>(pos - 1 + offset + i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
  }
  int32_t Pos() const { return static_cast<int32_t>(bytes.size()) + 1; }
  void Write(const std::string& path) const {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  std::string bytes;

 private:
  void I16(int v) {
    bytes += static_cast<char>(v & 0xFF);
    bytes += static_cast<char>((v >> 8) & 0xFF);
  }
  void I32(int32_t v) {
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF);
  }
};

inline std::string Sjis(const std::string& utf8) { return platform::Utf8ToSjis(utf8); }

// The DigitFlags bytes for flags given per third digit 0..9.
inline std::array<uint8_t, 5> Flags(std::array<int, 10> f) {
  std::array<uint8_t, 5> b{};
  for (int d = 0; d < 5; ++d)
    b[static_cast<size_t>(d)] = static_cast<uint8_t>(f[static_cast<size_t>(d)] + 10 * f[static_cast<size_t>(d + 5)]);
  return b;
}

// A crafted file: the first prefecture's cities all name one chain of
// towns (060-0001), read once it holds `towns` records, counted city by
// city cities * towns; the other prefectures have no cities.
inline RawDic SharedChainDictionary(int cities, int towns) {
  RawDic d;
  std::vector<int32_t> prefPos;
  for (int n = 1; n <= 47; ++n) {
    prefPos.push_back(
        d.Pref(static_cast<uint8_t>(n), 0, n == 1 ? std::vector<uint8_t>{6} : std::vector<uint8_t>{}, Sjis("北海道")));
  }
  std::vector<int32_t> cityPos;
  for (int c = 0; c < cities; ++c)
    cityPos.push_back(d.City(1, 7, 0, Flags({3, 0, 0, 0, 0, 0, 0, 0, 0, 0}), Sjis("甲市")));
  const int32_t end = d.City(255, 0, 0, {}, "");
  d.PatchI32(prefPos[0], 1, cities > 0 ? cityPos[0] : end);
  for (int n = 2; n <= 47; ++n) d.PatchI32(prefPos[static_cast<size_t>(n - 1)], 1, end);
  const int32_t chain = d.Pos();
  for (int t = 0; t < towns; ++t) d.Town(7, 6000, 100600001, Sjis("本町"));
  d.Town(8, 0, 0, "");
  for (int32_t c : cityPos) d.PatchI32(c, 3, chain);
  return d;
}

// The folders TempFolder made, removed when the process ends: ctest runs
// each test in a process of its own, so that is after each test.
struct MadeFolders {
  std::vector<std::filesystem::path> paths;
  ~MadeFolders() {
    for (const auto& dir : paths) {
      namespace fs = std::filesystem;
      std::error_code ec;
      // A test may have taken the write permission away from a folder (never
      // followed through a link: only the test's own folders are touched).
      fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add | fs::perm_options::nofollow, ec);
      for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator();
           it.increment(ec)) {
        if (it->symlink_status(ec).type() == fs::file_type::directory) {
          fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add | fs::perm_options::nofollow, ec);
        }
      }
      std::filesystem::remove_all(dir, ec);
    }
  }
};

// A fresh folder under the temporary directory, removed at the end.
inline std::string TempFolder(const std::string& name) {
  static MadeFolders made;
  auto dir = std::filesystem::temp_directory_path() / ("kovant-test-" + std::to_string(::getpid()) + "-" + name);
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  made.paths.push_back(dir);
  return dir.string();
}

}  // namespace kovant::test
