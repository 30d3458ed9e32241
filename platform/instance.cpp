#include "platform/instance.h"

#include "platform/files.h"

namespace kovant::platform {

std::string InstanceLock::LockPath() {
  const auto folder = LockFolder();
  if (!folder) return std::string();
  // The cache's folder is ours to make; a runtime folder is the session's.
  if (!Environment("XDG_RUNTIME_DIR") || *folder != *Environment("XDG_RUNTIME_DIR")) {
    MakePrivateFolder(folder->substr(0, folder->find_last_of("/\\")));
    MakePrivateFolder(*folder);
  }
  return JoinPath(*folder, "kovant-" + UserNumber() + ".lock");
}

}  // namespace kovant::platform
