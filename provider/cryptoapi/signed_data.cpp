#include "provider/cryptoapi/signed_data.h"

#include "provider/base64.h"
#include "provider/content_bytes.h"
#include "provider/crypt_error.h"
#include "provider/cryptoapi/chain_verification.h"
#include "provider/cryptoapi/cms_signing.h"
#include "provider/cryptoapi/message_verification.h"
#include "provider/cryptoapi/signer.h"
#include "provider/signing_certificate.h"

namespace orvane::provider::cryptoapi {

void CryptoapiSignedData::SetContent(Text content) {
  content_.set(std::move(content));
}

void CryptoapiSignedData::SetContentBytes(Text bytes, std::size_t byte_count) {
  content_.set_bytes(std::move(bytes), byte_count);
}

const Text& CryptoapiSignedData::Content() const {
  return content_.text();
}

Text CryptoapiSignedData::Sign(Signer& signer, bool detached, Encoding) {
  const CryptoapiCertificate& certificate = signing_certificate<CryptoapiSigner>(signer);

  // The verifier gets every certificate up to the root; the root it must hold already.
  const CertificateList chain = build_chain(certificate.context());
  SigningRequest request{
      certificate.context(), {}, static_cast<const CryptoapiSigner&>(signer).signing_time()};
  for (std::size_t i = 1; i < chain.size(); ++i) {
    if (!is_self_issued(chain[i]->context())) request.carried.push_back(chain[i]->context());
  }
  // Every encoding gives the same text: callers store it and read it back as text.
  return base64_lines(sign_content(request, content_.bytes(), detached));
}

void CryptoapiSignedData::Verify(const Text& message, bool detached, VerifyFlag flag) {
  signers_.clear();
  carried_.reset();
  VerifiedMessage verified =
      verify_message(message, detached ? std::optional(content_.bytes()) : std::nullopt,
                     flag == VerifyFlag::signature_and_certificate, &policy_);
  if (!detached) SetContent(text_from_content_bytes(verified.content));
  signers_ = std::move(verified.signers);
  carried_ = std::move(verified.carried);
}

std::unique_ptr<Signer> CryptoapiSignedData::Signers(std::int32_t index) const {
  if (index < 1 || static_cast<std::size_t>(index) > signers_.size()) {
    throw crypt_failure(CryptError::invalid_index);
  }
  auto signer =
      std::make_unique<CryptoapiSigner>(StoreHandle(::CertDuplicateStore(carried_.get())));
  signer->SetCertificate(signers_[static_cast<std::size_t>(index - 1)]);
  return signer;
}

}  // namespace orvane::provider::cryptoapi
