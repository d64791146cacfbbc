#pragma once

#include <ostream>
#include <variant>

#include "cli/invocation.h"

namespace orvane::cli {

// Parses the command line. Returns the invocation to run, or the exit status when parsing
// ends the program: 0 after --help (printed on `out`), 2 after a usage error (the error and the
// usage printed on `err`).
std::variant<Invocation, int> parse_command_line(int argc, const char* const* argv,
                                                 std::ostream& out, std::ostream& err);

}  // namespace orvane::cli
