#include "platform/files.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

std::string ProgramFolder() {
  const char* home = std::getenv("KOVANT_HOME");
  if (home && *home) {
    std::string folder(home);
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
  }
  return ExecutableFolder();
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (path.empty() || path.back() != '/') path += '/';
  path += name;
  return path;
}

std::optional<std::string> ReadWholeFile(const std::string& path, std::size_t maxBytes) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st{};
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

std::string WriteFileAtomically(const std::string& path, std::string_view bytes) {
  std::string tmp = path + ".tmpXXXXXX";
  int fd = mkstemp(tmp.data());
  if (fd < 0) return std::strerror(errno);
  auto fail = [&](int err) {
    close(fd);
    unlink(tmp.c_str());
    return std::string(std::strerror(err));
  };
  // Keep the permissions of a file we replace; a new one gets the usual 0644.
  struct stat st{};
  mode_t mode = 0644;
  if (stat(path.c_str(), &st) == 0) mode = st.st_mode & 07777;
  if (fchmod(fd, mode) != 0) return fail(errno);
  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail(errno);
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  if (fsync(fd) != 0) return fail(errno);
  if (close(fd) != 0) {
    int err = errno;
    unlink(tmp.c_str());
    return std::strerror(err);
  }
  if (rename(tmp.c_str(), path.c_str()) != 0) {
    int err = errno;
    unlink(tmp.c_str());
    return std::strerror(err);
  }
  return {};
}

}  // namespace kovant::platform
