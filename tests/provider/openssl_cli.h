#pragma once

#include <filesystem>
#include <string>

namespace orvane::testing {

// Runs the openssl command with `arguments` (already quoted where needed), its output thrown
// away; returns whether it succeeded.
bool run_openssl(const std::string& arguments);

// `path` in double quotes, for a command line.
std::string quoted(const std::filesystem::path& path);

}  // namespace orvane::testing
