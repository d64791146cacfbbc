#pragma once

#include <string>
#include <vector>

#include "provider/cryptoapi/certificate.h"
#include "provider/cryptoapi/content_digest.h"
#include "provider/cryptoapi/message_encoding.h"
#include "provider/provider.h"

namespace orvane::provider::cryptoapi {

// What a verified message showed.
struct VerifiedMessage {
  // Each signer's certificate, in the message's order.
  CertificateList signers;
};

// The digest algorithms (dotted OIDs) that the signers of `message` name, each once, in the
// signers' order; none for a message that is not signed data.
std::vector<std::string> signer_digest_algorithms(const DecodedMessage& message);

// Verifies every signer of `message` in the order and with the codes of the other back end:
// the message type (CRYPT_E_INVALID_MSG_TYPE), a signer at all (CRYPT_E_NO_SIGNER), then each
// signer whole before the next: its certificate (from the message, else the user's CA and My
// stores: CRYPT_E_SIGNER_NOT_FOUND), its digest algorithm by the signer policy, its signature
// (NTE_BAD_SIGNATURE), the content's digest from `digests` against the messageDigest attribute
// (CRYPT_E_AUTH_ATTR_MISSING, CRYPT_E_HASH_VALUE), the content-type attribute, and the
// certificate's chain, trusted now, and its usage; `policy` says how each chain's revocation is
// checked, and the message's CRLs take part. A signer without signed attributes signs the
// content's digest itself. `digests` has the content's digest by every algorithm that
// signer_digest_algorithms names and the platform knows.
VerifiedMessage verify_message(const DecodedMessage& message, ContentDigests& digests,
                               const Policy& policy);

}  // namespace orvane::provider::cryptoapi
