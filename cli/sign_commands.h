#pragma once

#include "cli/invocation.h"
#include "cli/outcome.h"
#include "cli/settings.h"
#include "signing/sign.h"

namespace orvane::cli {

// Runs a command that one method of `sign` answers (sign, verify, verify-code, sp-sign,
// serial, log): the answer is the method's text, unchanged.
Outcome run_sign_command(signing::Sign& sign, const Invocation& invocation,
                         const Settings& settings);

}  // namespace orvane::cli
