#pragma once

#include <openssl/pkcs12.h>

namespace orvane::provider::openssl {

// The most iterations that a key derivation of a PKCS #12 file may ask for. Exporters use a few
// thousand (OpenSSL 2,048; Windows 2,000 to 10,000) and hardened ones some hundred thousand;
// beyond this a file only stalls whoever opens it.
inline constexpr long long most_pkcs12_iterations = 1'000'000;

// Whether every key derivation of `pkcs12` asks for at most most_pkcs12_iterations: its MAC's,
// each encrypted part's and, with a `password`, each shrouded key's within the parts that it
// opens. Reads the parameters before running any derivation, so it costs at most one
// derivation within the bound for each encrypted part; a part that does not open is left to
// the reader, which fails on it.
bool pkcs12_iterations_bounded(const PKCS12* pkcs12, const char* password);

}  // namespace orvane::provider::openssl
