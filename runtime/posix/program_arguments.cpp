#include <unistd.h>

#include "runtime/program.h"

namespace orvane {

// The arguments are bytes as the caller passed them; Orvane reads them as UTF-8.
std::vector<std::string> program_arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

bool standard_error_is_terminal() {
  return ::isatty(STDERR_FILENO) == 1;
}

}  // namespace orvane
