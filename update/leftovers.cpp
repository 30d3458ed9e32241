#include "update/leftovers.h"

#include <cctype>
#include <filesystem>

#include "platform/files.h"

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
    if (platform::RemoveAbandonedFile(entry.path().string())) ++removed;
  }
  return removed;
}

}  // namespace kovant::tools
