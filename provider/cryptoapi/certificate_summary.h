#pragma once

#include <windows.h>

#include "provider/store_administration.h"

namespace orvane::provider::cryptoapi {

// The serial number, names and validity period of `certificate`, as people read them and as
// the OpenSSL back end shows them.
CertificateSummary summarize(PCCERT_CONTEXT certificate);

// Whether `certificate` names itself as a certificate authority (basic constraints CA:TRUE).
bool is_certificate_authority(PCCERT_CONTEXT certificate);

}  // namespace orvane::provider::cryptoapi
