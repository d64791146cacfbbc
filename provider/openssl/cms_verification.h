#pragma once

#include <optional>
#include <vector>

#include "provider/openssl/chain_verification.h"
#include "provider/openssl/content_digest.h"
#include "provider/openssl/handles.h"
#include "runtime/bytes.h"

namespace orvane::provider::openssl {

// What a verified message showed.
struct VerifiedMessage {
  // Each signer's certificate, in the message's order.
  std::vector<X509Ptr> signers;
  // The certificates the message carried.
  std::vector<X509Ptr> carried;
  // The content the message carries, inside the message (valid while it lives); empty for a
  // message without content.
  ByteView content;
};

// Verifies every signer of a signed-data message, whose certificates are `carried`: its signature
// over `detached_content`, or over the content the message carries when there is none, and with
// `check_certificates` its certificate's chain to a trusted root, valid now. Each signer is checked
// whole, signature then certificate, before the next, and judged by the signer policy
// (provider/signer_policy.h): its digest algorithm and content-type attribute always, its
// certificate's usage with the certificates. Throws the CryptoAPI code that Windows reports for
// the first fault: CRYPT_E_INVALID_MSG_TYPE, CRYPT_E_NO_SIGNER, CRYPT_E_SIGNER_NOT_FOUND,
// NTE_BAD_ALGID, CRYPT_E_HASH_VALUE, NTE_BAD_SIGNATURE, a chain code or CERT_E_WRONG_USAGE.
// The detached content may be larger than OpenSSL's BIOs reach. `known_digest`,
// the digest of `detached_content` when the caller has it already, spares reading the content again
// for signers with signed attributes and its algorithm. With the certificates, `revocation`
// decides how each chain's revocation is checked.
VerifiedMessage verify_message(CMS_ContentInfo& message, std::vector<X509Ptr> carried,
                               std::optional<ByteView> detached_content, bool check_certificates,
                               const TrustMaterial& trust,
                               const ContentDigest* known_digest = nullptr,
                               RevocationContext* revocation = nullptr);

}  // namespace orvane::provider::openssl
