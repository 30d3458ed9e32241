// Speed of the dictionary: building it, loading the prefectures, searching and walking.
// Runs on Japan Post's file in data/japanpost (KOVANT_KENALL names another).
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "dict/chain.h"
#include "dict/codec.h"
#include "dict/codeindex.h"
#include "dict/codeinput.h"
#include "dict/listorder.h"
#include "dict/search.h"
#include "dict/walk.h"
#include "platform/files.h"
#include "platform/sjis.h"
#include "update/builder.h"

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
    // Settled, as an installed dictionary is: the window keeps its index.
    std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
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

// Town records of the whole file in file order, with no index and no
// pruning by the prefixes and digit flags: the baseline the search is
// measured against.
dict::SearchOutcome LinearScanPostalCode(const std::string& path, const dict::PrefectureTable& table,
                                         std::string_view code) {
  dict::SearchOutcome out;
  if (dict::CodeInputProblem(code)) return out;
  auto opened = dict::DicFile::Open(path);
  if (!opened) return out;
  dict::DicFile& dic = **opened;
  const int value = std::stoi(std::string(code));
  std::vector<dict::ListEntry> rows;
  for (size_t p = 1; p <= table.rows.size(); ++p) {
    const dict::PrefectureRow& pref = table.rows[p - 1];
    (void)dict::ForEachCity(dic, pref.CityListPos, static_cast<int>(p), [&](const dict::CityRecord& city, int64_t) {
      std::optional<std::string> cityName;
      auto towns = dict::ForEachTown(dic, city.TownListPos, city.CityNo, [&](const dict::TownHead& head, int64_t pos) {
        if (!dict::HoldsCode(head, code, value)) return true;
        auto town = dic.ReadTown(pos);
        if (!town) return false;
        if (!cityName) {
          auto n = dict::ExpandText(city.Name, city.NameLength);
          cityName = n ? *n : std::string();
        }
        auto name = dict::ExpandText(town->Name, town->NameLength);
        if (name) rows.push_back({{}, pref.NameSjis + " " + *cityName + " " + *name, static_cast<int32_t>(pos)});
        return true;
      });
      return towns.ok();
    });
  }
  dict::FillTextsFromSortKeys(rows);
  dict::SortListEntries(rows);
  out.rows = dict::RowsOf(rows);
  out.heading = dict::ResultHeading(out.rows.size());
  return out;
}

enum class Way { Search, Scan, Linear };

void Search(benchmark::State& state, const char* code, Way way) {
  const auto& f = F();
  size_t rows = 0;
  for (auto _ : state) {
    auto r = way == Way::Search ? dict::SearchPostalCode(f.path, f.table, code)
             : way == Way::Scan ? dict::ScanPostalCode(f.path, f.table, code)
                                : LinearScanPostalCode(f.path, f.table, code);
    rows = r.rows.size();
    benchmark::DoNotOptimize(r);
  }
  state.counters["rows"] = static_cast<double>(rows);
}
// The window's search (from the code index), its scan of the records (the
// search before the index), and the scan of every record.
void BM_Search(benchmark::State& state, const char* code) { Search(state, code, Way::Search); }
void BM_Scan(benchmark::State& state, const char* code) { Search(state, code, Way::Scan); }
void BM_LinearScan(benchmark::State& state, const char* code) { Search(state, code, Way::Linear); }
#define KOVANT_SEARCHES(BM)                                                          \
  BENCHMARK_CAPTURE(BM, tokyo_1000001, "1000001")->Unit(benchmark::kMicrosecond);    \
  BENCHMARK_CAPTURE(BM, tokyo_1050011, "1050011")->Unit(benchmark::kMicrosecond);    \
  BENCHMARK_CAPTURE(BM, hokkaido_0600042, "0600042")->Unit(benchmark::kMicrosecond); \
  BENCHMARK_CAPTURE(BM, kyoto_6008216, "6008216")->Unit(benchmark::kMicrosecond);    \
  BENCHMARK_CAPTURE(BM, none_9999999, "9999999")->Unit(benchmark::kMicrosecond);     \
  BENCHMARK_CAPTURE(BM, former_602, "602")->Unit(benchmark::kMicrosecond);           \
  BENCHMARK_CAPTURE(BM, former_100, "100")->Unit(benchmark::kMicrosecond);           \
  BENCHMARK_CAPTURE(BM, former_10601, "10601")->Unit(benchmark::kMicrosecond)
KOVANT_SEARCHES(BM_Search);
KOVANT_SEARCHES(BM_Scan);

// The floor under BM_Search: only making and freeing the rows it returns
// (the same texts into one buffer, room for all made first, as the search
// does), nothing searched.
void BM_SearchRowsAlone(benchmark::State& state, const char* code) {
  const auto& f = F();
  const auto found = dict::SearchPostalCode(f.path, f.table, code);
  for (auto _ : state) {
    dict::RowList rows;
    rows.Reserve(found.rows.size(), found.rows.Texts().size());
    for (const dict::RowView row : found.rows) rows.Append(row.text, row.itemData);
    benchmark::DoNotOptimize(rows);
  }
  state.counters["rows"] = static_cast<double>(found.rows.size());
}
BENCHMARK_CAPTURE(BM_SearchRowsAlone, former_602, "602")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SearchRowsAlone, former_100, "100")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_LinearScan, tokyo_1000001, "1000001")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_LinearScan, 602, "602")->Unit(benchmark::kMicrosecond);

// What the window's first search of a kind costs on top of reading the
// index: the index built from the file in memory, then one code listed
// (a former code first puts the country's towns in list order).
void BM_FirstSearchOfIndex(benchmark::State& state, const char* code) {
  const auto& f = F();
  auto bytes = platform::ReadWholeFile(f.path);
  if (!bytes) {
    state.SkipWithError("no dictionary");
    return;
  }
  auto firstSearch = [&] {
    auto index = dict::CodeIndex::Build(dict::DicFile::FromBytes(*bytes));
    if (!index) state.SkipWithError("no index");
    if (index && *code) benchmark::DoNotOptimize(index->ListCode(code, f.table));
    return index;
  };
  // The heap the index holds after its first search, measured once.
  const size_t before = mallinfo2().uordblks;
  {
    auto kept = firstSearch();
    state.counters["heapMB"] = static_cast<double>(mallinfo2().uordblks - before) / 1e6;
  }
  for (auto _ : state) benchmark::DoNotOptimize(firstSearch());
}
BENCHMARK_CAPTURE(BM_FirstSearchOfIndex, build_only, "")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FirstSearchOfIndex, current_1000001, "1000001")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FirstSearchOfIndex, former_602, "602")->Unit(benchmark::kMillisecond);

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

// The walk's town step for the city with the most entries once its
// offices are listed (港区), on the national dictionary with offices: as
// the window takes it (readings left for the head search), and with the
// readings.
void BM_WalkMinatoWithOffices(benchmark::State& state, bool readings) {
  const std::string path = std::string(KOVANT_BIN_DIR) + "/KOVANT.DIC";
  auto loaded = dict::LoadDictionary(path);
  if (!loaded) {
    state.SkipWithError("no national dictionary");
    return;
  }
  auto cities = dict::LoadCities(path, loaded->table, 13);
  dict::CityTableEntry minato{};
  for (const auto& e : cities.entries) {
    if (e.text == "港区") minato = cities.cityTable[static_cast<size_t>(e.itemData - 1)];
  }
  size_t entries = 0;
  for (auto _ : state) {
    auto towns = dict::LoadTowns(path, minato, true, readings);
    entries = towns.entries.size();
    benchmark::DoNotOptimize(towns);
  }
  state.counters["entries"] = static_cast<double>(entries);
}
BENCHMARK_CAPTURE(BM_WalkMinatoWithOffices, window, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_WalkMinatoWithOffices, readings, true)->Unit(benchmark::kMicrosecond);

void BM_TownStep(benchmark::State& state) {
  const auto& f = F();
  auto cities = dict::LoadCities(f.path, f.table, 13);
  auto towns = dict::LoadTowns(f.path, cities.cityTable[0]);
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        dict::ShowTownResult(f.path, "東京都", cities.entries[0].text, towns.entries[0], "", false));
  }
}
BENCHMARK(BM_TownStep)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
