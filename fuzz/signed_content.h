#pragma once

#include "runtime/text.h"

namespace orvane::fuzzing {

// What the committed detached messages sign, and what the verification target checks every
// input against as a detached signature.
inline constexpr TextView detached_content = u"Orvane fuzz content \u20AC\r\n";

}  // namespace orvane::fuzzing
