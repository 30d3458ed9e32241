// Inputs that the code under test reads from a file go to one file per process.
#pragma once

#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace kovant::fuzz {

inline std::string Folder() {
  static const std::string folder = [] {
    std::string dir = "/tmp/kovant-fuzz-" + std::to_string(getpid());
    mkdir(dir.c_str(), 0700);
    return dir;
  }();
  return folder;
}

inline std::string WriteInput(const std::string& name, const uint8_t* data, size_t size) {
  std::string path = Folder() + "/" + name;
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  return path;
}

}  // namespace kovant::fuzz
