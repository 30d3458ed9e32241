// When a paste key may be sent and when the next may follow, the same for
// every Wayland desktop: readers that fetch every new text at once
// (clipboard managers, the compositor itself) settle first, so that the
// target's own fetch is the one counted; after the key the target fetches
// the text and inserts it, which a toolkit such as GTK does a moment later.
#pragma once

#include <chrono>
#include <functional>

namespace kovant::platform {

class PasteTiming {
 public:
  using Clock = std::chrono::steady_clock;
  // Runs the event loops until done() or the bound; true when done.
  using WaitUntil = std::function<bool(std::chrono::milliseconds, const std::function<bool()>&)>;

  explicit PasteTiming(WaitUntil wait) : wait_(std::move(wait)) {}

  // A new text was offered, or a reader fetched it.
  void Offered() { last_ = Clock::now(); }
  void Fetched() {
    ++fetches_;
    last_ = Clock::now();
  }

  // Before the paste key: until no fetch for 40 ms (at most 300 ms).
  void BeforeKey() {
    wait_(std::chrono::milliseconds(300), [this] { return Clock::now() - last_ >= std::chrono::milliseconds(40); });
    before_ = fetches_;
  }
  // After it: until the target fetched (at most 2 s), then 50 ms more.
  void AfterKey() {
    if (wait_(std::chrono::milliseconds(2000), [this] { return fetches_ > before_; })) {
      wait_(std::chrono::milliseconds(50), [] { return false; });
    }
  }

 private:
  WaitUntil wait_;
  Clock::time_point last_{};
  int fetches_ = 0, before_ = 0;
};

}  // namespace kovant::platform
