#include "runtime/clock.h"

#include <cstdio>

namespace orvane {
namespace {

// Keeps the fields in range of the formats, so a wild clock cannot widen the output.
int clamp(int value, int low, int high) {
  return value < low ? low : (value > high ? high : value);
}

}  // namespace

LocalDateTime utc_date_time(std::int64_t seconds) {
  const std::int64_t days = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
  const std::int64_t in_day = seconds - days * 86400;
  // Days counted from 1 March of year 0, so that the leap day ends a year.
  const std::int64_t shifted = days + 719468;
  const std::int64_t era = (shifted >= 0 ? shifted : shifted - 146096) / 146097;
  const std::int64_t day_of_era = shifted - era * 146097;
  const std::int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const std::int64_t day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const std::int64_t month_index = (5 * day_of_year + 2) / 153;
  LocalDateTime time;
  time.day = static_cast<int>(day_of_year - (153 * month_index + 2) / 5 + 1);
  time.month = static_cast<int>(month_index < 10 ? month_index + 3 : month_index - 9);
  time.year = static_cast<int>(year_of_era + era * 400 + (time.month <= 2 ? 1 : 0));
  time.hour = static_cast<int>(in_day / 3600);
  time.minute = static_cast<int>(in_day / 60 % 60);
  time.second = static_cast<int>(in_day % 60);
  time.utc_offset_minutes = 0;
  return time;
}

Text format_ddmmyyyy(const LocalDateTime& time) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d%02d%04d", clamp(time.day, 0, 99),
                clamp(time.month, 0, 99), clamp(time.year, 0, 9999));
  return text_from_ascii(buffer);
}

Text format_date_time(const LocalDateTime& time) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02d/%02d/%04d %02d:%02d:%02d", clamp(time.day, 0, 99),
                clamp(time.month, 0, 99), clamp(time.year, 0, 9999), clamp(time.hour, 0, 99),
                clamp(time.minute, 0, 99), clamp(time.second, 0, 99));
  return text_from_ascii(buffer);
}

}  // namespace orvane
