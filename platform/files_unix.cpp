// Files and folders on POSIX systems.
#include "platform/files_unix.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

namespace kovant::platform {

std::string ExecutableFolder() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  std::string path(buf, static_cast<size_t>(n));
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

namespace {

int64_t Nanoseconds(const timespec& t) { return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec; }

}  // namespace

std::optional<FileIdentity> IdentityOf(const struct stat& st) {
  if (!S_ISREG(st.st_mode)) return std::nullopt;
  return FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                      static_cast<int64_t>(st.st_size), Nanoseconds(st.st_mtim), Nanoseconds(st.st_ctim)};
}

std::optional<FileIdentity> IdentityOfOpen(int fd) {
  struct stat st {};
  if (fd < 0 || fstat(fd, &st) != 0) return std::nullopt;
  return IdentityOf(st);
}

std::optional<FileIdentity> IdentityOfPath(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return std::nullopt;
  return IdentityOf(st);
}

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsMissing(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) != 0 && errno == ENOENT;
}

std::optional<std::string> Environment(const char* name) {
  const char* value = std::getenv(name);
  if (!value || !*value) return std::nullopt;
  return std::string(value);
}

std::optional<std::string> AccountHome() {
  std::vector<char> buffer(16384);
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_dir ||
      !*found->pw_dir) {
    return std::nullopt;
  }
  return std::string(found->pw_dir);
}

bool BelongsToAnotherUser(const std::string& path) {
  std::string at = path;
  for (;;) {
    struct stat st {};
    if (stat(at.c_str(), &st) == 0) return st.st_uid != geteuid();
    const size_t slash = at.find_last_of('/');
    if (slash == std::string::npos || at == "/") return true;
    at = slash == 0 ? "/" : at.substr(0, slash);
  }
}

bool MakePrivateFolder(const std::string& folder) {
  if (mkdir(folder.c_str(), 0700) == 0) return true;
  struct stat st {};
  return errno == EEXIST && stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string UserNumber() { return std::to_string(geteuid()); }

bool OwnedPrivateFolder(const std::string& folder) {
  struct stat st {};
  return lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 022) == 0;
}

bool IsWritableFolder(const std::string& folder) {
  std::string probe = JoinPath(folder, ".kovant-write-XXXXXX");
  int fd = mkstemp(probe.data());
  if (fd < 0) return false;
  close(fd);
  unlink(probe.c_str());
  return true;
}

bool OwnedPrivateFile(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 022) == 0;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

std::optional<std::string> ReadWholeFile(const std::string& path, std::size_t maxBytes) {
  // O_NONBLOCK: a named pipe in place of the file must not hang the open.
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return std::nullopt;
  }
  std::string data;
  char buf[65536];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    if (data.size() + static_cast<size_t>(n) > maxBytes) {
      close(fd);
      return std::nullopt;
    }
    data.append(buf, static_cast<size_t>(n));
  }
  close(fd);
  return data;
}

namespace {

// fixedMode, when not 0, is the mode the file gets whatever it had before.
std::string WriteAtomically(const std::string& given, std::string_view bytes, mode_t fixedMode) {
  std::string path = given;
  struct stat st {};
  bool exists = lstat(path.c_str(), &st) == 0;
  if (exists && S_ISLNK(st.st_mode)) {
    // A link of the user's own (settings kept elsewhere) is written through
    // to its target; one of somebody else's is not followed.
    if (st.st_uid != geteuid()) return "他の利用者のシンボリックリンクには書き込みません。";
    char* resolved = realpath(path.c_str(), nullptr);
    if (!resolved) return SystemErrorText(errno);
    path = resolved;
    std::free(resolved);
    exists = lstat(path.c_str(), &st) == 0;
  }
  // Only a regular file is replaced: never a device (/dev/null), a pipe or
  // a folder, whoever runs this.
  if (exists && !S_ISREG(st.st_mode)) return "通常のファイルではありません。";
  std::string tmp = path + ".tmpXXXXXX";
  int fd = mkstemp(tmp.data());
  if (fd < 0) return SystemErrorText(errno);
  // Held until the rename: tells a later clean-up that this one is in use.
  flock(fd, LOCK_EX);
  auto fail = [&](int err) {
    close(fd);
    unlink(tmp.c_str());
    return SystemErrorText(err);
  };
  // Keep the permissions of a file we replace, without set-user-ID,
  // set-group-ID or sticky bits; a new one gets what the umask allows.
  mode_t mode;
  if (fixedMode != 0) {
    mode = fixedMode;
  } else if (exists) {
    mode = st.st_mode & 0777;
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  if (fchmod(fd, mode) != 0) return fail(errno);
  if (!WriteAll(fd, bytes)) return fail(errno);
  if (fsync(fd) != 0) return fail(errno);
  if (close(fd) != 0) {
    int err = errno;
    unlink(tmp.c_str());
    return SystemErrorText(err);
  }
  if (rename(tmp.c_str(), path.c_str()) != 0) {
    int err = errno;
    unlink(tmp.c_str());
    return SystemErrorText(err);
  }
  return {};
}

}  // namespace

std::string WriteFileAtomically(const std::string& path, std::string_view bytes) {
  return WriteAtomically(path, bytes, 0);
}

std::string WritePrivateFileAtomically(const std::string& path, std::string_view bytes) {
  return WriteAtomically(path, bytes, 0600);
}

std::string WriteSharedFileAtomically(const std::string& path, std::string_view bytes) {
  return WriteAtomically(path, bytes, 0644);
}

bool RemoveAbandonedFile(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  bool removed = false;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid()) {
    // A few seconds' grace covers the moment between creating the file
    // and taking the lock.
    const time_t age = time(nullptr) - st.st_mtime;
    const bool abandoned = age > 60 * 60 || (age > 10 && flock(fd, LOCK_EX | LOCK_NB) == 0);
    removed = abandoned && unlink(path.c_str()) == 0;
  }
  close(fd);
  return removed;
}

}  // namespace kovant::platform
