// Whether the data in use is old enough that the user should update it:
// Japan Post publishes every month, so data more than two months older than
// today has missed at least one release.
#pragma once

#include <string>
#include <string_view>

namespace kovant::dict {

// True when today (YYYY-MM-DD) is later than dataDate (YYYY-MM-DD) plus two
// calendar months, the day kept or, where the month is shorter, its last
// day (data of 2026-04-27 is stale from 2026-06-28, of 2026-12-31 from
// 2027-03-01).
// False when either date cannot be read: a dictionary without a date is no
// reason to nag.
bool IsStaleData(std::string_view dataDate, std::string_view today);

// True when dataDate (YYYY-MM-DD) is later than the day after today: no
// genuine data, whatever the time zones (Japan's day may be ahead of ours).
// False when either date cannot be read.
bool IsFutureDate(std::string_view dataDate, std::string_view today);

// Today in the local calendar, YYYY-MM-DD.
std::string LocalToday();

// The notice for stale data, empty when it is fresh. howToUpdate ends the
// sentence ("kovant-mkdic --update で更新できます。", or the window's way).
std::string StaleDataNotice(std::string_view dataDate, std::string_view today, std::string_view howToUpdate);

}  // namespace kovant::dict
