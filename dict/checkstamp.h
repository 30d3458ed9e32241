// When an update last found the data in a folder to be Japan Post's latest:
// data confirmed current is not stale, however old its own date. The note
// is one line, "YYYY-MM-DD YYYY-MM-DD" (the day of the check, then the data
// date it confirmed), beside the dictionary the update wrote or kept.
#pragma once

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "dict/freshness.h"
#include "platform/files.h"
#include "platform/folders.h"

namespace kovant::dict {

inline constexpr const char* kCheckStampName = "KOVANT.CHECKED";

struct CheckStamp {
  std::string checked, dataDate;
};

inline std::string CheckStampText(const std::string& checked, const std::string& dataDate) {
  return checked + " " + dataDate + "\n";
}

// The folder's note, or nothing when there is none or it is not one.
inline std::optional<CheckStamp> ReadCheckStamp(const std::string& folder) {
  auto text = platform::ReadWholeFile(platform::JoinPath(folder, kCheckStampName), 64);
  if (!text || text->size() != 22 || (*text)[10] != ' ' || (*text)[21] != '\n') return std::nullopt;
  return CheckStamp{text->substr(0, 10), text->substr(11, 10)};
}

// True when an update found dataDate current within the last two months,
// as noted beside the dictionary (dicPath), in the user's or every user's
// folder, or in KOVANT_HOME (the data in use may be the package's, found
// current by an update that then wrote nothing).
inline bool ConfirmedRecently(const std::string& dicPath, const std::string& dataDate, const std::string& today) {
  const auto slash = dicPath.find_last_of("/\\");
  std::vector<std::string> folders = {slash == std::string::npos ? "." : dicPath.substr(0, slash),
                                      platform::UserDataFolder(), platform::SystemDataFolder()};
  if (auto home = platform::HomeOverride()) folders.push_back(*home);
  return std::any_of(folders.begin(), folders.end(), [&](const std::string& folder) {
    if (folder.empty()) return false;
    const auto stamp = ReadCheckStamp(folder);
    return stamp && stamp->dataDate == dataDate && stamp->checked <= today && !IsStaleData(stamp->checked, today);
  });
}

}  // namespace kovant::dict
