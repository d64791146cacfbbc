#include "runtime/automation_date.h"

#include <cmath>
#include <cstdint>

#include "runtime/clock.h"
#include "runtime/failure.h"

namespace orvane {
namespace {

// The automation range: 1 January 100 to the last second of 31 December 9999.
constexpr double first_day = -657434.0;
constexpr double after_last_day = 2958466.0;
// Day zero, 30 December 1899, counted from 1 January 1970.
constexpr std::int64_t day_zero_from_1970 = -25569;
constexpr std::int64_t seconds_per_day = 86400;

// The proleptic Gregorian date of a day counted from 1 January 1970.
void civil_from_days(std::int64_t days, LocalDateTime& date) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t day_of_era = days - era * 146097;
  const std::int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const std::int64_t day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const std::int64_t month_index = (5 * day_of_year + 2) / 153;
  date.day = static_cast<int>(day_of_year - (153 * month_index + 2) / 5 + 1);
  date.month = static_cast<int>(month_index < 10 ? month_index + 3 : month_index - 9);
  date.year = static_cast<int>(year_of_era + era * 400 + (date.month <= 2 ? 1 : 0));
}

}  // namespace

Text automation_date_text(double days) {
  if (!(days > first_day - 1.0 && days < after_last_day)) {
    throw Failure(RuntimeError::invalid_procedure_call);
  }
  const double whole = std::trunc(days);
  std::int64_t day = static_cast<std::int64_t>(whole);
  std::int64_t second = std::llround(std::fabs(days - whole) * seconds_per_day);
  if (second == seconds_per_day) {
    // Rounding reached midnight: the next calendar day, for negative day numbers too.
    ++day;
    second = 0;
    if (day >= static_cast<std::int64_t>(after_last_day)) {
      throw Failure(RuntimeError::invalid_procedure_call);
    }
  }
  LocalDateTime time;
  civil_from_days(day + day_zero_from_1970, time);
  time.hour = static_cast<int>(second / 3600);
  time.minute = static_cast<int>(second / 60 % 60);
  time.second = static_cast<int>(second % 60);
  const Text both = format_date_time(time);  // "DD/MM/YYYY HH:MM:SS"
  if (day == 0) return both.substr(11);
  if (second == 0) return both.substr(0, 10);
  return both;
}

}  // namespace orvane
