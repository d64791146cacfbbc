#pragma once

#include <optional>
#include <vector>

#include "provider/message_writing.h"
#include "provider/openssl/content_digest.h"
#include "provider/openssl/handles.h"
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

// A signature over content that passes a block at a time: SHA-256, RSA PKCS #1 v1.5 or ECDSA,
// the signer named by issuer and serial number, and exactly the content-type, message-digest and
// signing-time attributes. finish() gives the message without its content. The request's objects
// must outlive the session. Fails with the provider's codes.
class OpensslSignatureSession final : public SignatureSession {
 public:
  explicit OpensslSignatureSession(SigningRequest request);

  void update(ByteView bytes) override;
  Bytes finish() override;
  Bytes expected_leading_fields() const override;
  std::size_t expected_trailing_size() const override;
  Bytes content_digest() const override { return digest_value_; }
  std::unique_ptr<Digest> new_content_digest() const override;

 private:
  SigningRequest request_;
  EvpDigest digest_;
  Bytes digest_value_;
};

}  // namespace orvane::provider::openssl
