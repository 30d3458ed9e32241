// When a paste key may be sent and when the next piece may follow, the same
// for every Wayland desktop: readers that fetch every new text at once
// (clipboard managers, the compositor itself) settle first, so that the
// target's own fetch is the one counted. After the key the target fetches
// the text, reads it and inserts it; a toolkit such as GTK drops a read that
// a new clipboard overtakes, so the next piece waits until the target is
// known to have read this one and then as long as the target has shown
// itself to stall.
#pragma once

#include <algorithm>
#include <chrono>
#include <deque>
#include <functional>

namespace kovant::platform {

class PasteTiming {
 public:
  using Clock = std::chrono::steady_clock;
  using Ms = std::chrono::milliseconds;
  // Runs the event loops until done() or the bound; true when done.
  using WaitUntil = std::function<bool(Ms, const std::function<bool()>&)>;

  // Within this the target must fetch and read each piece, or the paste
  // stops: a target that stalls longer cannot be told from one that
  // ignores the key.
  static constexpr Ms kBound{5000};

  explicit PasteTiming(WaitUntil wait) : wait_(std::move(wait)) {}

  // Where the clipboard tells when a reader has read the whole text (and
  // not only asked for it).
  void TellsWhenRead() { tellsRead_ = true; }

  // A new text was offered, or a reader fetched it, or finished reading it.
  void Offered() { last_ = Clock::now(); }
  void Fetched() {
    ++fetches_;
    last_ = fetchedAt_ = Clock::now();
  }
  void Read() {
    ++reads_;
    last_ = readAt_ = Clock::now();
  }

  // Before the paste key: until no fetch for 40 ms (at most 300 ms).
  void BeforeKey() {
    wait_(Ms(300), [this] { return Clock::now() - last_ >= Ms(40); });
    before_ = fetches_;
    readsBefore_ = reads_;
    keyAt_ = Clock::now();
  }
  // After it: until the target fetched and read the text, then until it
  // may be taken to have inserted it. False when it did not within the
  // bound, so that the text cannot be replaced safely.
  bool AfterKey() {
    if (!wait_(kBound, [this] { return fetches_ > before_; })) return false;
    Ms settle = Ms(50);
    if (tellsRead_) {
      if (!wait_(kBound, [this] { return reads_ > readsBefore_; })) return false;
      // A target that stalled between the steps may stall as long again
      // before it takes in what it read: wait out the longest stall seen
      // over the last pastes, a fast one included.
      Note(std::max(Since(keyAt_, fetchedAt_), Since(fetchedAt_, readAt_)));
      settle = std::max(settle, *std::max_element(stalls_.begin(), stalls_.end()) + Ms(30));
    }
    wait_(std::min(settle, Ms(1000)), [] { return false; });
    return true;
  }

 private:
  static Ms Since(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration_cast<Ms>(std::max(to - from, Clock::duration::zero()));
  }
  void Note(Ms stall) {
    stalls_.push_back(stall);
    if (stalls_.size() > 16) stalls_.pop_front();
  }

  WaitUntil wait_;
  bool tellsRead_ = false;
  Clock::time_point last_{}, keyAt_{}, fetchedAt_{}, readAt_{};
  int fetches_ = 0, before_ = 0, reads_ = 0, readsBefore_ = 0;
  std::deque<Ms> stalls_;
};

}  // namespace kovant::platform
