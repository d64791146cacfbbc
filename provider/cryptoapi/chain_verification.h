#pragma once

#include <cstdint>
#include <optional>

#include "provider/crypt_error.h"
#include "provider/cryptoapi/certificate.h"
#include "provider/provider.h"

namespace orvane::provider::cryptoapi {

// The chain of `certificate` as the platform's chain engine builds it from the user's stores
// and `additional` (a message's certificates; the certificate's own store when null), its own
// certificate first.
CertificateList build_chain(PCCERT_CONTEXT certificate, HCERTSTORE additional = nullptr);

// When a chain is judged. Without a timestamp, at `now`. With the proved time of a signature's
// timestamp, its certificates' validity and trust at that time, and their revocation at `now`,
// where a revocation dated after the timestamp counts only when the key was compromised: what
// was signed before an ordinary revocation still stands, what was signed with a stolen key
// never did.
struct ChainMoment {
  std::optional<std::int64_t> now;  // seconds since 1970 UTC; the system's time when none
  std::optional<std::int64_t> timestamp;
};

// Nothing when the chain of `certificate`, built as build_chain does, is trusted at `moment`:
// its whole error status is clear, the base policy passes and no certificate of it is weak by
// the signer policy, and, with a `revocation` policy, no certificate of it below the root is
// revoked (nor, under `require`, of unknown status) by the CRLs of `additional` and the user's
// stores, the URL cache and, online, the network; otherwise the code that the chain's fault
// stands for (provider/chain_fault.h). What revocation showed goes to the policy's notes.
std::optional<CryptError> chain_error(PCCERT_CONTEXT certificate, HCERTSTORE additional = nullptr,
                                      const Policy* revocation = nullptr,
                                      const ChainMoment& moment = {});

// Whether `certificate` is a root: self-issued (its subject is its issuer) and signed by its own
// key, the rule of every back end.
bool is_root(PCCERT_CONTEXT certificate);

}  // namespace orvane::provider::cryptoapi
