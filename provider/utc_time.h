#pragma once

#include <cstdint>

#include "runtime/clock.h"

namespace orvane::provider {

// Seconds from 1970-01-01 00:00:00 UTC to the moment `time` names, taken in its own offset
// from UTC. Negative before 1970; fields out of range roll over as a calendar would.
std::int64_t utc_seconds(const LocalDateTime& time);

}  // namespace orvane::provider
