// The clock and calendar on POSIX systems.
#include "platform/clock.h"

#include <time.h>

namespace kovant::platform {
namespace {

std::string Date(const std::tm& t) {
  char date[16];
  std::strftime(date, sizeof date, "%Y-%m-%d", &t);
  return date;
}

}  // namespace

int64_t NowNs() {
  struct timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  return int64_t{now.tv_sec} * 1000000000 + now.tv_nsec;
}

std::string LocalDate(std::time_t when) {
  std::tm t{};
  localtime_r(&when, &t);
  return Date(t);
}

std::string UtcDate(std::time_t when) {
  std::tm t{};
  gmtime_r(&when, &t);
  return Date(t);
}

}  // namespace kovant::platform
