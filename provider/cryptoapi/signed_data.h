#pragma once

#include <optional>

#include "provider/cryptoapi/certificate.h"
#include "provider/cryptoapi/content_digest.h"
#include "provider/provider.h"

namespace orvane::provider::cryptoapi {

// Signs its content with a certificate of the user's stores, and verifies messages against the
// user's stores and the platform's chain engine. Neither holds the content nor the message
// whole: the platform is given the message without its content, and the content passes in
// blocks through digests taken here.
class CryptoapiSignedData final : public SignedData {
 public:
  explicit CryptoapiSignedData(Policy policy = {});

  void SetContent(std::shared_ptr<const ByteSource> content) override;
  // Refuses a signer as signing_certificate says; otherwise fails with the platform's code.
  void Sign(Signer& signer, Attachment attachment, RewritableSink& message) override;
  // As verify_message says, after read_message found the message.
  void Verify(const MessageText& message, Attachment attachment,
              ContentSink* carried = nullptr) override;
  // CRYPT_E_INVALID_INDEX outside the signers of the last message that verified.
  std::unique_ptr<Signer> Signers(std::int32_t index) const override;

 private:
  // The content's digests by `algorithms`, read from the content, or known from the last
  // signature over it.
  ContentDigests detached_digests(const std::vector<std::string>& algorithms) const;

  Policy policy_;
  std::shared_ptr<const ByteSource> content_;
  // The digest of content_ that the last signature over it took: a detached verification of
  // the same content right after signing need not read it again.
  std::optional<ContentDigest> content_digest_;
  // Each signer's certificate of the last message that verified.
  CertificateList signers_;
};

}  // namespace orvane::provider::cryptoapi
