// What the dictionary update window's logic needs of a view, and of its
// host: a way to run a call on the window's own thread later.
#pragma once

#include <functional>
#include <string>

namespace kovant::window {

class UpdateView {
 public:
  virtual ~UpdateView() = default;
  virtual void SetBefore(const std::string& text) = 0;  // the data in use
  virtual void SetProgress(int permille) = 0;
  virtual void SetStep(const std::string& text) = 0;  // what runs now, then the outcome
  virtual std::string ChangesText() const = 0;
  virtual void SetChanges(const std::string& text) = 0;
  // The one button: "中止" while the update runs, then "閉じる".
  virtual void SetCommand(const std::string& caption, bool enabled) = 0;
  virtual void FocusCommand() = 0;
  virtual void Fit() = 0;    // the window's size to its texts
  virtual void Close() = 0;  // accepted
  // Runs fn on the window's thread once it is idle; called from the
  // update's own thread. A view closed meanwhile drops it.
  virtual void Post(std::function<void()> fn) = 0;
};

}  // namespace kovant::window
