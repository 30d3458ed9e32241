#include "platform/registry.h"

#include <filesystem>
#include <system_error>

#include "platform/files.h"

namespace kovant::platform {
namespace fs = std::filesystem;

Registry::Registry(std::string root) : root_(std::move(root)) {}

std::string Registry::DefaultRoot() { return RegistryNoteRoot(); }

// Key names become folder names; without a root (no user folder) there are
// none.; a part that could leave the root is refused.
std::optional<std::string> Registry::FolderOf(std::string_view key, std::string_view subkey) const {
  if (root_.empty()) return std::nullopt;
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
  if (!fs::is_directory(*folder, ec)) return false;
  fs::directory_iterator readable(*folder, ec);  // a folder we cannot list is no key we can open
  return !ec;
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
