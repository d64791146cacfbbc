#pragma once

#include "cli/invocation.h"
#include "cli/outcome.h"
#include "cli/settings.h"

namespace orvane::cli {

// `orvane inspect MESSAGE [--json]`: what a message says of itself and its signers, and for an
// attached message whether it verifies.
Outcome run_inspect(const Invocation& invocation, const Settings& settings);

}  // namespace orvane::cli
