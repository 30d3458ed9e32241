// Speed of the dictionary: building it, loading the prefectures, searching and walking.
// Runs on Japan Post's file in data/japanpost (KOVANT_KENALL names another).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "dict/codec.h"
#include "dict/search.h"
#include "dict/walk.h"
#include "platform/files.h"
#include "platform/sjis.h"
#include "tools/builder.h"

using namespace kovant;

namespace {

std::string Source() {
  const char* p = std::getenv("KOVANT_KENALL");
  return p && *p ? p : std::string(KOVANT_SOURCE_DIR) + "/data/japanpost/ken_all.zip";
}

struct Fixture {
  std::string path;
  dict::PrefectureTable table;
  Fixture() {
    auto in = tools::ReadInputFile(Source());
    auto rows = tools::ParseKenAll(in->bytes, Source());
    tools::BuildReport report;
    auto dic = tools::BuildDictionary(*tools::JoinSplitRows(*rows, "bench"), {in->date, "bench"}, report);
    path = (std::filesystem::temp_directory_path() / "kovant-bench.dic").string();
    platform::WriteFileAtomically(path, *dic);
    table = dict::LoadDictionary(path)->table;
  }
};

const Fixture& F() {
  static Fixture f;
  return f;
}

void BM_BuildDictionary(benchmark::State& state) {
  std::string out = (std::filesystem::temp_directory_path() / "kovant-bench-build.dic").string();
  for (auto _ : state) {
    auto in = tools::ReadInputFile(Source());
    auto rows = tools::ParseKenAll(in->bytes, Source());
    tools::BuildReport report;
    auto dic = tools::BuildDictionary(*tools::JoinSplitRows(*rows, "bench"), {in->date, "bench"}, report);
    platform::WriteFileAtomically(out, *dic);
    state.counters["bytes"] = static_cast<double>(dic->size());
  }
}
BENCHMARK(BM_BuildDictionary)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ExpandText(benchmark::State& state) {
  std::string coded = *tools::EncodeName("大通西（１～１９丁目）");
  for (auto _ : state) benchmark::DoNotOptimize(dict::ExpandText(coded, static_cast<int>(coded.size())));
}
BENCHMARK(BM_ExpandText);

void BM_ExpandAndConvert(benchmark::State& state) {
  std::string coded = *tools::EncodeName("大通西（１～１９丁目）");
  for (auto _ : state) {
    auto sjis = dict::ExpandText(coded, static_cast<int>(coded.size()));
    benchmark::DoNotOptimize(platform::SjisToUtf8(*sjis));
  }
}
BENCHMARK(BM_ExpandAndConvert);

void BM_LoadPrefectures(benchmark::State& state) {
  const std::string& path = F().path;  // built before the clock runs
  for (auto _ : state) benchmark::DoNotOptimize(dict::LoadDictionary(path));
}
BENCHMARK(BM_LoadPrefectures)->Unit(benchmark::kMicrosecond);

void Search(benchmark::State& state, const char* code, bool kIndexed) {
  const auto& f = F();
  size_t rows = 0;
  for (auto _ : state) {
    auto r = kIndexed ? dict::SearchPostalCode(f.path, f.table, code) : dict::LinearScanPostalCode(f.path, f.table, code);
    rows = r.rows.size();
    benchmark::DoNotOptimize(r);
  }
  state.counters["rows"] = static_cast<double>(rows);
}
void BM_Search(benchmark::State& state, const char* code) { Search(state, code, true); }
void BM_LinearScan(benchmark::State& state, const char* code) { Search(state, code, false); }
BENCHMARK_CAPTURE(BM_Search, tokyo_1000001, "1000001")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Search, hokkaido_0600042, "0600042")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Search, kyoto_6008216, "6008216")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Search, none_9999999, "9999999")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Search, former_602, "602")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_LinearScan, tokyo_1000001, "1000001")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_LinearScan, 602, "602")->Unit(benchmark::kMicrosecond);

void BM_WalkLargestPrefecture(benchmark::State& state) {
  const auto& f = F();
  for (auto _ : state) benchmark::DoNotOptimize(dict::LoadCities(f.path, f.table, 1));
}
BENCHMARK(BM_WalkLargestPrefecture)->Unit(benchmark::kMicrosecond);

void BM_WalkLargestCity(benchmark::State& state) {
  const auto& f = F();
  // The city with the most towns.
  dict::CityTableEntry largest{};
  size_t most = 0;
  for (const auto& pref : f.table.rows) {
    auto cities = dict::LoadCities(f.path, f.table, pref.PrefNo);
    for (const auto& c : cities.cityTable) {
      size_t n = dict::LoadTowns(f.path, c).entries.size();
      if (n > most) {
        most = n;
        largest = c;
      }
    }
  }
  for (auto _ : state) benchmark::DoNotOptimize(dict::LoadTowns(f.path, largest));
  state.counters["towns"] = static_cast<double>(most);
}
BENCHMARK(BM_WalkLargestCity)->Unit(benchmark::kMicrosecond);

void BM_TownStep(benchmark::State& state) {
  const auto& f = F();
  auto cities = dict::LoadCities(f.path, f.table, 13);
  auto towns = dict::LoadTowns(f.path, cities.cityTable[0]);
  for (auto _ : state) {
    benchmark::DoNotOptimize(dict::ShowTownResult(f.path, "東京都", cities.entries[0].text, towns.entries[0], "", false));
  }
}
BENCHMARK(BM_TownStep)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
