#include "window/updatemodel.h"

#include <cmath>

#include "dict/census.h"
#include "dict/reader.h"

namespace kovant::window {
namespace {

// The data date of the dictionary in a folder, "" without one.
std::string DataDateIn(const std::string& folder) {
  auto file = dict::DicFile::Open(dict::DictionaryPathIn(folder));
  if (!file) return {};
  auto header = (*file)->ReadHeader();
  return header ? header->DataDate : std::string();
}

std::string DateOrNone(const std::string& date) { return date.empty() ? "（なし）" : date; }

}  // namespace

void UpdateModel::Form_Load() {
  view_.SetBefore("使用中の辞書データ：" + DateOrNone(DataDateIn(app_.ProgramFolder)));
  view_.SetProgress(0);
  view_.SetCommand("中止", true);
}

void UpdateModel::Start() {
  if (worker_.joinable()) return;
  view_.SetStep("ダウンロード中...");
  // The worker reaches the window only through Post; Stop waits for it.
  worker_ = std::thread([this] {
    tools::UpdateOptions options;
    options.from = from_;
    options.cancel = &cancel_;
    options.progress = [this](const std::string& step, double share) {
      view_.Post([this, step, share] { ShowStep(step, share); });
    };
    std::string notes;
    options.note = [&notes](const std::string& note) { notes += note + "\n"; };
    auto outcome = tools::UpdateDictionary(options);
    view_.Post([this, outcome = std::move(outcome), notes] { Done(outcome, notes); });
  });
}

void UpdateModel::Stop() {
  cancel_ = true;
  if (worker_.joinable()) worker_.join();
}

void UpdateModel::Command_Click() {
  if (Running()) {
    cancel_ = true;
    view_.SetCommand("中止", false);
    view_.SetStep("中止しています...");
  } else {
    view_.Close();
  }
}

bool UpdateModel::Form_QueryUnload() {
  if (!Running()) return true;
  closeWanted_ = true;
  if (!cancel_) Command_Click();
  return false;
}

void UpdateModel::ShowStep(const std::string& step, double share) {
  if (finished_ || cancel_) return;
  if (!step.empty()) view_.SetStep(step);
  if (share >= 0) view_.SetProgress(static_cast<int>(std::lround(share * 1000)));
}

void UpdateModel::Done(const dict::Result<tools::UpdateReport>& outcome, const std::string& notes) {
  finished_ = true;
  if (worker_.joinable()) worker_.join();
  if (!notes.empty()) view_.SetChanges(notes);
  view_.SetCommand("閉じる", true);
  view_.FocusCommand();
  if (!outcome) {
    view_.SetProgress(0);
    view_.SetStep(outcome.error().description + "\n使用中の辞書はそのままです。");
    view_.Fit();
    if (closeWanted_) view_.Close();
    return;
  }
  const tools::UpdateReport& r = *outcome;
  view_.SetProgress(1000);
  if (r.upToDate) {
    // The data in use is Japan Post's latest: nothing was written.
    view_.SetStep("最新です。");
    view_.SetChanges(view_.ChangesText() + "データの日付: " + r.dateAfter + "（変わりません）");
    view_.Fit();
    return;
  }
  view_.SetStep("辞書を更新しました。");
  view_.SetChanges(view_.ChangesText() + "データの日付: " + DateOrNone(r.dateBefore) + " → " + r.dateAfter + "\n" +
                   "郵便番号: " + std::to_string(r.added) + " 件追加、" + std::to_string(r.removed) + " 件削除（町域 " +
                   std::to_string(r.towns) + " 件、事業所 " + std::to_string(r.offices) + " 件）");
  view_.Fit();  // a note before the counts may need a line more
  // The main window takes the new data at its next step: it reads the
  // dictionary from here and sees the file changed.
  app_.ProgramFolder = dict::LocateDictionaryFolder();
  if (app_.DictionaryUpdated) app_.DictionaryUpdated();
  // Asked to close too late to stop it: the new data is in place and said
  // so in the main window.
  if (closeWanted_) view_.Close();
}

}  // namespace kovant::window
