#include "dict/freshness.h"

#include <charconv>
#include <chrono>
#include <ctime>
#include <optional>

#include "platform/clock.h"

namespace kovant::dict {

namespace {

std::optional<std::chrono::year_month_day> ParseDate(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  auto number = [&](size_t at, size_t length) -> std::optional<int> {
    int value = 0;
    auto [end, ec] = std::from_chars(text.data() + at, text.data() + at + length, value);
    if (ec != std::errc() || end != text.data() + at + length) return std::nullopt;
    return value;
  };
  const auto y = number(0, 4), m = number(5, 2), d = number(8, 2);
  if (!y || !m || !d) return std::nullopt;
  const std::chrono::year_month_day date{std::chrono::year(*y), std::chrono::month(static_cast<unsigned>(*m)),
                                         std::chrono::day(static_cast<unsigned>(*d))};
  if (!date.ok()) return std::nullopt;
  return date;
}

}  // namespace

bool IsStaleData(std::string_view dataDate, std::string_view today) {
  const auto data = ParseDate(dataDate), now = ParseDate(today);
  if (!data || !now) return false;
  std::chrono::year_month_day due = *data + std::chrono::months(2);
  // 12-31 plus two months is no date: the end of February stands for it.
  if (!due.ok()) due = std::chrono::year_month_day_last(due.year(), std::chrono::month_day_last(due.month()));
  return std::chrono::sys_days(*now) > std::chrono::sys_days(due);
}

bool IsFutureDate(std::string_view dataDate, std::string_view today) {
  const auto data = ParseDate(dataDate), now = ParseDate(today);
  if (!data || !now) return false;
  return std::chrono::sys_days(*data) > std::chrono::sys_days(*now) + std::chrono::days(1);
}

std::string LocalToday() { return platform::LocalDate(std::time(nullptr)); }

std::string StaleDataNotice(std::string_view dataDate, std::string_view today, std::string_view howToUpdate) {
  if (!IsStaleData(dataDate, today)) return std::string();
  return "辞書のデータ日付（" + std::string(dataDate) + "）から 2 か月以上たっています。" + std::string(howToUpdate);
}

}  // namespace kovant::dict
