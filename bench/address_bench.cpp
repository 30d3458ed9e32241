// Addresses to codes on the national dictionary: loading the names of the
// country, resolving 10,000 addresses of Japan Post's office file in one
// process, and the same addresses as a CSV column through kovant-lookup.
#include <benchmark/benchmark.h>

#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "dict/address.h"
#include "dict/preload.h"
#include "update/kenall.h"

namespace {

struct Files {
  std::string dic = std::string(KOVANT_BIN_DIR) + "/KOVANT.DIC";
  std::vector<std::string> addresses;
  std::string csv;
};

const Files& Prepare() {
  static Files f = [] {
    Files f;
    auto in = kovant::tools::ReadInputFile(std::string(KOVANT_SOURCE_DIR) + "/data/japanpost/jigyosyo.zip");
    if (!in) return f;
    for (const auto& r : kovant::tools::ParseCsv(kovant::tools::CsvToUtf8(in->bytes), nullptr)) {
      if (r.size() > 6 && f.addresses.size() < 10000) f.addresses.push_back(r[3] + r[4] + r[5] + r[6]);
    }
    f.csv = (std::filesystem::temp_directory_path() / "kovant-addresses-10000.csv").string();
    std::ofstream out(f.csv, std::ios::binary);
    for (const auto& a : f.addresses) out << '"' << a << "\"\n";
    return f;
  }();
  return f;
}

void BM_LoadNamesOfTheCountry(benchmark::State& state) {
  const Files& f = Prepare();
  for (auto _ : state) {
    auto g = kovant::dict::Gazetteer::Load(f.dic);
    if (!g) {
      state.SkipWithError("no dictionary");
      return;
    }
    benchmark::DoNotOptimize(g->TownCount());
  }
}

void BM_Resolve10000Addresses(benchmark::State& state) {
  const Files& f = Prepare();
  auto g = kovant::dict::Gazetteer::Load(f.dic);
  if (!g || f.addresses.empty()) {
    state.SkipWithError("no dictionary or office file");
    return;
  }
  for (auto _ : state) {
    for (const auto& a : f.addresses) benchmark::DoNotOptimize(g->Resolve(a));
  }
  state.counters["addresses_per_s"] =
      benchmark::Counter(static_cast<double>(f.addresses.size()), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_AddressColumn10000(benchmark::State& state) {
  const Files& f = Prepare();
  const std::string command = std::string(KOVANT_BIN_DIR) + "/kovant-lookup --dic '" + f.dic +
                              "' --address-column 1 '" + f.csv + "' > /dev/null";
  for (auto _ : state) {
    const int status = std::system(command.c_str());
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 2) {  // 1 and 3: some not one code
      state.SkipWithError("kovant-lookup failed");
      return;
    }
  }
}

// The first address typed into a window that has been open a second: the
// window starts the load when it opens (GazetteerPreload::Start), Enter
// waits for it (Get) and resolves. Timed from Enter to the answer.
void BM_FirstAddressAfterASecond(benchmark::State& state) {
  const Files& f = Prepare();
  for (auto _ : state) {
    kovant::dict::GazetteerPreload preload;
    preload.Start(f.dic);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const auto enter = std::chrono::steady_clock::now();
    auto g = preload.Get(f.dic);
    if (!g) {
      state.SkipWithError("no dictionary");
      return;
    }
    benchmark::DoNotOptimize((*g)->Resolve("東京都千代田区大手町1-3-1"));
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - enter).count());
  }
}

// The same first address loaded at Enter, as the window did before.
void BM_FirstAddressLoadedAtEnter(benchmark::State& state) {
  const Files& f = Prepare();
  for (auto _ : state) {
    const auto enter = std::chrono::steady_clock::now();
    auto g = kovant::dict::Gazetteer::Load(f.dic);
    if (!g) {
      state.SkipWithError("no dictionary");
      return;
    }
    benchmark::DoNotOptimize(g->Resolve("東京都千代田区大手町1-3-1"));
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - enter).count());
  }
}

}  // namespace

BENCHMARK(BM_FirstAddressAfterASecond)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(BM_FirstAddressLoadedAtEnter)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(BM_LoadNamesOfTheCountry)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Resolve10000Addresses)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AddressColumn10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
