// Files and folders on Windows: wide paths, and the rest of the system's
// own calls. Owners are not compared here: the folders used are the
// profile's, which its permissions keep private; a later port may check
// the permissions themselves.
#include <windows.h>
#include <io.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

#include "platform/windows.h"

namespace kovant::platform {
namespace {

int64_t UnixNs(int64_t fileTime) { return (fileTime - 116444736000000000LL) * 100; }

struct Handle {
  HANDLE h = INVALID_HANDLE_VALUE;
  ~Handle() {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
};

DWORD Attributes(const std::string& path) { return GetFileAttributesW(Wide(path).c_str()); }

}  // namespace

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  return wide;
}

std::string Narrow(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  const int n =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n, nullptr, nullptr);
  return utf8;
}

std::string WindowsErrorText(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return SystemErrorText(ENOENT);
    case ERROR_ACCESS_DENIED: return SystemErrorText(EACCES);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return SystemErrorText(ENOSPC);
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return SystemErrorText(EBUSY);
    case ERROR_WRITE_PROTECT: return SystemErrorText(EROFS);
    case ERROR_FILENAME_EXCED_RANGE: return SystemErrorText(ENAMETOOLONG);
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return SystemErrorText(ENOMEM);
    default: return "Windows のエラー番号 " + std::to_string(error);
  }
}

std::optional<FileIdentity> IdentityOfHandle(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info{};
  FILE_BASIC_INFO basic{};
  if (!GetFileInformationByHandle(file, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
      !GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic)) {
    return std::nullopt;
  }
  FileIdentity id;
  id.device = info.dwVolumeSerialNumber;
  id.inode = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  id.size = static_cast<int64_t>((uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow);
  id.mtimeNs = UnixNs(basic.LastWriteTime.QuadPart);
  id.changeNs = UnixNs(basic.ChangeTime.QuadPart);
  return id;
}

std::string ExecutableFolder() {
  std::vector<wchar_t> buffer(32768);
  const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (n == 0 || n >= buffer.size()) return ".";
  const std::string path = Narrow(std::wstring(buffer.data(), n));
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

std::optional<FileIdentity> IdentityOfPath(const std::string& path) {
  Handle file;
  file.h = CreateFileW(Wide(path).c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
  if (file.h == INVALID_HANDLE_VALUE) return std::nullopt;
  return IdentityOfHandle(file.h);
}

bool IsRegularFile(const std::string& path) {
  const DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsMissing(const std::string& path) {
  if (Attributes(path) != INVALID_FILE_ATTRIBUTES) return false;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

std::optional<std::string> Environment(const char* name) {
  const std::wstring wide = Wide(name);
  const DWORD n = GetEnvironmentVariableW(wide.c_str(), nullptr, 0);
  if (n <= 1) return std::nullopt;
  std::wstring value(n, L'\0');
  const DWORD got = GetEnvironmentVariableW(wide.c_str(), value.data(), n);
  value.resize(got);
  if (value.empty()) return std::nullopt;
  return Narrow(value);
}

std::optional<std::string> AccountHome() { return Environment("USERPROFILE"); }

bool BelongsToAnotherUser(const std::string&) { return false; }

bool MakePrivateFolder(const std::string& folder) {
  if (CreateDirectoryW(Wide(folder).c_str(), nullptr)) return true;
  const DWORD a = Attributes(folder);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string UserNumber() {
  wchar_t name[257] = {};
  DWORD n = 257;
  return GetUserNameW(name, &n) && n > 1 ? Narrow(std::wstring(name, n - 1)) : std::string("user");
}

bool OwnedPrivateFolder(const std::string& folder) {
  const DWORD a = Attributes(folder);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) && !(a & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool OwnedPrivateFile(const std::string& path) {
  const DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
}

bool IsWritableFolder(const std::string& folder) {
  Handle probe;
  probe.h = CreateFileW(Wide(JoinPath(folder, ".kovant-write-" + std::to_string(GetCurrentProcessId()))).c_str(),
                        GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  return probe.h != INVALID_HANDLE_VALUE;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const int n = _write(fd, bytes.data(), static_cast<unsigned>(std::min<size_t>(bytes.size(), 1 << 30)));
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

std::optional<std::string> ReadWholeFile(const std::string& path, std::size_t maxBytes) {
  Handle file;
  file.h = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
  if (file.h == INVALID_HANDLE_VALUE || GetFileType(file.h) != FILE_TYPE_DISK) return std::nullopt;
  std::string data;
  char buf[65536];
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(file.h, buf, sizeof buf, &n, nullptr)) return std::nullopt;
    if (n == 0) break;
    if (data.size() + n > maxBytes) return std::nullopt;
    data.append(buf, n);
  }
  return data;
}

namespace {

// A temporary file beside path, flushed, then moved over it: readers see
// the old file or the new one whole.
std::string WriteAtomically(const std::string& path, std::string_view bytes) {
  if (IsRegularFile(path) == false && !IsMissing(path)) return "通常のファイルではありません。";
  // Six characters after ".tmp", as the clean-up of leftovers expects.
  char tail[8];
  std::snprintf(tail, sizeof tail, "%06lu", static_cast<unsigned long>(GetCurrentProcessId() % 1000000));
  const std::string tmp = path + ".tmp" + tail;
  {
    Handle file;
    file.h = CreateFileW(Wide(tmp).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file.h == INVALID_HANDLE_VALUE) return WindowsErrorText(GetLastError());
    for (std::string_view rest = bytes; !rest.empty();) {
      DWORD n = 0;
      const auto want = static_cast<DWORD>(std::min<size_t>(rest.size(), 1 << 30));
      if (!WriteFile(file.h, rest.data(), want, &n, nullptr) || n == 0) {
        const DWORD error = GetLastError();
        CloseHandle(file.h);
        file.h = INVALID_HANDLE_VALUE;
        DeleteFileW(Wide(tmp).c_str());
        return WindowsErrorText(error);
      }
      rest.remove_prefix(n);
    }
    if (!FlushFileBuffers(file.h)) {
      const DWORD error = GetLastError();
      CloseHandle(file.h);
      file.h = INVALID_HANDLE_VALUE;
      DeleteFileW(Wide(tmp).c_str());
      return WindowsErrorText(error);
    }
  }
  // A reader that has the file mapped (a lookup, the window loading its
  // names) keeps it from being replaced until it lets go: a few seconds'
  // grace for such a reader before the replacement fails.
  const DWORD until = GetTickCount() + 5000;
  while (!MoveFileExW(Wide(tmp).c_str(), Wide(path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD error = GetLastError();
    const bool held =
        error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_USER_MAPPED_FILE;
    if (!held || static_cast<LONG>(GetTickCount() - until) >= 0) {
      DeleteFileW(Wide(tmp).c_str());
      return WindowsErrorText(error);
    }
    Sleep(20);
  }
  return {};
}

}  // namespace

std::string WriteFileAtomically(const std::string& path, std::string_view bytes) {
  return WriteAtomically(path, bytes);
}

// The profile's permissions keep it the user's alone.
std::string WritePrivateFileAtomically(const std::string& path, std::string_view bytes) {
  return WriteAtomically(path, bytes);
}

// The folder's inherited permissions say who reads it.
std::string WriteSharedFileAtomically(const std::string& path, std::string_view bytes) {
  return WriteAtomically(path, bytes);
}

// A writer's temporary is open without sharing deletion until it is
// moved: DeleteFileW fails on it whatever its age.
bool RemoveAbandonedFile(const std::string& path) {
  const auto id = IdentityOfPath(path);
  if (!id || !OwnedPrivateFile(path)) return false;
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  const int64_t nowNs = UnixNs(static_cast<int64_t>((uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime));
  return nowNs - id->mtimeNs > int64_t{10} * 1000000000 && DeleteFileW(Wide(path).c_str());
}

}  // namespace kovant::platform
