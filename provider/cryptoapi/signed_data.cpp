#include "provider/cryptoapi/signed_data.h"

#include "provider/base64.h"
#include "provider/crypt_error.h"
#include "provider/cryptoapi/chain_verification.h"
#include "provider/cryptoapi/cms_signing.h"
#include "provider/cryptoapi/signer.h"
#include "provider/signing_certificate.h"
#include "runtime/failure.h"

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

void CryptoapiSignedData::Verify(const Text&, bool, VerifyFlag) {
  throw Failure(RuntimeError::cannot_create_object);
}

std::unique_ptr<Signer> CryptoapiSignedData::Signers(std::int32_t) const {
  throw crypt_failure(CryptError::invalid_index);
}

}  // namespace orvane::provider::cryptoapi
