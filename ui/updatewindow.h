// The dictionary update window, opened by "辞書を更新" in the settings
// window: the update of `kovant-mkdic --update`, on a thread of its own so
// that the window keeps answering, with its progress and a cancel button.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <atomic>
#include <string>
#include <thread>

#include "dict/result.h"
#include "update/update.h"
#include "ui/appstate.h"

namespace kovant::ui {

class KovantUpdate : public QDialog {
  Q_OBJECT
 public:
  // from: a mirror's base URL, "" for Japan Post (or KOVANT_DATA_URL).
  KovantUpdate(AppState& app, QWidget* parent = nullptr, std::string from = {});
  ~KovantUpdate() override;

  void Start();
  bool Running() const { return worker_.joinable() && !finished_; }

  QLabel* Before = nullptr;  // the data in use
  QProgressBar* Progress = nullptr;
  QLabel* StepLine = nullptr;      // what runs now, then the outcome
  QLabel* Changes = nullptr;       // dates and codes added and removed
  QPushButton* Command = nullptr;  // "中止" while running, then "閉じる"

 signals:
  void Finished(bool installed);

 protected:
  void reject() override;

 private:
  void Done(const dict::Result<tools::UpdateReport>& outcome);
  void ShowStep(const QString& step, double share);

  AppState& app_;
  std::string from_;
  std::atomic<bool> cancel_{false};
  bool finished_ = false;
  std::thread worker_;
};

}  // namespace kovant::ui
