#pragma once

#include <cstdint>
#include <functional>

#include "runtime/text.h"

namespace orvane::testing {

// The number of the Failure that `call` threw; 0 when it threw none.
std::int32_t failure_number(const std::function<void()>& call);

// The description of the Failure that `call` threw; empty when it threw none.
Text failure_text(const std::function<void()>& call);

}  // namespace orvane::testing
