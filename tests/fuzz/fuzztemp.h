// Inputs that the code under test reads from a file go to one file per process;
// the heavier steps run for a share of the inputs.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace kovant::fuzz {

// In memory where there is a tmpfs: a save's fsync on a disk cost more than
// the rest of an input's run.
// Kept to the end of the process (never destroyed), and removed then.
inline std::string Folder() {
  static const std::string* folder = [] {
    struct stat st {};
    const std::string base = stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) ? "/dev/shm" : "/tmp";
    auto* dir = new std::string(base + "/kovant-fuzz-" + std::to_string(getpid()));
    mkdir(dir->c_str(), 0700);
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(Folder(), ec);
    });
    return dir;
  }();
  return *folder;
}

inline std::string WriteInput(const std::string& name, const uint8_t* data, size_t size) {
  std::string path = Folder() + "/" + name;
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  return path;
}

// One of n, the same for the same bytes: a hash of them all, so that a
// mutation wherever it falls may pick another, and a seed of one shape does
// not stay with one step.
inline size_t Pick(const uint8_t* data, size_t size, size_t n) {
  return std::hash<std::string_view>{}(std::string_view(reinterpret_cast<const char*>(data), size)) % n;
}

}  // namespace kovant::fuzz
