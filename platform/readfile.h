// A file opened for reading by position, and mapped whole: the reader's
// system calls. One implementation per system (readfile_unix.cpp,
// readfile_windows.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/files.h"

namespace kovant::platform {

class ReadFile {
 public:
  // An existing regular file, read-only: never created, and a named pipe in
  // its place neither hangs the open nor is taken. Nothing, with *error
  // saying why (in Japanese), when it cannot be opened.
  static std::unique_ptr<ReadFile> Open(const std::string& path, std::string* error);
  ~ReadFile();
  ReadFile(const ReadFile&) = delete;
  ReadFile& operator=(const ReadFile&) = delete;

  // The size when opened.
  int64_t Size() const { return size_; }
  // The version of the file open now.
  std::optional<FileIdentity> Identity() const;
  // True when the file lies on a file system whose change time only the
  // system sets (not one where the owner can put it back: FAT and exFAT
  // through FUSE, network and FUSE file systems at large, and any file
  // system in an image file of the user's, mounted through a loop device).
  bool ChangeTimeKeptBySystem() const;

  // Reads up to n bytes from offset, again after an interruption, until n
  // or the end of the file; the count read, or -1 with *error set.
  int64_t ReadAt(int64_t offset, void* out, size_t n, std::string* error) const;

  // The whole file mapped read-only, until the ReadFile goes; nullptr with
  // *error set when it cannot be.
  const uint8_t* MapWhole(std::string* error);

 private:
  ReadFile(intptr_t handle, int64_t size) : handle_(handle), size_(size) {}
  intptr_t handle_;  // a descriptor, or a Windows handle
  int64_t size_;
  const uint8_t* mapped_ = nullptr;
  [[maybe_unused]] intptr_t mapping_ = 0;  // the Windows mapping object
};

// Memory in large pages where the system hands them out on request (on
// some machines each 4 KB page touched the first time costs more than a
// read of it); nothing when it does not.
struct LargePages {
  uint8_t* bytes = nullptr;
  size_t length = 0;
};
std::optional<LargePages> AllocateLargePages(size_t n);
void FreeLargePages(const LargePages& pages);

}  // namespace kovant::platform
