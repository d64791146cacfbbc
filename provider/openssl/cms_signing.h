#pragma once

#include <optional>
#include <vector>

#include "provider/openssl/content_digest.h"
#include "provider/openssl/handles.h"
#include "runtime/bytes.h"
#include "runtime/clock.h"

namespace orvane::provider::openssl {

// What one signature is made with.
struct SigningRequest {
  X509* certificate = nullptr;
  EVP_PKEY* private_key = nullptr;  // RSA or EC
  // Certificates carried for the verifier besides the signer's own: its chain without the root.
  std::vector<X509*> carried;
  // The signing-time attribute; the current time when none is given.
  std::optional<LocalDateTime> signing_time;
};

// A signed-data message and the digest of the content it signs.
struct SignedMessage {
  Bytes der;  // the DER ContentInfo
  ContentDigest content_digest;
};

// A signed-data message over `content`: SHA-256, RSA PKCS #1 v1.5 or ECDSA, the signer named
// by issuer and serial number, and exactly the content-type, message-digest and signing-time
// attributes. `content` is read where it lies, never copied, unless the message carries it
// (`detached` false). Fails with the provider's codes.
SignedMessage sign_content(const SigningRequest& request, ByteView content, bool detached);

}  // namespace orvane::provider::openssl
