#include "tests/provider/openssl_cli.h"

#include <cstdlib>

namespace orvane::testing {

bool run_openssl(const std::string& arguments) {
  return std::system(("openssl " + arguments + " >/dev/null 2>&1").c_str()) == 0;
}

std::string quoted(const std::filesystem::path& path) {
  return '"' + path.string() + '"';
}

}  // namespace orvane::testing
