// The result on show in the main window, all text (UTF-8).
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace kovant::dict {

struct CurrentResult {
  std::string OldCode;     // "NNN" or "NNN-NN"
  std::string NewCode;     // "NNN-NNNN"
  std::string Address1;    // prefecture, with its suffix
  std::string Address2;    // city
  std::string Address3;    // town, cut before its first "（"
  std::string Supplement;  // the supplement field
};

// Japan Post publishes monthly: data dated more than two months before
// today ("YYYY-MM-DD" both) is out of date. An unreadable date is not.
inline bool DataOlderThanTwoMonths(std::string_view dataDate, std::string_view today) {
  int y = 0, m = 0, d = 0;
  if (dataDate.size() != 10 || std::sscanf(std::string(dataDate).c_str(), "%4d-%2d-%2d", &y, &m, &d) != 3) return false;
  m += 2;
  if (m > 12) {
    m -= 12;
    ++y;
  }
  char limit[40];
  std::snprintf(limit, sizeof limit, "%04d-%02d-%02d", y, m, d);
  // A limit past the month's end ("02-31") still orders after its last day.
  return today > std::string_view(limit);
}

}  // namespace kovant::dict
