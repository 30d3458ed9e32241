// Many codes in one process, side by side with the usual tools for the job,
// each doing the whole job in its fastest form we know: kovant-lookup on a
// file of codes; the sqlite3 shell on KEN_ALL in a table, one query joining
// the codes; GNU grep -F -f over KEN_ALL as UTF-8 text. Every run is a
// whole process whose output is read to the end (bench/process.h). And the
// national dictionary's build, as `kovant-mkdic` runs it.
//
// Google Benchmark times each on its own; on a shared machine those times
// move with the load, so `batch_bench --pairs=N` runs kovant and each peer
// in turn (A B A B ...) and prints the median of the N ratios, which the
// load moves far less, with the command of each run, and the same for one
// code a process; --before=DIR pairs this build's tools with an earlier
// build's in DIR as well.
#include <benchmark/benchmark.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "bench/process.h"
#include "platform/checknote.h"
#include "platform/files.h"
#include "update/kenall.h"

namespace {

namespace fs = std::filesystem;
using kovant::bench::RunProcess;
using kovant::bench::RunResult;

struct Files {
  std::string dir, dic, kenUtf8, db, coveringDb, codes10k, codesJson, codesAll, noNote;
  size_t allCount = 0;
  bool sqlite = false;
};

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
  std::ofstream some(f.codes10k), json(f.codesJson);
  json << '[';
  for (size_t i = 0; i < 10000 && i < all.size(); ++i) {
    some << all[i] << '\n';
    json << (i ? ",\"" : "\"") << all[i] << '"';
  }
  json << "]\n";
}

// KEN_ALL as a table with the index a lookup by code wants.
bool MakeDb(const Files& f, const std::string& db, const std::string& index) {
  fs::remove(db);
  return RunProcess({"sqlite3", db, "CREATE TABLE ken(lg,old5,code,kp,kc,kt,pref,city,town,f1,f2,f3,f4,f5,f6);",
                     ".mode csv", ".import " + f.kenUtf8 + " ken", "CREATE INDEX ken_code ON ken(" + index + ");"},
                    "", {}, 0)
      .ok;
}

// kovant-lookup notes a dictionary it has checked, once the file has stood
// unchanged for some seconds; every later run trusts the note. The runs
// measured are such later runs (Unnoted is the first), so a dictionary
// just built is waited for and looked up once.
void NoteDictionary(const std::string& dic) {
  namespace platform = kovant::platform;
  for (;;) {
    struct stat st {};
    if (stat(dic.c_str(), &st) != 0) return;
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const int64_t age = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count() -
                        (static_cast<int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec);
    if (age > platform::kSettledNs) break;
    std::this_thread::sleep_for(std::chrono::nanoseconds(platform::kSettledNs - age + 100000000));
  }
  RunProcess({std::string(KOVANT_BIN_DIR) + "/kovant-lookup", "--dic", dic, "1000001"}, "", {});
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
    f.codesJson = f.dir + "/codes-10000.json";
    pid_t pid = fork();
    if (pid == 0) {
      MakeFiles(f);
      _exit(0);
    }
    waitpid(pid, nullptr, 0);
    std::ifstream count(f.codesAll);
    for (std::string line; std::getline(count, line);) ++f.allCount;
    f.db = f.dir + "/ken_all.db";
    f.coveringDb = f.dir + "/ken_all_covering.db";
    f.sqlite = MakeDb(f, f.db, "code") && MakeDb(f, f.coveringDb, "code, pref, city, town");
    f.noNote = f.dir + "/not-a-folder";
    std::ofstream(f.noNote).flush();
    NoteDictionary(f.dic);
    return f;
  }();
  return f;
}

// One way of doing the job: a command, its standard input, its environment.
struct Form {
  std::string name;
  std::vector<std::string> argv;
  std::string in;
  std::vector<std::string> env;
};

Form Kovant(const std::string& codes) {
  return {"kovant-lookup", {std::string(KOVANT_BIN_DIR) + "/kovant-lookup", "--dic", Prepare().dic}, codes, {}};
}

// sqlite3's forms, slowest first: the table of codes imported and joined;
// one join over json_each(readfile(...)); the same over an index that
// covers the columns shown, so the table itself is never read.
std::vector<Form> SqliteForms() {
  const Files& f = Prepare();
  const std::string join = "SELECT j.value, ken.pref, ken.city, ken.town FROM json_each(readfile('" + f.codesJson +
                           "')) j JOIN ken ON ken.code = j.value;";
  return {
      {"sqlite3 import+join",
       {"sqlite3", f.db, "CREATE TEMP TABLE q(code TEXT);", ".mode csv", ".import " + f.codes10k + " q", ".mode tabs",
        "SELECT q.code, ken.pref, ken.city, ken.town FROM q JOIN ken ON ken.code = q.code;"},
       "",
       {}},
      {"sqlite3 json_each join", {"sqlite3", f.db, ".mode tabs", join}, "", {}},
      {"sqlite3 json_each join, covering index", {"sqlite3", f.coveringDb, ".mode tabs", join}, "", {}},
  };
}

// grep in the locale of the shell and in the C locale, where it skips the
// multibyte checks.
std::vector<Form> GrepForms() {
  const Files& f = Prepare();
  return {{"grep -F -f", {"grep", "-F", "-f", f.codes10k, f.kenUtf8}, "", {}},
          {"LC_ALL=C grep -F -f", {"grep", "-F", "-f", f.codes10k, f.kenUtf8}, "", {"LC_ALL=C"}}};
}

Form Mkdic() {
  const std::string src = std::string(KOVANT_SOURCE_DIR) + "/data/japanpost/";
  return {"kovant-mkdic national + offices",
          {std::string(KOVANT_BIN_DIR) + "/kovant-mkdic", "-q", "-o", Prepare().dir + "/KOVANT.DIC", "--offices",
           src + "jigyosyo.zip", src + "ken_all.zip"},
          "",
          {}};
}

// The same form run with an earlier build's tool from the folder before.
Form Earlier(Form form, const std::string& before, const std::string& tool) {
  form.name = tool + " before";
  form.argv[0] = before + "/" + tool;
  return form;
}

// The same form as the first run on a dictionary new to this user: its
// check is made, as no note can be read or written (the cache folder is
// under a plain file).
Form Unnoted(Form form) {
  form.name = "kovant-lookup, first run (no note)";
  form.env.push_back("XDG_CACHE_HOME=" + Prepare().noNote + "/cache");
  return form;
}

RunResult Run(const Form& form) { return RunProcess(form.argv, form.in, form.env); }

void Measure(benchmark::State& state, const Form& form) {
  RunResult r;
  for (auto _ : state) {
    r = Run(form);
    if (!r.ok) {
      state.SkipWithError(("failed: " + form.name).c_str());
      return;
    }
  }
  state.counters["maxrss_MB"] = static_cast<double>(r.maxRssKiB) / 1024.0;
  state.counters["out_bytes"] = static_cast<double>(r.outputBytes);
}

void BM_Kovant10000(benchmark::State& state) { Measure(state, Kovant(Prepare().codes10k)); }

void BM_Sqlite10000(benchmark::State& state) {
  if (!Prepare().sqlite) {
    state.SkipWithError("sqlite3 is not installed");
    return;
  }
  Measure(state, SqliteForms()[static_cast<size_t>(state.range(0))]);
  state.SetLabel(SqliteForms()[static_cast<size_t>(state.range(0))].name);
}

void BM_Grep10000(benchmark::State& state) {
  Measure(state, GrepForms()[static_cast<size_t>(state.range(0))]);
  state.SetLabel(GrepForms()[static_cast<size_t>(state.range(0))].name);
}

void BM_KovantAllCurrentCodes(benchmark::State& state) {
  Measure(state, Kovant(Prepare().codesAll));
  state.counters["codes"] = static_cast<double>(Prepare().allCount);
}

void BM_MkdicNational(benchmark::State& state) { Measure(state, Mkdic()); }

}  // namespace

BENCHMARK(BM_Kovant10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Sqlite10000)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Grep10000)->DenseRange(0, 1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_KovantAllCurrentCodes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MkdicNational)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

namespace {

std::string Quoted(const Form& form) {
  std::string text;
  for (const auto& e : form.env) text += e + " ";
  for (const auto& a : form.argv) {
    const bool plain = a.find_first_of(" '\"();*,=") == std::string::npos;
    std::string q = a;
    for (size_t at = q.find('\''); at != std::string::npos; at = q.find('\'', at + 4)) q.replace(at, 1, "'\\''");
    text += (plain ? a : "'" + q + "'") + " ";
  }
  if (!form.in.empty()) text += "< " + form.in;
  return text;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// kovant and peer in turn, n times each, the medians of their times and
// of the ratios of each pair (wall time; CPU time, which other load on the
// machine moves less); false when a run failed.
bool Pairs(const Form& kovant, const Form& peer, int n) {
  std::vector<double> ratios, cpuRatios, ours, theirs;
  RunResult a, b;
  for (int i = 0; i < n; ++i) {
    a = Run(kovant);
    b = Run(peer);
    if (!a.ok || !b.ok) {
      std::printf("failed: %s\n", (a.ok ? peer : kovant).name.c_str());
      return false;
    }
    ours.push_back(a.seconds);
    theirs.push_back(b.seconds);
    ratios.push_back(b.seconds / a.seconds);
    cpuRatios.push_back(b.cpuSeconds / std::max(a.cpuSeconds, 1e-6));
  }
  std::printf("%-40s %8.1f ms %8.1f ms  %6.2fx  %6.2fx  (%zu / %zu output bytes)\n    %s\n", peer.name.c_str(),
              Median(theirs) * 1e3, Median(ours) * 1e3, Median(ratios), Median(cpuRatios), b.outputBytes, a.outputBytes,
              Quoted(peer).c_str());
  return true;
}

// The build has no peer: its time and peak memory over n runs.
bool Builds(const Form& mkdic, int n) {
  std::vector<double> times, cpu;
  long rss = 0;
  for (int i = 0; i < n; ++i) {
    const RunResult r = Run(mkdic);
    if (!r.ok) return false;
    times.push_back(r.seconds);
    cpu.push_back(r.cpuSeconds);
    rss = std::max(rss, r.maxRssKiB);
  }
  std::printf("%s: median %.0f ms (CPU %.0f ms), peak %.1f MB over %d runs\n    %s\n", mkdic.name.c_str(),
              Median(times) * 1e3, Median(cpu) * 1e3, static_cast<double>(rss) / 1024.0, n, Quoted(mkdic).c_str());
  return true;
}

// One code a process, as a script or a prompt asks: kovant-lookup with the
// code as its argument beside each peer's fastest form for one code
// (sqlite3's one query over the covering index, grep -F over the text),
// and /bin/true, the least any process costs on the machine. The codes:
// Tokyo's first, Sapporo's, one of three cities, Okinawa's last islands.
constexpr const char* kOneCodes[] = {"1000001", "0600042", "4110000", "9071801"};

bool OneCodePairs(int n, const std::string& before) {
  const Files& f = Prepare();
  std::printf("\nOne code a process, %d pairs run in turn (kovant, peer); medians; ratio = peer / kovant\n", n);
  bool ok = true;
  for (const char* one : kOneCodes) {
    const std::string code = one;
    const Form kovant{
        "kovant-lookup " + code, {std::string(KOVANT_BIN_DIR) + "/kovant-lookup", "--dic", f.dic, code}, "", {}};
    std::printf("\nkovant: %s\n", Quoted(kovant).c_str());
    std::vector<Form> peers = {{"/bin/true (the floor)", {"true"}, "", {}},
                               {"grep -F", {"grep", "-F", code, f.kenUtf8}, "", {}}};
    if (f.sqlite) {
      peers.push_back({"sqlite3, covering index",
                       {"sqlite3", f.coveringDb, "SELECT code,pref,city,town FROM ken WHERE code='" + code + "';"},
                       "",
                       {}});
    }
    if (!before.empty()) peers.push_back(Earlier(kovant, before, "kovant-lookup"));
    peers.push_back(Unnoted(kovant));
    for (const Form& peer : peers) ok = Pairs(kovant, peer, n) && ok;
  }
  return ok;
}

// before: a folder with an earlier build's kovant-lookup and kovant-mkdic,
// paired with this build's the same way ("" for none).
int RunPairs(int n, const std::string& before) {
  const Files& f = Prepare();
  const Form kovant = Kovant(f.codes10k);
  std::printf("10,000 current codes, %d pairs run in turn (kovant, peer); medians; ratio = peer / kovant\n", n);
  std::printf("kovant: %s\n\n", Quoted(kovant).c_str());
  std::printf("%-40s %11s %11s  %7s  %7s\n", "peer", "peer", "kovant", "ratio", "CPU");
  bool ok = true;
  std::vector<Form> peers = GrepForms();
  if (f.sqlite) {
    for (auto& form : SqliteForms()) peers.push_back(form);
  }
  if (!before.empty()) peers.push_back(Earlier(kovant, before, "kovant-lookup"));
  peers.push_back(Unnoted(kovant));
  for (const Form& peer : peers) ok = Pairs(kovant, peer, n) && ok;
  ok = OneCodePairs(n, before) && ok;
  std::printf("\n");
  ok = Builds(Mkdic(), n) && ok;
  if (!before.empty()) ok = Builds(Earlier(Mkdic(), before, "kovant-mkdic"), n) && ok;
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  int pairs = 0;
  std::string before;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--pairs=", 8) == 0) pairs = std::max(1, std::atoi(argv[i] + 8));
    if (std::strncmp(argv[i], "--before=", 9) == 0) before = argv[i] + 9;
  }
  if (pairs > 0) return RunPairs(pairs, before);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
