#include "provider/cryptoapi/signer.h"

#include "provider/crypt_error.h"
#include "provider/cryptoapi/certificate_collection.h"
#include "provider/cryptoapi/chain_verification.h"
#include "provider/signing_time.h"

namespace orvane::provider::cryptoapi {

CryptoapiSigner::CryptoapiSigner(StoreHandle carried) : carried_(std::move(carried)) {}

void CryptoapiSigner::SetCertificate(std::shared_ptr<const Certificate> certificate) {
  auto ours = std::dynamic_pointer_cast<const CryptoapiCertificate>(std::move(certificate));
  if (!ours) throw crypt_failure(CryptError::invalid_parameter);
  certificate_ = std::move(ours);
}

void CryptoapiSigner::AddAuthenticatedAttribute(const Attribute& attribute) {
  add_signing_time(signing_time_, attribute);
}

std::unique_ptr<CertificateCollection> CryptoapiSigner::Chain() const {
  if (!certificate_) throw crypt_failure(CryptError::not_found);
  return std::make_unique<CryptoapiCertificateCollection>(
      build_chain(certificate_->context(), carried_.get()));
}

}  // namespace orvane::provider::cryptoapi
