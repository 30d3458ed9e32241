// One window search or 港区's town step with its offices, repeated, for
// counting instructions under callgrind, which machine load does not move:
//   valgrind --tool=callgrind --instr-atstart=no step_probe KOVANT.DIC CODE|minato|minato-readings N
// Only the N repeats are counted (the index is loaded before).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "dict/search.h"
#include "dict/walk.h"

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_START_INSTRUMENTATION
#define CALLGRIND_STOP_INSTRUMENTATION
#endif

using namespace kovant;

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: step_probe KOVANT.DIC CODE|minato|minato-readings N\n");
    return 2;
  }
  const std::string path = argv[1], what = argv[2];
  const int n = std::atoi(argv[3]);
  auto loaded = dict::LoadDictionary(path);
  if (!loaded) return 1;
  const dict::PrefectureTable& table = loaded->table;
  size_t rows = 0;
  if (what == "minato" || what == "minato-readings") {
    const bool readings = what == "minato-readings";  // the window leaves them for its head search
    auto cities = dict::LoadCities(path, table, 13);
    dict::CityTableEntry minato{};
    for (const auto& e : cities.entries) {
      if (e.text == "港区") minato = cities.cityTable[static_cast<size_t>(e.itemData - 1)];
    }
    CALLGRIND_START_INSTRUMENTATION;
    for (int i = 0; i < n; ++i) rows = dict::LoadTowns(path, minato, true, readings).entries.size();
    CALLGRIND_STOP_INSTRUMENTATION;
  } else {
    rows = dict::SearchPostalCode(path, table, what).rows.size();  // loads the index
    CALLGRIND_START_INSTRUMENTATION;
    for (int i = 0; i < n; ++i) rows = dict::SearchPostalCode(path, table, what).rows.size();
    CALLGRIND_STOP_INSTRUMENTATION;
  }
  std::printf("%s rows=%zu\n", what.c_str(), rows);
  return 0;
}
