#include "runtime/clock.h"

#include <cstdio>

namespace orvane {
namespace {

// Keeps the fields in range of the formats, so a wild clock cannot widen the output.
int clamp(int value, int low, int high) {
  return value < low ? low : (value > high ? high : value);
}

}  // namespace

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
