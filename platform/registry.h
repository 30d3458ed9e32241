// The registry note. On Windows the system's registry (registry_windows.cpp);
// elsewhere a small file-backed stand-in: keys are folders below a root, a
// key's default value is the file "@" in its folder, the root is
// RegistryNoteRoot() (folders.h).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kovant::platform {

class Registry {
 public:
  explicit Registry(std::string root);
  // The root of the user's registry note.
  static std::string DefaultRoot();

  // Opens (creating when needed) a key given as "HKEY_LOCAL_MACHINE\SOFTWARE";
  // false when it can be neither opened nor created.
  bool OpenKey(std::string_view key) const;

  // The default value of key\subkey as stored, when it fits a buffer of
  // bufferSize bytes together with its closing NUL; nothing otherwise.
  std::optional<std::string> QueryValue(std::string_view key, std::string_view subkey, size_t bufferSize) const;

  // Creates key\subkey as needed and sets its default value; false on failure.
  bool SetValue(std::string_view key, std::string_view subkey, std::string_view value) const;

 private:
  std::optional<std::string> FolderOf(std::string_view key, std::string_view subkey) const;
  std::string root_;
};

}  // namespace kovant::platform
