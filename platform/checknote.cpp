#include "platform/checknote.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <algorithm>
#include <vector>

namespace kovant::platform {
namespace {

// A few files a user reads: the dictionary in use, one beside a portable
// copy, the system's. Older lines drop out.
constexpr size_t kKeptLines = 16;

std::string Line(const FileIdentity& file, std::string_view what) {
  std::string line(what);
  for (const int64_t n : {static_cast<int64_t>(file.stamp.device), static_cast<int64_t>(file.stamp.inode),
                          file.stamp.size, file.stamp.mtimeNs, file.changeNs}) {
    line += ' ' + std::to_string(n);
  }
  return line;
}

std::vector<std::string> Lines(const std::string& notePath) {
  std::vector<std::string> lines;
  const auto text = ReadWholeFile(notePath, 64 * 1024);
  if (!text) return lines;
  for (size_t at = 0; at < text->size();) {
    const size_t end = std::min(text->find('\n', at), text->size());
    if (end > at) lines.push_back(text->substr(at, end - at));
    at = end + 1;
  }
  return lines;
}

}  // namespace

std::optional<FileIdentity> IdentityOf(int fd) {
  struct stat st {};
  if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  const auto ns = [](const timespec& t) { return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec; };
  return FileIdentity{{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                       static_cast<int64_t>(st.st_size), ns(st.st_mtim)},
                      ns(st.st_ctim)};
}

std::optional<std::string> CheckNotePath() {
  const char* cache = std::getenv("XDG_CACHE_HOME");
  const char* home = std::getenv("HOME");
  std::string base;
  if (cache && *cache == '/') {
    base = cache;
  } else if (home && *home == '/') {
    base = std::string(home) + "/.cache";
  } else {
    return std::nullopt;
  }
  return base + "/kovant/checked";
}

bool NotedAsChecked(const std::string& notePath, const FileIdentity& file, std::string_view what) {
  struct stat st {};
  // Another user's note, or one others may write, vouches for nothing.
  if (lstat(notePath.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid() || (st.st_mode & 022)) {
    return false;
  }
  const std::string wanted = Line(file, what);
  for (const std::string& line : Lines(notePath)) {
    if (line == wanted) return true;
  }
  return false;
}

void NoteChecked(const std::string& notePath, const FileIdentity& file, std::string_view what, int64_t nowNs) {
  if (what.empty() || what.find_first_of(" \n") != std::string_view::npos) return;
  if (nowNs - file.changeNs < kSettledNs || nowNs - file.stamp.mtimeNs < kSettledNs) return;
  const std::string folder = notePath.substr(0, notePath.rfind('/'));
  mkdir(folder.substr(0, folder.rfind('/')).c_str(), 0700);
  mkdir(folder.c_str(), 0700);
  // A note placed by another user would vouch for files unchecked.
  if (!OwnedPrivateFolder(folder)) return;
  std::string text = Line(file, what) + '\n';
  size_t kept = 1;
  for (const std::string& line : Lines(notePath)) {
    if (kept == kKeptLines) break;
    if (line + '\n' == text) continue;
    text += line + '\n';
    ++kept;
  }
  WritePrivateFileAtomically(notePath, text);
}

}  // namespace kovant::platform
