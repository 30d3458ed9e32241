// Inputs that the code under test reads from a file go to one file per process.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
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

}  // namespace kovant::fuzz
