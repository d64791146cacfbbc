#pragma once

#include <ostream>

#include "cli/invocation.h"

namespace orvane::cli {

// The embedded default: makes a throwaway store, PKI and sample file in a temporary folder,
// signs the file attached and detached, verifies both, restores the attached content, shows
// each call and its answer on `out`, and removes everything it made. Returns 0 when every
// call answered as a working installation must, else 1. With a --timestamp authority, one more
// detached signature is timestamped by it and verified, and the timestamp shown.
int run_demo(const Invocation& invocation, std::ostream& out, std::ostream& err);

}  // namespace orvane::cli
