#pragma once

#include "cli/invocation.h"
#include "cli/outcome.h"
#include "cli/settings.h"

namespace orvane::cli {

// Runs `store list`, `store import` or `store trust` over the store of `settings`.
Outcome run_store_command(const Invocation& invocation, const Settings& settings);

}  // namespace orvane::cli
