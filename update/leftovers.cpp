#include "update/leftovers.h"

#include <cctype>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace kovant::tools {
namespace {

// mkstemp's six characters after "PATH.tmp".
bool IsTemporaryOf(const std::string& name, const std::string& base) {
  const std::string prefix = base + ".tmp";
  if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) return false;
  for (size_t i = prefix.size(); i < name.size(); ++i) {
    if (!std::isalnum(static_cast<unsigned char>(name[i]))) return false;
  }
  return true;
}

// A writer holds its temporary locked until it is renamed; a few seconds'
// grace covers the moment between creating it and taking the lock.
bool Abandoned(int fd, const struct stat& st) {
  const time_t age = time(nullptr) - st.st_mtime;
  if (age > 60 * 60) return true;
  return age > 10 && flock(fd, LOCK_EX | LOCK_NB) == 0;
}

}  // namespace

size_t RemoveLeftoverTemporaries(const std::string& path) {
  const std::filesystem::path target(path);
  const std::string base = target.filename().string();
  const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
  std::error_code ec;
  size_t removed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    if (!IsTemporaryOf(name, base)) continue;
    const int fd = open(entry.path().c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() && Abandoned(fd, st) &&
        unlink(entry.path().c_str()) == 0) {
      ++removed;
    }
    close(fd);
  }
  return removed;
}

}  // namespace kovant::tools
