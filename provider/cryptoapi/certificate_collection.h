#pragma once

#include "provider/certificate_matcher.h"
#include "provider/cryptoapi/certificate.h"

namespace orvane::provider::cryptoapi {

// The store's certificates as the provider interface lists them.
using CryptoapiCertificateCollection = CertificateListCollection<CryptoapiCertificate>;

}  // namespace orvane::provider::cryptoapi
