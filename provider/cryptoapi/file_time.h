#pragma once

#include <windows.h>

#include <cstdint>

namespace orvane::provider::cryptoapi {

// The FILETIME (100 ns since 1601, UTC) of a moment in seconds since 1970, UTC; moments before
// 1601 become 1601.
inline FILETIME file_time_of(std::int64_t utc_seconds) {
  constexpr std::int64_t seconds_1601_to_1970 = 11644473600;
  const std::int64_t seconds = utc_seconds + seconds_1601_to_1970;
  const auto ticks = static_cast<std::uint64_t>(seconds < 0 ? 0 : seconds) * 10000000u;
  return FILETIME{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
}

}  // namespace orvane::provider::cryptoapi
