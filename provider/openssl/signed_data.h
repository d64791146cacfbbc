#pragma once

#include <optional>
#include <vector>

#include "provider/openssl/content_digest.h"
#include "provider/openssl/handles.h"
#include "provider/openssl/store_root.h"
#include "provider/provider.h"

namespace orvane::provider::openssl {

// Signs its content and verifies messages against the stores under a store root.
class OpensslSignedData final : public SignedData {
 public:
  OpensslSignedData(std::shared_ptr<const StoreRoot> root, Policy policy);

  void SetContent(std::shared_ptr<const ByteSource> content) override;
  // Takes signers of this back end only (E_INVALIDARG otherwise); NTE_NO_KEY when the bound
  // certificate has no private key, CRYPT_E_NOT_FOUND when none is bound.
  void Sign(Signer& signer, Attachment attachment, RewritableSink& message) override;
  void Verify(const MessageText& message, Attachment attachment, ContentSink* carried) override;
  // CRYPT_E_INVALID_INDEX outside the signers of the last message that verified.
  std::unique_ptr<Signer> Signers(std::int32_t index) const override;

 private:
  std::shared_ptr<const StoreRoot> root_;
  Policy policy_;
  std::shared_ptr<const ByteSource> content_;
  // The digest of content_ as the last signature over it recorded it; a detached verification
  // of the same content right after signing then need not read it again.
  std::optional<ContentDigest> content_digest_;
  // Of the last message that verified: each signer's certificate.
  std::vector<X509Ptr> signers_;
};

}  // namespace orvane::provider::openssl
