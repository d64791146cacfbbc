#pragma once

#include "provider/cryptoapi/certificate.h"

namespace orvane::provider::cryptoapi {

// The chain of `certificate` as the platform's chain engine builds it from the user's stores,
// its own certificate first.
CertificateList build_chain(PCCERT_CONTEXT certificate);

// Whether `certificate` is its own issuer: a root.
bool is_self_issued(PCCERT_CONTEXT certificate);

}  // namespace orvane::provider::cryptoapi
