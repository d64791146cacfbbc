#pragma once

#include "provider/openssl/handles.h"
#include "provider/openssl/store_listing.h"

namespace orvane::provider::openssl {

// The serial number, names and validity period of `certificate`, as people read them.
CertificateSummary summarize(X509* certificate);

}  // namespace orvane::provider::openssl
