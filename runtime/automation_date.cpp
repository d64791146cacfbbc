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
  LocalDateTime time = utc_date_time((day + day_zero_from_1970) * seconds_per_day);
  time.hour = static_cast<int>(second / 3600);
  time.minute = static_cast<int>(second / 60 % 60);
  time.second = static_cast<int>(second % 60);
  const Text both = format_date_time(time);  // "DD/MM/YYYY HH:MM:SS"
  if (day == 0) return both.substr(11);
  if (second == 0) return both.substr(0, 10);
  return both;
}

}  // namespace orvane
