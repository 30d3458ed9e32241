// The window's side: opening the main window on the dictionary (load, show,
// first paint) and the walk steps including filling the list widgets.
// Offscreen; runs on Japan Post's file in data/japanpost (KOVANT_KENALL names another).
#include <benchmark/benchmark.h>

#include <QApplication>

#include <cstdlib>
#include <filesystem>

#include "platform/clipboard.h"
#include "platform/files.h"
#include "update/builder.h"
#include "ui/mainwindow.h"

using namespace kovant;

namespace {

std::string Folder() {
  static std::string folder = [] {
    const char* p = std::getenv("KOVANT_KENALL");
    std::string source = p && *p ? p : std::string(KOVANT_SOURCE_DIR) + "/data/japanpost/ken_all.zip";
    auto in = tools::ReadInputFile(source);
    auto rows = tools::ParseKenAll(in->bytes, source);
    tools::BuildReport report;
    auto dic = tools::BuildDictionary(*tools::JoinSplitRows(*rows, "bench"), {in->date, "bench"}, report);
    std::string dir = (std::filesystem::temp_directory_path() / "kovant-window-bench").string();
    std::filesystem::create_directories(dir);
    platform::WriteFileAtomically(dir + "/KOVANT.DIC", *dic);
    return dir;
  }();
  return folder;
}

ui::AppState State() {
  ui::AppState app;
  app.ProgramFolder = Folder();
  app.SettingsFolder = Folder();
  app.warn = [](const QString&) {};
  return app;
}

void BM_OpenWindow(benchmark::State& state) {
  ui::AppState app = State();
  for (auto _ : state) {
    ui::Kovant1 w(app);
    w.Form_Load();
    w.show();
    w.repaint();
    QApplication::processEvents();
  }
}
BENCHMARK(BM_OpenWindow)->Unit(benchmark::kMillisecond);

void BM_PrefectureStepWithWidgets(benchmark::State& state) {
  ui::AppState app = State();
  ui::Kovant1 w(app);
  w.Form_Load();
  w.show();
  for (auto _ : state) {
    w.List2->SetListIndex(0);  // 北海道, the most cities
    w.LoadCities();
    w.List3->repaint();
  }
  state.counters["cities"] = w.List3->ListCount();
}
BENCHMARK(BM_PrefectureStepWithWidgets)->Unit(benchmark::kMicrosecond);

void BM_LargestCityStepWithWidgets(benchmark::State& state) {
  ui::AppState app = State();
  ui::Kovant1 w(app);
  w.Form_Load();
  w.show();
  // The city with the most towns.
  int bestPref = 0, bestCity = 0, most = 0;
  for (int p = 0; p < w.List2->ListCount(); ++p) {
    w.List2->SetListIndex(p);
    w.LoadCities();
    for (int c = 0; c < w.List3->ListCount(); ++c) {
      w.List3->SetListIndex(c);
      w.LoadTowns();
      if (w.List4->ListCount() > most) {
        most = w.List4->ListCount();
        bestPref = p;
        bestCity = c;
      }
    }
  }
  w.List2->SetListIndex(bestPref);
  w.LoadCities();
  for (auto _ : state) {
    w.List3->SetListIndex(bestCity);
    w.LoadTowns();
    w.List4->repaint();
  }
  state.counters["towns"] = most;
}
BENCHMARK(BM_LargestCityStepWithWidgets)->Unit(benchmark::kMicrosecond);

// The step that lists 港区's offices after its towns (its last entry
// chosen), the longest list of the walk, on the national dictionary with
// offices.
void BM_MinatoOfficesStepWithWidgets(benchmark::State& state) {
  ui::AppState app = State();
  app.ProgramFolder = KOVANT_BIN_DIR;
  ui::Kovant1 w(app);
  w.Form_Load();
  w.show();
  int tokyo = -1, minato = -1;
  for (int p = 0; p < w.List2->ListCount(); ++p) {
    if (w.List2->ItemText(p) == QStringLiteral("東京都")) tokyo = p;
  }
  if (tokyo < 0) {
    state.SkipWithError("no national dictionary");
    return;
  }
  w.List2->SetListIndex(tokyo);
  w.LoadCities();
  for (int c = 0; c < w.List3->ListCount(); ++c) {
    if (w.List3->ItemText(c) == QStringLiteral("港区")) minato = c;
  }
  for (auto _ : state) {
    state.PauseTiming();
    w.List3->SetListIndex(minato);
    w.LoadTowns();
    w.List4->SetListIndex(w.List4->ListCount() - 1);
    state.ResumeTiming();
    w.ShowTownResult();
    w.List4->repaint();
  }
  state.counters["entries"] = w.List4->ListCount();
}
BENCHMARK(BM_MinatoOfficesStepWithWidgets)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
