#pragma once

// The runtime's failures for the system's error codes of file operations, as errno maps to
// them on POSIX.

#include <windows.h>

#include "runtime/failure.h"

namespace orvane::windows {

// The runtime failure for a system error code.
Failure failure_for(DWORD error);

// The failure for the calling thread's last error.
Failure last_failure();

}  // namespace orvane::windows
