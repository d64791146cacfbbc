#pragma once

#include <optional>

#include "provider/cryptoapi/certificate.h"
#include "provider/provider.h"
#include "runtime/bytes.h"
#include "runtime/text.h"

namespace orvane::provider::cryptoapi {

// What a verified message showed.
struct VerifiedMessage {
  // Each signer's certificate, in the message's order.
  CertificateList signers;
  // The certificates the message carried.
  StoreHandle carried;
  // The content the message carries; empty for a detached signature.
  Bytes content;
};

// Decodes a signed-data message in any of the forms callers and files produce (see
// parse_message_forms) and verifies every signer, in the order and with the codes of the other
// back ends: the message type, a signer at all, the signer's certificate (from the message, else
// the user's stores), its digest algorithm, the platform's signature check, then the content's
// digest taken here against the messageDigest attribute (the platform does not compare them
// everywhere), the content-type attribute, and with `check_certificates` the certificate's
// chain, trusted now, and its usage. The signature covers `detached_content`, or the content
// the message carries when there is none. A text that is no message fails with
// CRYPT_E_ASN1_BADTAG. With the certificates, `revocation` says how each chain's revocation is
// checked; the message's CRLs take part.
VerifiedMessage verify_message(TextView message, std::optional<ByteView> detached_content,
                               bool check_certificates, const Policy* revocation = nullptr);

}  // namespace orvane::provider::cryptoapi
