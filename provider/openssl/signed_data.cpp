#include "provider/openssl/signed_data.h"

#include "provider/base64.h"
#include "provider/content_bytes.h"
#include "provider/crypt_error.h"
#include "provider/openssl/chain_verification.h"
#include "provider/openssl/cms_signing.h"
#include "provider/openssl/cms_verification.h"
#include "provider/openssl/message_encoding.h"
#include "provider/openssl/revocation_context.h"
#include "provider/openssl/signer.h"
#include "provider/signing_certificate.h"

namespace orvane::provider::openssl {

OpensslSignedData::OpensslSignedData(std::shared_ptr<const StoreRoot> root, Policy policy)
    : root_(std::move(root)), policy_(std::move(policy)) {}

void OpensslSignedData::SetContent(Text content) {
  content_.set(std::move(content));
  content_digest_.reset();
}

void OpensslSignedData::SetContentBytes(Text bytes, std::size_t byte_count) {
  content_.set_bytes(std::move(bytes), byte_count);
  content_digest_.reset();
}

const Text& OpensslSignedData::Content() const {
  return content_.text();
}

Text OpensslSignedData::Sign(Signer& signer, bool detached, Encoding) {
  const OpensslCertificate* certificate = &signing_certificate<OpensslSigner>(signer);
  // Held until the message is made: a token key may need its PIN for this very signature.
  const auto key_use = certificate->device() ? certificate->device()->begin_signature() : nullptr;
  if (certificate->private_key() == nullptr) throw crypt_failure(CryptError::no_key);

  // The verifier gets every certificate up to the root; the root it must hold already.
  const auto chain = build_chain(certificate->x509(), *load_trust(*root_), {});
  SigningRequest request{certificate->x509(),
                         certificate->private_key(),
                         {},
                         static_cast<const OpensslSigner&>(signer).signing_time()};
  for (std::size_t i = 1; i < chain.size(); ++i) {
    const bool is_root = X509_get_extension_flags(chain[i].get()) & EXFLAG_SS;
    if (!is_root) request.carried.push_back(chain[i].get());
  }
  SignedMessage message = sign_content(request, content_.bytes(), detached);
  content_digest_ = std::move(message.content_digest);
  // Every encoding gives the same text: callers store it and read it back as text.
  return base64_lines(message.der);
}

void OpensslSignedData::Verify(const Text& message, bool detached, VerifyFlag flag) {
  signers_.clear();
  carried_.clear();
  DecodedMessage decoded = decode_message(message, root_->certificate_cache());
  RevocationContext revocation = revocation_context(policy_, root_->folder(), *decoded.message);
  VerifiedMessage verified =
      verify_message(*decoded.message, std::move(decoded.certificates),
                     detached ? std::optional(content_.bytes()) : std::nullopt,
                     flag == VerifyFlag::signature_and_certificate, *load_trust(*root_),
                     content_digest_ ? &*content_digest_ : nullptr, &revocation);
  if (!detached) {
    SetContent(text_from_content_bytes(verified.content));
  }
  signers_ = std::move(verified.signers);
  carried_ = std::move(verified.carried);
}

std::unique_ptr<Signer> OpensslSignedData::Signers(std::int32_t index) const {
  if (index < 1 || static_cast<std::size_t>(index) > signers_.size()) {
    throw crypt_failure(CryptError::invalid_index);
  }
  std::vector<X509Ptr> carried;
  for (const auto& certificate : carried_) carried.push_back(share(certificate.get()));
  auto signer = std::make_unique<OpensslSigner>(root_, std::move(carried));
  signer->SetCertificate(std::make_shared<OpensslCertificate>(
      share(signers_[static_cast<std::size_t>(index - 1)].get()), nullptr));
  return signer;
}

}  // namespace orvane::provider::openssl
