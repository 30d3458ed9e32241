// Runs one of our programs as a separate process and collects what it printed.
#pragma once

#include <array>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

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

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A program running beside the test, ended (SIGTERM) when it goes out of
// scope together with whatever it started: it runs in a process group of its
// own, so that a shell's children cannot outlive a failed test and answer
// for the program in the tests after it.
class Background {
 public:
  explicit Background(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    if (posix_spawn(&pid_, args[0], nullptr, &attributes, args.data(), environ) != 0) pid_ = -1;
    posix_spawnattr_destroy(&attributes);
    group_ = pid_;
  }
  Background(const Background&) = delete;
  Background& operator=(const Background&) = delete;
  ~Background() { Stop(); }
  // The exit status once it ended within the bound, -1 otherwise.
  int WaitExit(std::chrono::milliseconds bound) {
    for (auto end = std::chrono::steady_clock::now() + bound; std::chrono::steady_clock::now() < end;) {
      int st = 0;
      if (waitpid(pid_, &st, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(st) ? WEXITSTATUS(st) : 128;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
  }
  pid_t Pid() const { return pid_; }
  // SIGTERM to the group, SIGKILL to what is left of it after a bound.
  void Stop() {
    if (group_ <= 0) return;
    kill(-group_, SIGTERM);
    if (pid_ > 0 && WaitExit(std::chrono::milliseconds(5000)) == -1) {
      kill(-group_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
    for (int i = 0; i < 100 && kill(-group_, 0) == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    kill(-group_, SIGKILL);
    group_ = -1;
  }

 private:
  pid_t pid_ = -1;
  pid_t group_ = -1;
};

// Polls until done() holds or the bound passes; the last answer of done().
inline bool WaitFor(const std::function<bool()>& done,
                    std::chrono::milliseconds bound = std::chrono::milliseconds(5000)) {
  for (auto end = std::chrono::steady_clock::now() + bound; std::chrono::steady_clock::now() < end;) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  return done();
}

// The sanitizer build runs everything several times slower: a case about a
// target's pace measures nothing there and runs in the normal build only.
#if defined(__SANITIZE_ADDRESS__)
#define KOVANT_PACE_CASE() GTEST_SKIP() << "a case about pace: the normal build runs it"
#else
#define KOVANT_PACE_CASE() (void)0
#endif

// How many rounds the slow-target cases paste: a few in the test command,
// more where KOVANT_PASTE_ROUNDS asks (the trials, ctest -L trial).
inline int PasteRounds() {
  const char* rounds = std::getenv("KOVANT_PASTE_ROUNDS");
  return rounds && std::atoi(rounds) > 0 ? std::atoi(rounds) : 3;
}

inline std::string Bin(const std::string& name) { return std::string(KOVANT_BIN_DIR) + "/" + name; }

// The dictionary built from the hand-written sample.
inline std::string SampleDic() { return KOVANT_SAMPLE_DIC; }

}  // namespace kovant::test
