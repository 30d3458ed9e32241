// The clock and calendar on Windows.
#include <windows.h>

#include "platform/clock.h"

namespace kovant::platform {
namespace {

std::string Date(const std::tm& t) {
  char date[16];
  std::strftime(date, sizeof date, "%Y-%m-%d", &t);
  return date;
}

}  // namespace

int64_t NowNs() {
  FILETIME now{};
  GetSystemTimePreciseAsFileTime(&now);
  const int64_t ticks = static_cast<int64_t>((uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime);
  return (ticks - 116444736000000000LL) * 100;
}

std::string LocalDate(std::time_t when) {
  std::tm t{};
  localtime_s(&t, &when);
  return Date(t);
}

std::string UtcDate(std::time_t when) {
  std::tm t{};
  gmtime_s(&t, &when);
  return Date(t);
}

}  // namespace kovant::platform
