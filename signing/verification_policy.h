#pragma once

#include <optional>

#include "config/xml.h"
#include "provider/provider.h"
#include "runtime/platform.h"
#include "runtime/text.h"
#include "signing/sign.h"

namespace orvane::signing {

// The revocation check that a <RevocationCheck> value names ("none", "offline", "online",
// "require", in any case, spaces around it ignored); nothing for any other value.
std::optional<provider::RevocationCheck> parse_revocation_check(TextView value);

// What the configuration file of `platform` (read through `xml`) asks of signatures and
// verifications, with `options` over it, and the platform's clock as now: the policy of a Sign
// object. A <RevocationCheck> value that names no mode goes to `unknown_revocation`.
provider::Policy configured_policy(const Platform& platform, config::XML& xml,
                                   const SignOptions& options, Text* unknown_revocation = nullptr);

}  // namespace orvane::signing
