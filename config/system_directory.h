#pragma once

#include "runtime/platform.h"

namespace orvane::config {

// The system directory without a trailing separator, or "" when the platform reports none.
Text GetSystemDir(const Platform& platform);

// `text` up to, not including, its first NUL; unchanged when it holds none.
Text TrimAtNull(const Text& text);

}  // namespace orvane::config
