#pragma once

#include <optional>

#include "provider/provider.h"
#include "runtime/text.h"

namespace orvane::signing {

// The revocation check that a <RevocationCheck> value names ("none", "offline", "online",
// "require", in any case, spaces around it ignored); nothing for any other value.
std::optional<provider::RevocationCheck> parse_revocation_check(TextView value);

}  // namespace orvane::signing
