#include "platform/instance.h"

#include "platform/files.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kovant::platform {
namespace {

// A folder for the lock that only this user can write: the runtime folder
// the session provides, else ${XDG_CACHE_HOME:-~/.cache}/kovant made 0700.
// Never a folder shared with other users (/tmp), where anyone could put a
// file in the lock's place.
std::string LockFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime == '/') return runtime;
  const char* cache = std::getenv("XDG_CACHE_HOME");
  const char* home = std::getenv("HOME");
  std::string base = cache && *cache == '/' ? cache : std::string(home && *home ? home : "") + "/.cache";
  mkdir(base.c_str(), 0700);
  const std::string folder = base + "/kovant";
  mkdir(folder.c_str(), 0700);
  return folder;
}

}  // namespace

std::string InstanceLock::LockPath() { return LockFolder() + "/kovant-" + std::to_string(getuid()) + ".lock"; }

std::unique_ptr<InstanceLock> InstanceLock::Acquire() {
  const std::string path = LockPath();
  const std::string folder = path.substr(0, path.rfind('/'));
  auto untrusted = [] { return std::unique_ptr<InstanceLock>(new InstanceLock(-1, false)); };
  if (!OwnedPrivateFolder(folder)) return untrusted();
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
  if (fd_ >= 0) close(fd_);
}

}  // namespace kovant::platform
