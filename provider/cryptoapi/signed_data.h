#pragma once

#include "provider/cryptoapi/certificate.h"
#include "provider/provider.h"
#include "provider/signed_content.h"

namespace orvane::provider::cryptoapi {

// Signs its content with a certificate of the user's stores, and verifies messages against the
// user's stores and the platform's chain engine.
class CryptoapiSignedData final : public SignedData {
 public:
  explicit CryptoapiSignedData(Policy policy = {}) : policy_(std::move(policy)) {}
  void SetContent(Text content) override;
  void SetContentBytes(Text bytes, std::size_t byte_count) override;
  const Text& Content() const override;
  // Refuses a signer as signing_certificate says; otherwise fails with the platform's code.
  Text Sign(Signer& signer, bool detached, Encoding encoding) override;
  // As verify_message says; after an attached message, Content() is the content it carries.
  void Verify(const Text& message, bool detached, VerifyFlag flag) override;
  // CRYPT_E_INVALID_INDEX outside the signers of the last message that verified. The signer's
  // chain is built with the certificates that message carried.
  std::unique_ptr<Signer> Signers(std::int32_t index) const override;

 private:
  Policy policy_;
  SignedContent content_;
  // Of the last message that verified: each signer's certificate and what the message carried.
  CertificateList signers_;
  StoreHandle carried_;
};

}  // namespace orvane::provider::cryptoapi
