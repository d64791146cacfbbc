#pragma once

#include <memory>
#include <string>

#include "runtime/platform.h"
#include "tests/support/temp_folder.h"

namespace orvane::testing {

// A clock that says what the test tells it.
class FixedClock final : public Clock {
 public:
  explicit FixedClock(LocalDateTime time) : time_(time) {}
  LocalDateTime now() const override { return time_; }
  void set(LocalDateTime time) { time_ = time; }

 private:
  LocalDateTime time_;
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
