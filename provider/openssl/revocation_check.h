#pragma once

#include <optional>
#include <vector>

#include "provider/crypt_error.h"
#include "provider/openssl/chain_verification.h"
#include "provider/openssl/revocation_context.h"

namespace orvane::provider::openssl {

// Nothing when no certificate of `chain` (leaf first, ending in its trust anchor) below the
// anchor is shown revoked by the sources that `context` allows, in order: the message's CRLs,
// the store's, then (online) each certificate's HTTP CRL distribution points and its OCSP
// responder. CRYPT_E_REVOKED for a revoked one; under `require`, CRYPT_E_REVOCATION_OFFLINE for
// one whose status none of them had. A CRL counts when a certificate of the chain, of the
// store's CA/ or of `carried` (the message's) signed it, and the CRL processing accepts it.
// What was found goes to the context's notes.
std::optional<CryptError> revocation_error(const std::vector<X509*>& chain,
                                           const std::vector<X509Ptr>& carried,
                                           const TrustMaterial& trust, RevocationContext& context);

}  // namespace orvane::provider::openssl
