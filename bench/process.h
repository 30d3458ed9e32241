// A whole process as a user runs it, for the benches that set kovant's
// tools beside other programs: its output is read to the end through a
// pipe (a program writing to /dev/null may notice and stop early, as GNU
// grep does after its first match), and its peak memory comes from wait4.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

extern char** environ;

namespace kovant::bench {

struct RunResult {
  bool ok = false;
  long maxRssKiB = 0;
  size_t outputBytes = 0;
  double seconds = 0;     // from the start to the end of the output and the exit
  double cpuSeconds = 0;  // user and system time: moves less with other load
};

// Runs argv (found on PATH) with stdin from in ("" for /dev/null) and the
// extra environment entries env ("NAME=value"). An exit status above
// okStatus is a failure (kovant-lookup ends 1 when a code was not found).
inline RunResult RunProcess(const std::vector<std::string>& argv, const std::string& in,
                            const std::vector<std::string>& env = {}, int okStatus = 1) {
  RunResult result;
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return result;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, in.empty() ? "/dev/null" : in.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  std::vector<char*> args, envp;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  for (char** e = environ; *e; ++e) envp.push_back(*e);
  for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  if (rc != 0) {
    close(pipeFds[0]);
    return result;
  }
  static char buffer[1 << 16];
  for (;;) {
    const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
    if (n > 0) {
      result.outputBytes += static_cast<size_t>(n);
    } else if (n == 0 || errno != EINTR) {
      break;
    }
  }
  close(pipeFds[0]);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  result.ok = WIFEXITED(status) && WEXITSTATUS(status) <= okStatus;
  result.maxRssKiB = usage.ru_maxrss;
  auto secondsOf = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  result.cpuSeconds = secondsOf(usage.ru_utime) + secondsOf(usage.ru_stime);
  return result;
}

}  // namespace kovant::bench
