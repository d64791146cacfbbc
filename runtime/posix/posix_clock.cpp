#include <time.h>

#include "runtime/platform.h"

namespace orvane {
namespace {

class SystemClock final : public Clock {
 public:
  LocalDateTime now() const override {
    const time_t seconds = ::time(nullptr);
    struct tm local {};
    ::localtime_r(&seconds, &local);
    return LocalDateTime{local.tm_year + 1900,
                         local.tm_mon + 1,
                         local.tm_mday,
                         local.tm_hour,
                         local.tm_min,
                         local.tm_sec,
                         static_cast<int>(local.tm_gmtoff / 60)};
  }
};

}  // namespace

std::shared_ptr<const Clock> native_clock() {
  return std::make_shared<SystemClock>();
}

}  // namespace orvane
