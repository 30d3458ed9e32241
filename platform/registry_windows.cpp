// The registry note in the system's registry. Keys are named from their
// hive ("HKEY_CURRENT_USER\Software"); a root, when given, is a key under
// which they are kept instead, hive name and all (tests).
#include <windows.h>

#include <optional>
#include <string>

#include "platform/registry.h"
#include "platform/windows.h"

namespace kovant::platform {
namespace {

struct KeyPath {
  HKEY hive;
  std::wstring path;  // below the hive
};

std::optional<HKEY> HiveNamed(std::string_view name) {
  if (name == "HKEY_CURRENT_USER" || name == "HKCU") return HKEY_CURRENT_USER;
  if (name == "HKEY_LOCAL_MACHINE" || name == "HKLM") return HKEY_LOCAL_MACHINE;
  if (name == "HKEY_CLASSES_ROOT" || name == "HKCR") return HKEY_CLASSES_ROOT;
  if (name == "HKEY_USERS" || name == "HKU") return HKEY_USERS;
  return std::nullopt;
}

// root (may be empty), key and subkey joined; nothing for an empty part, a
// part that is no key name, or an unknown hive.
std::optional<KeyPath> PathOf(const std::string& root, std::string_view key, std::string_view subkey) {
  std::string whole = root;
  for (std::string_view part : {key, subkey}) {
    if (part.empty()) continue;
    if (!whole.empty()) whole += '\\';
    whole += part;
  }
  if (whole.find('\0') != std::string::npos || whole.find("\\\\") != std::string::npos || whole.back() == '\\')
    return std::nullopt;
  const size_t cut = whole.find('\\');
  const auto hive = HiveNamed(std::string_view(whole).substr(0, cut));
  if (!hive) return std::nullopt;
  return KeyPath{*hive, cut == std::string::npos ? std::wstring() : Wide(whole.substr(cut + 1))};
}

}  // namespace

Registry::Registry(std::string root) : root_(std::move(root)) {}

// The system's own registry: keys name their hive.
std::string Registry::DefaultRoot() { return {}; }

bool Registry::OpenKey(std::string_view key) const {
  const auto path = PathOf(root_, key, {});
  if (!path) return false;
  HKEY opened = nullptr;
  if (RegCreateKeyExW(path->hive, path->path.c_str(), 0, nullptr, 0, KEY_READ, nullptr, &opened, nullptr) !=
      ERROR_SUCCESS)
    return false;
  RegCloseKey(opened);
  return true;
}

std::optional<std::string> Registry::QueryValue(std::string_view key, std::string_view subkey,
                                                size_t bufferSize) const {
  const auto path = PathOf(root_, key, subkey);
  if (!path) return std::nullopt;
  DWORD bytes = 0;
  if (RegGetValueW(path->hive, path->path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, nullptr, &bytes) != ERROR_SUCCESS)
    return std::nullopt;
  std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
  bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  if (RegGetValueW(path->hive, path->path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, text.data(), &bytes) !=
      ERROR_SUCCESS)
    return std::nullopt;
  text.resize(wcsnlen(text.data(), text.size()));
  std::string value = Narrow(text);
  if (value.size() + 1 > bufferSize) return std::nullopt;
  return value;
}

bool Registry::SetValue(std::string_view key, std::string_view subkey, std::string_view value) const {
  const auto path = PathOf(root_, key, subkey);
  if (!path) return false;
  HKEY opened = nullptr;
  if (RegCreateKeyExW(path->hive, path->path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr) !=
      ERROR_SUCCESS)
    return false;
  const std::wstring wide = Wide(std::string(value));
  const LSTATUS status = RegSetValueExW(opened, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                                        static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(opened);
  return status == ERROR_SUCCESS;
}

}  // namespace kovant::platform
