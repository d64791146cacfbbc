#pragma once

#include "provider/certificate_matcher.h"
#include "provider/openssl/certificate.h"

namespace orvane::provider::openssl {

// The store's certificates as the provider interface lists them.
using OpensslCertificateCollection = CertificateListCollection<OpensslCertificate>;

}  // namespace orvane::provider::openssl
