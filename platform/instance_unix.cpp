// The single-instance lock on POSIX systems: flock on a file of our own.
#include "platform/instance.h"

#include "platform/files.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kovant::platform {
std::unique_ptr<InstanceLock> InstanceLock::Acquire() {
  const std::string path = LockPath();
  auto untrusted = [] { return std::unique_ptr<InstanceLock>(new InstanceLock(-1, false)); };
  if (path.empty() || !OwnedPrivateFolder(path.substr(0, path.rfind('/')))) return untrusted();
  // O_NONBLOCK: a pipe in the lock's place must not hang the start.
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
  if (fd < 0) return untrusted();
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()) {
    close(fd);
    return untrusted();
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool held = errno == EWOULDBLOCK;
    close(fd);
    return held ? nullptr : untrusted();
  }
  return std::unique_ptr<InstanceLock>(new InstanceLock(fd, true));
}

InstanceLock::~InstanceLock() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
}

}  // namespace kovant::platform
