#pragma once

#include <cstdint>

#include "runtime/failure.h"

namespace orvane::provider::cryptoapi {

// The failure that a platform code stands for: the code as the number (a system error code
// becomes its HRESULT) and the system's text of it.
Failure platform_failure(std::uint32_t code);

// platform_failure of the platform's last error (GetLastError, read at once).
Failure last_platform_failure();

}  // namespace orvane::provider::cryptoapi
