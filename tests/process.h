// Runs one of our programs as a separate process and collects what it printed.
#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace kovant::test {

struct ProcessResult {
  int status = -1;
  std::string out, err;
};

inline std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// command is given to /bin/sh; stderr goes to a temporary file.
inline ProcessResult RunProcess(const std::string& command) {
  ProcessResult r;
  char errPath[] = "/tmp/kovant-err-XXXXXX";
  int fd = mkstemp(errPath);
  if (fd >= 0) close(fd);
  FILE* p = popen((command + " 2>" + errPath).c_str(), "r");
  if (!p) return r;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
  int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  if (FILE* e = fopen(errPath, "r")) {
    while ((n = fread(buf.data(), 1, buf.size(), e)) > 0) r.err.append(buf.data(), n);
    fclose(e);
  }
  remove(errPath);
  return r;
}

inline std::string Bin(const std::string& name) { return std::string(KOVANT_BIN_DIR) + "/" + name; }

// The dictionary built from the hand-written sample.
inline std::string SampleDic() { return KOVANT_SAMPLE_DIC; }

}  // namespace kovant::test
