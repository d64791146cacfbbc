#include "provider/cryptoapi/signer.h"

#include "provider/crypt_error.h"
#include "provider/signing_time.h"

namespace orvane::provider::cryptoapi {

void CryptoapiSigner::SetCertificate(std::shared_ptr<const Certificate> certificate) {
  auto ours = std::dynamic_pointer_cast<const CryptoapiCertificate>(std::move(certificate));
  if (!ours) throw crypt_failure(CryptError::invalid_parameter);
  certificate_ = std::move(ours);
}

void CryptoapiSigner::AddAuthenticatedAttribute(const Attribute& attribute) {
  add_signing_time(signing_time_, attribute);
}

std::shared_ptr<const Certificate> CryptoapiSigner::GetCertificate() const {
  if (!certificate_) throw crypt_failure(CryptError::not_found);
  return certificate_;
}

}  // namespace orvane::provider::cryptoapi
