// Reading by position and mapping on Windows.
#include <windows.h>

#include <algorithm>

#include "platform/readfile.h"
#include "platform/windows.h"

namespace kovant::platform {
namespace {

HANDLE H(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

std::unique_ptr<ReadFile> ReadFile::Open(const std::string& path, std::string* error) {
  // Others may still replace or delete the file while it is open, as the
  // updater does.
  const HANDLE file =
      CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = WindowsErrorText(GetLastError());
    return nullptr;
  }
  LARGE_INTEGER size{};
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !GetFileSizeEx(file, &size)) {
    *error = "通常のファイルではありません。";
    CloseHandle(file);
    return nullptr;
  }
  return std::unique_ptr<ReadFile>(new ReadFile(reinterpret_cast<intptr_t>(file), size.QuadPart));
}

ReadFile::~ReadFile() {
  if (mapped_) UnmapViewOfFile(mapped_);
  if (mapping_) CloseHandle(H(mapping_));
  CloseHandle(H(handle_));
}

std::optional<FileIdentity> ReadFile::Identity() const { return IdentityOfHandle(H(handle_)); }

bool ReadFile::ChangeTimeKeptBySystem() const {
  // NTFS and ReFS keep it; FAT and exFAT have none to keep.
  wchar_t name[MAX_PATH + 1] = {};
  if (!GetVolumeInformationByHandleW(H(handle_), nullptr, 0, nullptr, nullptr, nullptr, name, MAX_PATH + 1)) {
    return false;
  }
  const std::wstring fs = name;
  return fs == L"NTFS" || fs == L"ReFS";
}

int64_t ReadFile::ReadAt(int64_t offset, void* out, size_t n, std::string* error) const {
  auto* bytes = static_cast<uint8_t*>(out);
  size_t got = 0;
  while (got < n) {
    OVERLAPPED at{};
    const auto from = static_cast<uint64_t>(offset) + got;
    at.Offset = static_cast<DWORD>(from);
    at.OffsetHigh = static_cast<DWORD>(from >> 32);
    DWORD read = 0;
    const auto want = static_cast<DWORD>(std::min<size_t>(n - got, 1 << 30));
    if (!::ReadFile(H(handle_), bytes + got, want, &read, &at)) {
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      *error = WindowsErrorText(GetLastError());
      return -1;
    }
    if (read == 0) break;
    got += read;
  }
  return static_cast<int64_t>(got);
}

const uint8_t* ReadFile::MapWhole(std::string* error) {
  if (mapped_ || size_ == 0) return mapped_;
  const HANDLE mapping = CreateFileMappingW(H(handle_), nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (!mapping) {
    *error = WindowsErrorText(GetLastError());
    return nullptr;
  }
  void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
  if (!view) {
    *error = WindowsErrorText(GetLastError());
    CloseHandle(mapping);
    return nullptr;
  }
  mapping_ = reinterpret_cast<intptr_t>(mapping);
  mapped_ = static_cast<const uint8_t*>(view);
  return mapped_;
}

// Large pages need a privilege an ordinary account lacks: the reader then
// serves from the mapping, as it does wherever they are not handed out.
std::optional<LargePages> AllocateLargePages(size_t) { return std::nullopt; }
void FreeLargePages(const LargePages&) {}

}  // namespace kovant::platform
