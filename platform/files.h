// Files and folders: what the system tells of them, and reading and writing
// them whole. One implementation per system (files_unix.cpp, files_windows.cpp).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>
#include <cstdint>

#include "platform/folders.h"

namespace kovant::platform {

// What tells one version of a file from another: any write, a file renamed
// over it or a copy gives a new one. The change time is set by the system
// alone: an owner can put back the modification time, not that. The window,
// the search's cache and the note of checked files all go by this.
struct FileIdentity {
  uint64_t device = 0, inode = 0;
  int64_t size = 0, mtimeNs = 0, changeNs = 0;
  bool operator==(const FileIdentity&) const = default;
};
// The identity of the regular file at path (links followed), or nothing.
std::optional<FileIdentity> IdentityOfPath(const std::string& path);
// The window's name for it, until it takes the one above.
using FileStamp = FileIdentity;
inline std::optional<FileIdentity> StampOf(const std::string& path) { return IdentityOfPath(path); }

// True for a regular file at path (links followed).
bool IsRegularFile(const std::string& path);

// True when nothing at all is at path (not even a dangling link).
bool IsMissing(const std::string& path);

// The value of an environment variable, nothing when unset or empty.
std::optional<std::string> Environment(const char* name);

// The home folder the account database gives the running user, or nothing.
std::optional<std::string> AccountHome();

// True when the nearest existing folder on the way to path (path itself
// when it exists) belongs to another user: nothing of ours is made there.
bool BelongsToAnotherUser(const std::string& path);

// Makes folder (one level) readable by its owner alone when missing; false
// when it can be neither made nor found.
bool MakePrivateFolder(const std::string& folder);

// A number for the running user, for names of per-user files.
std::string UserNumber();

// True when folder is a folder (not a link to one) of this user's that no
// one else may write: a place for a lock or a note others must not plant.
bool OwnedPrivateFolder(const std::string& folder);

// The same for a regular file (not a link) of this user's that no one else
// may write: a note others must not have planted.
bool OwnedPrivateFile(const std::string& path);

// True when a file can be created in folder (tried, not guessed from modes).
bool IsWritableFolder(const std::string& folder);

// The folder of the running executable.
std::string ExecutableFolder();

// What an errno value means, in Japanese like every other message of the
// program (the C library's texts are English on most systems).
std::string SystemErrorText(int err);

// Writes all of bytes to fd, again after an interrupted or partial write;
// false on the first error (errno tells which).
bool WriteAll(int fd, std::string_view bytes);

// Joins a folder and a bare file name with one "/" (none after a folder
// that ends in a separator already).
std::string JoinPath(std::string_view folder, std::string_view name);

// Where the last name of path begins: after its last separator ("/", and
// on Windows "\" too); 0 when it has none.
std::size_t FileNameStart(std::string_view path);

// A path as the user reads it in a message: with "\" between its names on
// Windows, as paths are written there (the system takes "/" too, and our
// joins use it), unchanged elsewhere. UTF-8 in and out, not a
// std::filesystem::path, whose narrow form on Windows is the ANSI code page.
std::string DisplayPath(std::string_view path);

// Whole file, or nothing when it cannot be read (missing, a directory, ...).
// maxBytes bounds what a hostile file can make us allocate.
std::optional<std::string> ReadWholeFile(const std::string& path, std::size_t maxBytes = std::size_t{64} << 20);

// Writes a temporary file beside path and renames it into place, so readers
// see either the old or the new file whole. Returns an error text, empty on
// success. An existing path must be a regular file (or the user's own
// symbolic link to one, written through); its permission bits are kept
// without set-ID bits; a new file gets 0666 less the umask.
std::string WriteFileAtomically(const std::string& path, std::string_view bytes);

// Removes path when it is a regular file of this user's (not a link) that
// its writer left: older than an hour, or than a few seconds and not held
// by a writer (WriteFileAtomically holds its temporary locked until the
// rename). True when removed.
bool RemoveAbandonedFile(const std::string& path);

// The same for what only the user may read (a consent token): the file is
// 0600 afterwards, whatever mode a file it replaces had.
std::string WritePrivateFileAtomically(const std::string& path, std::string_view bytes);

// The same for what every user reads (the shared dictionary): 0644
// afterwards, the mode set on the open file, never by its path.
std::string WriteSharedFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace kovant::platform
