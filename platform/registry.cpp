#include "platform/registry.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unistd.h>

#include "platform/files.h"

namespace kovant::platform {
namespace fs = std::filesystem;

Registry::Registry(std::string root) : root_(std::move(root)) {}

std::string Registry::DefaultRoot() {
  if (const char* r = std::getenv("KOVANT_REGISTRY"); r && *r) return r;
  if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x) return std::string(x) + "/kovant/registry";
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : ".") + "/.config/kovant/registry";
}

// Key names become folder names; a part that could leave the root is refused.
std::optional<std::string> Registry::FolderOf(std::string_view key, std::string_view subkey) const {
  std::string path = root_;
  for (std::string_view whole : {key, subkey}) {
    while (!whole.empty()) {
      size_t cut = whole.find('\\');
      std::string_view part = whole.substr(0, cut);
      if (part.empty() || part == "." || part == ".." || part.find('/') != std::string_view::npos ||
          part.find('\0') != std::string_view::npos) {
        return std::nullopt;
      }
      path += '/';
      path += part;
      whole = cut == std::string_view::npos ? std::string_view() : whole.substr(cut + 1);
    }
  }
  return path;
}

bool Registry::OpenKey(std::string_view key) const {
  auto folder = FolderOf(key, {});
  if (!folder) return false;
  std::error_code ec;
  fs::create_directories(*folder, ec);
  return fs::is_directory(*folder, ec) && access(folder->c_str(), R_OK | X_OK) == 0;
}

std::optional<std::string> Registry::QueryValue(std::string_view key, std::string_view subkey,
                                                size_t bufferSize) const {
  auto folder = FolderOf(key, subkey);
  if (!folder) return std::nullopt;
  auto value = ReadWholeFile(JoinPath(*folder, "@"), bufferSize);
  if (!value || value->size() + 1 > bufferSize) return std::nullopt;
  return value;
}

bool Registry::SetValue(std::string_view key, std::string_view subkey, std::string_view value) const {
  auto folder = FolderOf(key, subkey);
  if (!folder) return false;
  std::error_code ec;
  fs::create_directories(*folder, ec);
  return WriteFileAtomically(JoinPath(*folder, "@"), value).empty();
}

}  // namespace kovant::platform
