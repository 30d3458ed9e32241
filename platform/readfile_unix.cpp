// Reading by position and mapping on POSIX systems.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>

#include "platform/files_unix.h"
#include "platform/readfile.h"

namespace kovant::platform {
namespace {

int Fd(intptr_t handle) { return static_cast<int>(handle); }

// Whether memory asked for in large pages gets them: the system hands
// them out on request and makes room for them then. Without them a copy
// costs a fault every 4 KB, more than the mapping it was to spare.
bool LargePagesOnRequest() {
  auto setting = [](const char* path) {
    char text[128] = {};
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::string();
    const ssize_t n = read(fd, text, sizeof text - 1);
    close(fd);
    return n > 0 ? std::string(text, static_cast<size_t>(n)) : std::string();
  };
  const std::string enabled = setting("/sys/kernel/mm/transparent_hugepage/enabled");
  const std::string defrag = setting("/sys/kernel/mm/transparent_hugepage/defrag");
  auto has = [](const std::string& text, const char* choice) { return text.find(choice) != std::string::npos; };
  return (has(enabled, "[always]") || has(enabled, "[madvise]")) &&
         (has(defrag, "[always]") || has(defrag, "[madvise]") || has(defrag, "[defer+madvise]"));
}

}  // namespace

std::unique_ptr<ReadFile> ReadFile::Open(const std::string& path, std::string* error) {
  // O_RDONLY without O_CREAT: a missing file is never created. O_NONBLOCK
  // so that a named pipe in its place cannot hang the open; the type check
  // below refuses it.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    *error = SystemErrorText(errno);
    return nullptr;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    *error = SystemErrorText(errno);
    close(fd);
    return nullptr;
  }
  if (!S_ISREG(st.st_mode)) {
    *error = "通常のファイルではありません。";
    close(fd);
    return nullptr;
  }
  return std::unique_ptr<ReadFile>(new ReadFile(fd, static_cast<int64_t>(st.st_size)));
}

ReadFile::~ReadFile() {
  if (mapped_) munmap(const_cast<uint8_t*>(mapped_), static_cast<size_t>(size_));
  close(Fd(handle_));
}

std::optional<FileIdentity> ReadFile::Identity() const { return IdentityOfOpen(Fd(handle_)); }

bool ReadFile::ChangeTimeKeptBySystem() const {
  // File systems that keep the change time of their own, by their magic
  // numbers (linux/magic.h): ext2/3/4, XFS, Btrfs, tmpfs, F2FS, ZFS,
  // overlay. Not FUSE (exFAT, NTFS-3G, sshfs), vfat, NFS or SMB, where the
  // owner or another machine sets it.
  constexpr unsigned long kKept[] = {0xEF53, 0x58465342, 0x9123683E, 0x01021994, 0xF2F52010, 0x2FC12FC1, 0x794C7630};
  // A file system in an image file (a loop device) is the image owner's to
  // edit while unmounted, change times and all.
  constexpr unsigned kLoopMajor = 7;
  struct stat st {};
  if (fstat(Fd(handle_), &st) != 0 || major(st.st_dev) == kLoopMajor) return false;
  struct statfs fs {};
  if (fstatfs(Fd(handle_), &fs) != 0) return false;
  for (const unsigned long magic : kKept) {
    if (static_cast<unsigned long>(fs.f_type) == magic) return true;
  }
  return false;
}

int64_t ReadFile::ReadAt(int64_t offset, void* out, size_t n, std::string* error) const {
  auto* bytes = static_cast<uint8_t*>(out);
  size_t got = 0;
  while (got < n) {
    const ssize_t r = pread(Fd(handle_), bytes + got, n - got, static_cast<off_t>(offset + static_cast<int64_t>(got)));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) {
      *error = SystemErrorText(errno);
      return -1;
    }
    if (r == 0) break;
    got += static_cast<size_t>(r);
  }
  return static_cast<int64_t>(got);
}

const uint8_t* ReadFile::MapWhole(std::string* error) {
  if (mapped_ || size_ == 0) return mapped_;
  // Mapped, not read: the pages come from the page cache as they are
  // touched, which costs a fraction of copying them into fresh memory.
  void* map = mmap(nullptr, static_cast<size_t>(size_), PROT_READ, MAP_PRIVATE, Fd(handle_), 0);
  if (map == MAP_FAILED) {
    *error = SystemErrorText(errno);
    return nullptr;
  }
  mapped_ = static_cast<const uint8_t*>(map);
  return mapped_;
}

std::optional<LargePages> AllocateLargePages(size_t n) {
  constexpr size_t kLarge = size_t{2} << 20;
  if (!LargePagesOnRequest()) return std::nullopt;
  // Whole large pages, aligned to them: the slack before and after goes back.
  const size_t length = (n + kLarge - 1) / kLarge * kLarge;
  void* raw = mmap(nullptr, length + kLarge, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return std::nullopt;
  const auto start = reinterpret_cast<uintptr_t>(raw);
  const uintptr_t aligned = (start + kLarge - 1) / kLarge * kLarge;
  if (aligned > start) munmap(raw, aligned - start);
  if (const uintptr_t end = start + length + kLarge; end > aligned + length) {
    munmap(reinterpret_cast<void*>(aligned + length), end - aligned - length);
  }
  auto* bytes = reinterpret_cast<uint8_t*>(aligned);
  madvise(bytes, length, MADV_HUGEPAGE);
  return LargePages{bytes, length};
}

void FreeLargePages(const LargePages& pages) {
  if (pages.bytes) munmap(pages.bytes, pages.length);
}

}  // namespace kovant::platform
