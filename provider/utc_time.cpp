#include "provider/utc_time.h"

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

}  // namespace orvane::provider
