#pragma once

#include <compare>
#include <cstdint>

#include "runtime/text.h"

namespace orvane {

// A local date and time to the second, with the offset of local time from UTC at that moment,
// so that a time stamp can be written in UTC without asking the system again.
struct LocalDateTime {
  int year = 1899;
  int month = 12;
  int day = 30;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int utc_offset_minutes = 0;

  auto operator<=>(const LocalDateTime&) const = default;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalDateTime now() const = 0;
};

// The date and time in UTC `seconds` after 1 January 1970 (before it when negative), in the
// proleptic Gregorian calendar; the offset is 0.
LocalDateTime utc_date_time(std::int64_t seconds);

// "ddMMyyyy": 06122026 for 6 December 2026.
Text format_ddmmyyyy(const LocalDateTime& time);

// "DD/MM/YYYY HH:MM:SS": 06/12/2026 20:35:44.
Text format_date_time(const LocalDateTime& time);

}  // namespace orvane
