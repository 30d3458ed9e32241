// What the Windows implementations of the platform services share: wide
// paths from UTF-8 and back, and the system's error codes as our texts.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "platform/files.h"

namespace kovant::platform {

std::wstring Wide(const std::string& utf8);
std::string Narrow(const std::wstring& wide);
// GetLastError's code as the Japanese text SystemErrorText gives.
std::string WindowsErrorText(DWORD error);
// The identity of an open file handle, or nothing for no regular file.
std::optional<FileIdentity> IdentityOfHandle(HANDLE file);

}  // namespace kovant::platform
