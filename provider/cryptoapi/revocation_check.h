#pragma once

// Revocation through the platform's chain engine: the flags and time limits that a mode asks
// for, and what the chain's elements say about each certificate's revocation.

#include <windows.h>

#include <cstdint>
#include <optional>

#include "provider/provider.h"

namespace orvane::provider::cryptoapi {

// Sets the chain engine's revocation flags and URL time limit for `mode` in `parameters`, and
// returns the flags for CertGetCertificateChain: none for `none`; the chain but its root,
// from CRLs at hand and the URL cache only, for `offline`; and with the network, all retrievals
// of one chain within the verification's limit, for `online` and `require`.
DWORD revocation_flags(RevocationCheck mode, CERT_CHAIN_PARA& parameters);

// The chain status bits that are no fault under `mode`: an unknown revocation status, except
// under `require`.
DWORD accepted_revocation_status(RevocationCheck mode);

// Tells `notes` of every certificate of `chain`'s first simple chain that is revoked, and under
// `online` and `require` of every one below the root whose status could not be had. With a
// signature's `timestamp`, a revocation that revocation_status lets pass is not told.
void note_revocation(const CERT_CHAIN_CONTEXT& chain, RevocationCheck mode, RevocationNotes& notes,
                     std::optional<std::int64_t> timestamp = std::nullopt);

// The revocation status bits of `chain`'s certificates for a signature timestamped at
// `timestamp` (seconds since 1970 UTC): a revocation dated after it for any reason but
// keyCompromise is left out. Only a chain element that names its CRL entry shows the date and
// reason; a revocation without them (Wine's engine tells neither) always counts.
DWORD revocation_status(const CERT_CHAIN_CONTEXT& chain, std::int64_t timestamp);

}  // namespace orvane::provider::cryptoapi
