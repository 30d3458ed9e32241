#include "platform/instance.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace kovant::platform {

std::string InstanceLock::LockPath() {
  const char* dir = std::getenv("XDG_RUNTIME_DIR");
  std::string folder = dir && *dir ? dir : "/tmp";
  return folder + "/kovant-" + std::to_string(getuid()) + ".lock";
}

std::unique_ptr<InstanceLock> InstanceLock::Acquire() {
  int fd = open(LockPath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return std::unique_ptr<InstanceLock>(new InstanceLock(-1));
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool held = errno == EWOULDBLOCK;
    close(fd);
    return held ? nullptr : std::unique_ptr<InstanceLock>(new InstanceLock(-1));
  }
  return std::unique_ptr<InstanceLock>(new InstanceLock(fd));
}

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) close(fd_);
}

}  // namespace kovant::platform
