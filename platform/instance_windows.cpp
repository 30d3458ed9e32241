// The single-instance lock on Windows: a byte of the lock file locked
// with LockFileEx; the system drops it when the process ends.
#include <windows.h>

#include "platform/instance.h"
#include "platform/windows.h"

namespace kovant::platform {

std::unique_ptr<InstanceLock> InstanceLock::Acquire() {
  const std::string path = LockPath();
  auto untrusted = [] { return std::unique_ptr<InstanceLock>(new InstanceLock(-1, false)); };
  if (path.empty()) return untrusted();
  const HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return untrusted();
  OVERLAPPED at{};
  if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
    const bool held = GetLastError() == ERROR_LOCK_VIOLATION;
    CloseHandle(file);
    return held ? nullptr : untrusted();
  }
  return std::unique_ptr<InstanceLock>(new InstanceLock(reinterpret_cast<intptr_t>(file), true));
}

InstanceLock::~InstanceLock() {
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

}  // namespace kovant::platform
