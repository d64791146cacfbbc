#pragma once

#include <cstdio>
#include <cstdlib>

namespace orvane::fuzzing {

// Stops the run when a property of the code under test does not hold, so that the fuzzer keeps
// the input as a crash and the replay of a corpus fails.
inline void require(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "property broken: %s\n", property);
  std::abort();
}

}  // namespace orvane::fuzzing
