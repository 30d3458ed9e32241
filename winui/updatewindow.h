// The dictionary update window as a Win32 window over its model: the data
// in use, a progress bar, the step, the changes and one button.
#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <string>

#include "window/appstate.h"
#include "window/updatemodel.h"
#include "window/updateview.h"
#include "winui/modal.h"

namespace kovant::winui {

class UpdateWindow : public ModalWindow, public window::UpdateView {
 public:
  enum : int { kBefore = 500, kProgress, kStep, kChanges, kCommand };

  UpdateWindow(window::AppState& app, HWND owner, std::string from = {});

  void SetBefore(const std::string& text) override { SetTextOf(kBefore, text); }
  void SetProgress(int permille) override;
  void SetStep(const std::string& text) override { SetTextOf(kStep, text); }
  std::string ChangesText() const override { return TextOf(kChanges); }
  void SetChanges(const std::string& text) override;
  void SetCommand(const std::string& caption, bool enabled) override;
  void FocusCommand() override { SetFocus(Ctl(kCommand)); }
  // The step's box takes the lines its text needs (a failure's reason
  // with a long address), the window growing with it.
  void Fit() override;
  void Close() override { End(); }
  void Post(std::function<void()> fn) override;

 protected:
  void Build() override;
  void Load() override;
  void OnCommand(int id, int code) override;
  // Closing while the update runs cancels it; the window stays until the
  // update has stopped, so nothing is written after it closed.
  void OnCancel() override;
  int DefaultButton() const override { return kCommand; }
  void OnAppMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  int stepExtra_ = 0;  // twips the step's box has grown by
  std::mutex mutex_;
  std::deque<std::function<void()>> posted_;
  // Last: its thread is joined before the queue above goes.
  window::UpdateModel model_;
};

}  // namespace kovant::winui
