// The update window's logic: the update of `kovant-mkdic --update` on a
// thread of its own, its steps and outcome shown through the view.
#pragma once

#include <atomic>
#include <string>
#include <thread>

#include "dict/result.h"
#include "update/update.h"
#include "window/appstate.h"
#include "window/updateview.h"

namespace kovant::window {

class UpdateModel {
 public:
  // from: a mirror's base URL, "" for Japan Post (or KOVANT_DATA_URL).
  UpdateModel(AppState& app, UpdateView& view, std::string from) : app_(app), view_(view), from_(std::move(from)) {}
  ~UpdateModel() { Stop(); }
  UpdateModel(const UpdateModel&) = delete;
  UpdateModel& operator=(const UpdateModel&) = delete;

  void Form_Load();
  void Start();
  bool Running() const { return worker_.joinable() && !finished_; }
  // "中止" asks the update to end at its next step; "閉じる" closes.
  void Command_Click();
  // Closing while the update runs cancels it and closes the window once
  // the update has stopped, so nothing is written after it; true when the
  // window may close now.
  bool Form_QueryUnload();
  // Cancels and waits for the update's thread: before the view goes.
  void Stop();

 private:
  void ShowStep(const std::string& step, double share);
  void Done(const dict::Result<tools::UpdateReport>& outcome, const std::string& notes);

  AppState& app_;
  UpdateView& view_;
  std::string from_;
  std::atomic<bool> cancel_{false};
  bool finished_ = false;
  bool closeWanted_ = false;  // asked to close while it ran
  std::thread worker_;
};

}  // namespace kovant::window
