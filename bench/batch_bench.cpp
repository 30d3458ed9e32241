// Many codes in one process, side by side with the usual tools for the job:
// kovant-lookup on a file of codes, the sqlite3 shell on an indexed table of
// KEN_ALL (one process, one query joining the codes) and grep -F -f over
// KEN_ALL as UTF-8 text. Each run is a whole process, as a user runs it;
// kovant's peak resident memory is reported beside its time.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "platform/files.h"
#include "tools/kenall.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Files {
  std::string dir, dic, kenUtf8, db, codes10k, codesAll;
  size_t allCount = 0;
  bool sqlite = false;
};

// Runs argv with stdin from in and stdout to /dev/null; returns the child's
// peak resident memory in KiB, or -1 when it failed.
long Run(const std::vector<std::string>& argv, const std::string& in) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, in.empty() ? "/dev/null" : in.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return -1;
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  // kovant-lookup ends 1 when some code was not found; that is no failure here.
  if (!WIFEXITED(status) || WEXITSTATUS(status) > 1) return -1;
  return usage.ru_maxrss;
}

// The files every run reads. Made in a child process: a child started by
// this one is charged this one's peak memory when it starts, so this one
// must stay small for kovant's figure to be its own.
void MakeFiles(const Files& f) {
  auto in = kovant::tools::ReadInputFile(std::string(KOVANT_SOURCE_DIR) + "/data/japanpost/ken_all.zip");
  const std::string text = kovant::tools::CsvToUtf8(in->bytes);
  std::ofstream(f.kenUtf8, std::ios::binary) << text;
  std::set<std::string> distinct;
  for (const auto& r : kovant::tools::ParseCsv(text, nullptr)) {
    if (r.size() > 2) distinct.insert(r[2]);
  }
  std::vector<std::string> all(distinct.begin(), distinct.end());
  std::mt19937 rng(20261209);
  std::shuffle(all.begin(), all.end(), rng);
  std::ofstream everything(f.codesAll);
  for (const auto& c : all) everything << c << '\n';
  std::ofstream some(f.codes10k);
  for (size_t i = 0; i < 10000 && i < all.size(); ++i) some << all[i] << '\n';
}

const Files& Prepare() {
  static Files f = [] {
    Files f;
    f.dir = (fs::temp_directory_path() / "kovant-batch-bench").string();
    fs::create_directories(f.dir);
    f.dic = std::string(KOVANT_BIN_DIR) + "/KOVANT.DIC";
    f.kenUtf8 = f.dir + "/ken_all.csv";
    f.codesAll = f.dir + "/codes-all.txt";
    f.codes10k = f.dir + "/codes-10000.txt";
    pid_t pid = fork();
    if (pid == 0) {
      MakeFiles(f);
      _exit(0);
    }
    waitpid(pid, nullptr, 0);
    std::ifstream count(f.codesAll);
    for (std::string line; std::getline(count, line);) ++f.allCount;
    f.db = f.dir + "/ken_all.db";
    fs::remove(f.db);
    const std::string script = f.dir + "/make.sql";
    std::ofstream(script) << "CREATE TABLE ken(lg,old5,code,kp,kc,kt,pref,city,town,f1,f2,f3,f4,f5,f6);\n"
                             ".mode csv\n.import " +
                                 f.kenUtf8 + " ken\nCREATE INDEX ken_code ON ken(code);\n";
    f.sqlite = Run({"sqlite3", "-init", script, f.db, ".quit"}, "") >= 0;
    return f;
  }();
  return f;
}

void Measure(benchmark::State& state, const std::vector<std::string>& argv, const std::string& in, bool memory) {
  long rss = 0;
  for (auto _ : state) {
    rss = Run(argv, in);
    if (rss < 0) {
      state.SkipWithError(("failed: " + argv[0]).c_str());
      return;
    }
  }
  if (memory) state.counters["maxrss_MB"] = static_cast<double>(rss) / 1024.0;
}

void BM_Kovant10000(benchmark::State& state) {
  const Files& f = Prepare();
  Measure(state, {std::string(KOVANT_BIN_DIR) + "/kovant-lookup", "--dic", f.dic}, f.codes10k, true);
}

void BM_Sqlite10000(benchmark::State& state) {
  const Files& f = Prepare();
  if (!f.sqlite) {
    state.SkipWithError("sqlite3 is not installed");
    return;
  }
  const std::string query = f.dir + "/query.sql";
  std::ofstream(query) << "CREATE TEMP TABLE q(code TEXT);\n.mode csv\n.import " + f.codes10k +
                              " q\n.mode tabs\nSELECT q.code, ken.pref, ken.city, ken.town FROM q JOIN ken ON "
                              "ken.code = q.code;\n";
  Measure(state, {"sqlite3", "-init", query, f.db, ".quit"}, "", false);
}

void BM_Grep10000(benchmark::State& state) {
  const Files& f = Prepare();
  Measure(state, {"grep", "-F", "-f", f.codes10k, f.kenUtf8}, "", false);
}

void BM_KovantAllCurrentCodes(benchmark::State& state) {
  const Files& f = Prepare();
  Measure(state, {std::string(KOVANT_BIN_DIR) + "/kovant-lookup", "--dic", f.dic}, f.codesAll, true);
  state.counters["codes"] = static_cast<double>(f.allCount);
}

}  // namespace

BENCHMARK(BM_Kovant10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Sqlite10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Grep10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_KovantAllCurrentCodes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
