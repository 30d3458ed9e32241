// The system's clock and calendar. One implementation per system
// (clock_unix.cpp, clock_windows.cpp).
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace kovant::platform {

// The wall-clock time, in nanoseconds since 1970-01-01 UTC.
int64_t NowNs();

// A moment as YYYY-MM-DD, in the local calendar or in UTC.
std::string LocalDate(std::time_t when);
std::string UtcDate(std::time_t when);

}  // namespace kovant::platform
