// One running instance per user: a lock held on a file in the runtime
// folder for as long as the program runs; the system drops it when the
// process ends, however it ends. One implementation per system
// (instance_unix.cpp, instance_windows.cpp).
#pragma once

#include <cstdint>
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

  // kovant-<uid>.lock in LockFolder() (folders.h), made 0700 when it is
  // the cache's; empty without a user folder.
  static std::string LockPath();

 private:
  InstanceLock(intptr_t handle, bool trusted) : handle_(handle), trusted_(trusted) {}
  intptr_t handle_;  // a descriptor, or a Windows handle; -1 for none
  bool trusted_;
};

}  // namespace kovant::platform
