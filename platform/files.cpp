#include "platform/files.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
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

namespace {

std::string WithoutTrailingSlash(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

std::string XdgFolder(const char* variable, const char* fallback) {
  const char* x = std::getenv(variable);
  if (x && *x == '/') return WithoutTrailingSlash(x) + "/kovant";
  const char* home = std::getenv("HOME");
  return WithoutTrailingSlash(home && *home ? home : "/tmp") + fallback + "/kovant";
}

bool HoldsDictionary(const std::string& folder) {
  struct stat st {};
  return stat(JoinPath(folder, "KOVANT.DIC").c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::string UserDataFolder() { return XdgFolder("XDG_DATA_HOME", "/.local/share"); }
std::string UserConfigFolder() { return XdgFolder("XDG_CONFIG_HOME", "/.config"); }

bool SystemDataFolderMoved() {
  const char* moved = std::getenv("KOVANT_SYSTEM_DIR");
  return moved && *moved;
}

std::string SystemDataFolder() {
  return SystemDataFolderMoved() ? WithoutTrailingSlash(std::getenv("KOVANT_SYSTEM_DIR")) : "/var/lib/kovant";
}

std::optional<std::string> HomeOverride() {
  const char* home = std::getenv("KOVANT_HOME");
  if (home && *home) return std::string(home);
  return std::nullopt;
}

std::vector<std::string> DictionaryFolders() {
  if (auto home = HomeOverride()) return {WithoutTrailingSlash(*home)};
  const std::string exe = ExecutableFolder();
  // <prefix>/share/kovant: the prefix the program runs from (an install
  // moved elsewhere), then the one it was built for.
  const std::string relocated = exe.substr(0, exe.rfind('/')) + "/share/kovant";
  std::vector<std::string> folders;
  for (const std::string& folder :
       {exe, UserDataFolder(), SystemDataFolder(), relocated, std::string(KOVANT_INSTALLED_DATA_DIR)}) {
    if (folder.empty() || !HoldsDictionary(folder)) continue;
    if (std::find(folders.begin(), folders.end(), folder) == folders.end()) folders.push_back(folder);
  }
  return folders;
}

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

std::string SettingsFolder() {
  if (auto home = HomeOverride()) return WithoutTrailingSlash(*home);
  // A portable copy (or the build tree) keeps its settings beside itself;
  // an installed one never writes into its prefix, not even as root.
  const std::string exe = ExecutableFolder();
  if (HoldsDictionary(exe) && IsWritableFolder(exe)) return exe;
  return UserConfigFolder();
}

std::vector<std::string> FormerSettingsFolders() {
  const std::string exe = ExecutableFolder();
  return {UserDataFolder(), exe.substr(0, exe.rfind('/')) + "/share/kovant", std::string(KOVANT_INSTALLED_DATA_DIR)};
}

std::optional<FileStamp> StampOf(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return std::nullopt;
  return FileStamp{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino), static_cast<int64_t>(st.st_size),
                   static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

std::string SystemErrorText(int err) {
  switch (err) {
    case ENOENT: return "ファイルまたはフォルダーがありません";
    case ENOTDIR: return "途中の名前がフォルダーではありません";
    case EISDIR: return "フォルダーです";
    case EACCES:
    case EPERM: return "許可がありません";
    case EROFS: return "読み取り専用のファイルシステムです";
    case ENOSPC: return "ディスクの空きがありません";
    case EDQUOT: return "ディスクの割り当てを超えました";
    case EFBIG: return "ファイルが大きすぎます";
    case ENAMETOOLONG: return "名前が長すぎます";
    case ELOOP: return "シンボリックリンクが多すぎます";
    case EEXIST: return "すでにあります";
    case EBUSY:
    case ETXTBSY: return "使用中です";
    case EMFILE:
    case ENFILE: return "開いているファイルが多すぎます";
    case ENOMEM: return "メモリーが足りません";
    case EIO: return "入出力エラーです";
    case EPIPE: return "読み手がいません";
    case ENXIO:
    case ENODEV: return "装置がありません";
    case EAGAIN: return "一時的に使えません";
    case EINVAL: return "正しくない引数です";
    default: return "エラー番号 " + std::to_string(err);
  }
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

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (path.empty() || path.back() != '/') path += '/';
  path += name;
  return path;
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

}  // namespace kovant::platform
