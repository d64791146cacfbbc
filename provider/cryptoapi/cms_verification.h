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
// as check_signer_signature says, its timestamp tokens, each of which must prove
// (TRUST_E_TIME_STAMP otherwise), and the certificate's chain, trusted at the earliest proved
// timestamp's time, else at the policy's now (chain_verification.h says how revocation is then
// judged), and its usage; `policy` says how each chain's revocation is checked, and the
// message's CRLs take part. `digests` has the content's digest by every algorithm that
// signer_digest_algorithms names and the platform knows.
VerifiedMessage verify_message(const DecodedMessage& message, ContentDigests& digests,
                               const Policy& policy);

// The certificate of signer `index` of `message`: from `carried` (the message's own), else from
// the user's stores, the personal store last. CRYPT_E_SIGNER_NOT_FOUND when none is.
windows::CertificateContextHandle find_signer_certificate(HCRYPTMSG message, DWORD index,
                                                          HCERTSTORE carried);

// Proves that `signer`, signer `index` of `decoded`, signed with `certificate`'s key: the
// signature over its signed attributes (NTE_BAD_SIGNATURE), the content's digest from `digests`
// against the messageDigest attribute (CRYPT_E_AUTH_ATTR_MISSING, CRYPT_E_HASH_VALUE) and the
// content-type attribute against the content's type; a signer without signed attributes signs
// the content's digest itself.
void check_signer_signature(const DecodedMessage& decoded, DWORD index,
                            const CMSG_SIGNER_INFO& signer, PCCERT_CONTEXT certificate,
                            ContentDigests& digests);

}  // namespace orvane::provider::cryptoapi
