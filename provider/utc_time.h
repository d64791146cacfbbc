#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/clock.h"

namespace orvane::provider {

// Seconds from 1970-01-01 00:00:00 UTC to the moment `time` names, taken in its own offset
// from UTC. Negative before 1970; fields out of range roll over as a calendar would.
std::int64_t utc_seconds(const LocalDateTime& time);

// `seconds` since 1970 UTC as people and JSON read it: "2026-12-08T21:40:00Z".
std::string utc_text(std::int64_t seconds);

// The moment of a DER GeneralizedTime ("20261208214000Z", fractions of a second allowed and
// dropped); nothing for any other form.
std::optional<std::int64_t> generalized_time_seconds(std::string_view text);

}  // namespace orvane::provider
