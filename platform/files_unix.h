// What the POSIX implementations of the platform services share.
#pragma once

#include <sys/stat.h>

#include <optional>

#include "platform/files.h"

namespace kovant::platform {

std::optional<FileIdentity> IdentityOf(const struct stat& st);
std::optional<FileIdentity> IdentityOfOpen(int fd);

}  // namespace kovant::platform
