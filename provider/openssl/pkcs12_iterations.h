#pragma once

#include <openssl/pkcs12.h>

#include "provider/pkcs12_iterations.h"

namespace orvane::provider::openssl {

// Whether every key derivation of `pkcs12` asks for at most most_pkcs12_iterations: its MAC's,
// each encrypted part's and, with a `password`, each shrouded key's within the parts that it
// opens. Reads the parameters before running any derivation, so it costs at most one
// derivation within the bound for each encrypted part; a part that does not open is left to
// the reader, which fails on it.
bool pkcs12_iterations_bounded(const PKCS12* pkcs12, const char* password);

}  // namespace orvane::provider::openssl
