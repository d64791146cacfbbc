#pragma once

#include <optional>
#include <string>
#include <vector>

namespace orvane::cli {

// Exit statuses: the operation succeeded, it answered with a failure, or the command line
// was wrong.
inline constexpr int exit_success = 0;
inline constexpr int exit_failure = 1;
inline constexpr int exit_usage = 2;

// What a command hands back to the person or script that ran it.
struct Outcome {
  // The answer for standard output, UTF-8, without the final line break; none for `log`.
  std::optional<std::string> answer;
  int status = exit_success;
  // Lines for standard error: what went wrong and what to do, or what was written where.
  std::vector<std::string> notes;
};

}  // namespace orvane::cli
