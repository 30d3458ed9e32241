// When an update last found the data in a folder to be Japan Post's latest:
// data confirmed current is not stale, however old its own date. The note
// is one line, "YYYY-MM-DD YYYY-MM-DD" (the day of the check, then the data
// date it confirmed), beside the dictionary the update wrote or kept.
#pragma once

#include <optional>
#include <string>

#include "platform/files.h"

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

}  // namespace kovant::dict
