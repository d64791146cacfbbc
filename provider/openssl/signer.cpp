#include "provider/openssl/signer.h"

#include "provider/crypt_error.h"
#include "provider/signing_time.h"

namespace orvane::provider::openssl {

void OpensslSigner::SetCertificate(std::shared_ptr<const Certificate> certificate) {
  auto ours = std::dynamic_pointer_cast<const OpensslCertificate>(std::move(certificate));
  if (!ours) throw crypt_failure(CryptError::invalid_parameter);
  certificate_ = std::move(ours);
}

void OpensslSigner::AddAuthenticatedAttribute(const Attribute& attribute) {
  add_signing_time(signing_time_, attribute);
}

std::shared_ptr<const Certificate> OpensslSigner::GetCertificate() const {
  if (!certificate_) throw crypt_failure(CryptError::not_found);
  return certificate_;
}

}  // namespace orvane::provider::openssl
