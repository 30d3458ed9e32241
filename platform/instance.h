// One running instance per user: a lock held on a file in the runtime
// folder for as long as the program runs; the system drops it when the
// process ends, however it ends.
#pragma once

#include <memory>
#include <string>

namespace kovant::platform {

class InstanceLock {
 public:
  // The lock, or null when another process of the same user holds it.
  // A lock that cannot be trusted (a folder or file not the user's own, not
  // a regular file) gives a lock that holds nothing, so the program still
  // starts, without single instance.
  static std::unique_ptr<InstanceLock> Acquire();
  bool Trusted() const { return trusted_; }
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // $XDG_RUNTIME_DIR/kovant-<uid>.lock, or without a runtime folder
  // ${XDG_CACHE_HOME:-~/.cache}/kovant/kovant-<uid>.lock (made 0700).
  static std::string LockPath();

 private:
  InstanceLock(int fd, bool trusted) : fd_(fd), trusted_(trusted) {}
  int fd_;
  bool trusted_;
};

}  // namespace kovant::platform
