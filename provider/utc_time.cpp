#include "provider/utc_time.h"

#include <cstdio>

namespace orvane::provider {
namespace {

// Days from 1970-01-01 to the proleptic Gregorian date; valid for every year an int holds.
std::int64_t days_from_civil(std::int64_t year, std::int64_t month, std::int64_t day) {
  // Months counted from March put the leap day at the end of a year.
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const std::int64_t year_of_era = year - era * 400;
  const std::int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const std::int64_t day_of_era =
      year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

// The digits of `text` from `at` for `count` characters as a number; -1 when one is no digit.
int digits(std::string_view text, std::size_t at, std::size_t count) {
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

}  // namespace

std::int64_t utc_seconds(const LocalDateTime& time) {
  // A month outside 1..12 is carried into the year first, so the day count stays exact.
  std::int64_t month_index = std::int64_t{time.year} * 12 + (time.month - 1);
  const std::int64_t year = month_index >= 0 ? month_index / 12 : (month_index - 11) / 12;
  const std::int64_t month = month_index - year * 12 + 1;
  const std::int64_t days = days_from_civil(year, month, 1) + (time.day - 1);
  return days * 86400 + std::int64_t{time.hour} * 3600 + std::int64_t{time.minute} * 60 +
         time.second - std::int64_t{time.utc_offset_minutes} * 60;
}

std::string utc_text(std::int64_t seconds) {
  const std::int64_t days = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
  const std::int64_t in_day = seconds - days * 86400;
  // The inverse of days_from_civil.
  const std::int64_t shifted = days + 719468;
  const std::int64_t era = (shifted >= 0 ? shifted : shifted - 146096) / 146097;
  const std::int64_t day_of_era = shifted - era * 146097;
  const std::int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const std::int64_t day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const std::int64_t month_index = (5 * day_of_year + 2) / 153;
  const std::int64_t day = day_of_year - (153 * month_index + 2) / 5 + 1;
  const std::int64_t month = month_index < 10 ? month_index + 3 : month_index - 9;
  const std::int64_t year = year_of_era + era * 400 + (month <= 2 ? 1 : 0);
  char text[160];  // room for any six values, as the compiler counts
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ",
                static_cast<long long>(year), static_cast<long long>(month),
                static_cast<long long>(day), static_cast<long long>(in_day / 3600),
                static_cast<long long>(in_day / 60 % 60), static_cast<long long>(in_day % 60));
  return text;
}

std::optional<std::int64_t> generalized_time_seconds(std::string_view text) {
  if (text.size() < 15 || text.back() != 'Z') return std::nullopt;
  std::string_view rest = text.substr(14, text.size() - 15);
  if (!rest.empty()) {
    if (rest[0] != '.' || rest.size() < 2) return std::nullopt;
    for (const char c : rest.substr(1)) {
      if (c < '0' || c > '9') return std::nullopt;
    }
  }
  LocalDateTime time;
  time.year = digits(text, 0, 4);
  time.month = digits(text, 4, 2);
  time.day = digits(text, 6, 2);
  time.hour = digits(text, 8, 2);
  time.minute = digits(text, 10, 2);
  time.second = digits(text, 12, 2);
  if (time.year < 0 || time.month < 1 || time.month > 12 || time.day < 1 || time.day > 31 ||
      time.hour < 0 || time.hour > 23 || time.minute < 0 || time.minute > 59 || time.second < 0 ||
      time.second > 60) {
    return std::nullopt;
  }
  return utc_seconds(time);
}

}  // namespace orvane::provider
