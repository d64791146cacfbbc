#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "provider/openssl/chain_verification.h"
#include "provider/openssl/content_digest.h"
#include "provider/openssl/handles.h"
#include "provider/timestamping.h"
#include "runtime/bytes.h"

namespace orvane::provider::openssl {

// What a verified message showed.
struct VerifiedMessage {
  // Each signer's certificate, in the message's order.
  std::vector<X509Ptr> signers;
  // The certificates the message carried.
  std::vector<X509Ptr> carried;
};

// How the certificates of a message's signers are judged besides their chains.
struct CertificateJudgement {
  RevocationContext* revocation = nullptr;
  // Proves the signers' timestamp tokens; none: tokens are not looked at.
  const TimestampCrypto* timestamps = nullptr;
  TimestampNotes* timestamp_notes = nullptr;
  // The moment taken as now, in seconds since 1970 UTC; the system's time when none.
  std::optional<std::int64_t> now;
};

// The digests of the content by every algorithm that the signers of a message name, taken
// by whoever holds the content. Fails with CRYPT_E_UNKNOWN_ALGO for an algorithm that has none.
using SignerDigests = std::function<const ContentDigests&(STACK_OF(CMS_SignerInfo) * signers)>;

// Verifies every signer of a signed-data message, whose certificates are `carried`: its signature
// over the content whose digests `digests` gives, and with `check_certificates` its certificate's
// chain to a trusted root, valid now. Each signer is checked whole, signature then certificate,
// before the next, and judged by the signer policy (provider/signer_policy.h): its digest
// algorithm and content-type attribute always, its certificate's usage with the certificates.
// Throws the CryptoAPI code that Windows reports for the first fault: CRYPT_E_INVALID_MSG_TYPE,
// CRYPT_E_NO_SIGNER, CRYPT_E_SIGNER_NOT_FOUND, NTE_BAD_ALGID, CRYPT_E_HASH_VALUE,
// NTE_BAD_SIGNATURE, a chain code or CERT_E_WRONG_USAGE. The digests are asked for only when a
// signer needs them: `known_digest`, the content's digest when the caller has it already, serves
// the signers with signed attributes and its algorithm. With the certificates, `revocation`
// decides how each chain's revocation is checked. A signer's timestamp tokens, when `judgement`
// proves them, must all prove (TRUST_E_TIME_STAMP otherwise), and the earliest moves the time at
// which its chain must be valid from now to the token's.
VerifiedMessage verify_message(CMS_ContentInfo& message, std::vector<X509Ptr> carried,
                               const SignerDigests& digests, bool check_certificates,
                               const TrustMaterial& trust,
                               const ContentDigest* known_digest = nullptr,
                               const CertificateJudgement& judgement = {});

}  // namespace orvane::provider::openssl
