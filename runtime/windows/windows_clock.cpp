#include <windows.h>

#include "runtime/platform.h"

namespace orvane {
namespace {

std::int64_t ticks(const SYSTEMTIME& time) {
  FILETIME file_time{};
  ::SystemTimeToFileTime(&time, &file_time);
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(file_time.dwHighDateTime) << 32) |
                                   file_time.dwLowDateTime);
}

class SystemClock final : public Clock {
 public:
  // One reading of UTC, turned into local time by the time-zone rules for that moment: the
  // offset then always belongs to the same instant as the local time, also while daylight
  // saving time begins or ends, which a separate look at the zone's bias cannot promise.
  LocalDateTime now() const override {
    SYSTEMTIME utc{};
    ::GetSystemTime(&utc);
    SYSTEMTIME local = utc;
    if (!::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) local = utc;
    constexpr std::int64_t ticks_per_minute = 600'000'000;
    const auto offset = (ticks(local) - ticks(utc)) / ticks_per_minute;
    return LocalDateTime{local.wYear,
                         local.wMonth,
                         local.wDay,
                         local.wHour,
                         local.wMinute,
                         local.wSecond,
                         static_cast<int>(offset)};
  }
};

}  // namespace

std::shared_ptr<const Clock> native_clock() {
  return std::make_shared<SystemClock>();
}

}  // namespace orvane
