#pragma once

#include <cstdint>

#include "runtime/failure.h"

namespace orvane::provider::cryptoapi {

// The failure that a platform code stands for: the code as the number (a system error code
// becomes its HRESULT) and the system's text of it.
Failure platform_failure(std::uint32_t code);

// platform_failure of the platform's last error (GetLastError, read at once).
Failure last_platform_failure();

// platform_failure of the system error that a CNG status (an NTSTATUS) stands for.
Failure bcrypt_failure(std::int32_t status);

}  // namespace orvane::provider::cryptoapi
