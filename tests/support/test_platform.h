#pragma once

#include <deque>
#include <memory>
#include <string>

#include "runtime/platform.h"
#include "tests/support/temp_folder.h"

namespace orvane::testing {

// A clock that says what the test tells it.
class FixedClock final : public Clock {
 public:
  explicit FixedClock(LocalDateTime time) : times_{time} {}
  LocalDateTime now() const override {
    const LocalDateTime time = times_.front();
    if (times_.size() > 1) times_.pop_front();
    return time;
  }
  void set(LocalDateTime time) { times_ = {time}; }
  // Says each of `times` once, in order, and then stays at the last: a clock that moves on
  // between the readings of one call, across midnight for instance.
  void set_readings(std::deque<LocalDateTime> times) { times_ = std::move(times); }

 private:
  mutable std::deque<LocalDateTime> times_;
};

// 6 December 2026, 20:35:44, local time one hour ahead of UTC.
inline constexpr LocalDateTime example_time{2026, 12, 6, 20, 35, 44, 60};

// The native platform with a system directory of the test's own (`system/` in a temporary
// folder) and a fixed clock.
struct TestPlatform {
  TestPlatform();

  // Writes KPXServiceControl.INI in the system directory.
  void write_configuration(const std::string& text) const;
  // The system directory's path.
  std::filesystem::path system_directory() const { return folder.path() / "system"; }

  TempFolder folder;
  std::shared_ptr<FixedClock> clock;
  Platform platform;
};

}  // namespace orvane::testing
