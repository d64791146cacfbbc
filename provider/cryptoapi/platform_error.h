#pragma once

#include "runtime/failure.h"

namespace orvane::provider::cryptoapi {

// The failure that the platform's last error (GetLastError, read at once) stands for: its
// HRESULT as the number and the system's text of it.
Failure last_platform_failure();

}  // namespace orvane::provider::cryptoapi
