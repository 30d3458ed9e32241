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
  // A runtime folder that cannot be used gives a lock that holds nothing,
  // so the program still starts.
  static std::unique_ptr<InstanceLock> Acquire();
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // ${XDG_RUNTIME_DIR:-/tmp}/kovant-<uid>.lock
  static std::string LockPath();

 private:
  explicit InstanceLock(int fd) : fd_(fd) {}
  int fd_;
};

}  // namespace kovant::platform
