#pragma once

#include "provider/provider.h"
#include "provider/signed_content.h"

namespace orvane::provider::cryptoapi {

// Signs its content with a certificate of the user's stores. Verification is not part of this
// back end yet: Verify fails with 429 and there are no signers to read.
class CryptoapiSignedData final : public SignedData {
 public:
  void SetContent(Text content) override;
  void SetContentBytes(Text bytes, std::size_t byte_count) override;
  const Text& Content() const override;
  // Refuses a signer as signing_certificate says; otherwise fails with the platform's code.
  Text Sign(Signer& signer, bool detached, Encoding encoding) override;
  void Verify(const Text& message, bool detached, VerifyFlag flag) override;
  // CRYPT_E_INVALID_INDEX: no message has verified.
  std::unique_ptr<Signer> Signers(std::int32_t index) const override;

 private:
  SignedContent content_;
};

}  // namespace orvane::provider::cryptoapi
