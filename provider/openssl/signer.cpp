#include "provider/openssl/signer.h"

#include "provider/crypt_error.h"
#include "provider/openssl/certificate_collection.h"
#include "provider/openssl/chain_verification.h"

namespace orvane::provider::openssl {

OpensslSigner::OpensslSigner(std::shared_ptr<const StoreRoot> root, std::vector<X509Ptr> carried)
    : root_(std::move(root)), carried_(std::move(carried)) {}

void OpensslSigner::SetCertificate(std::shared_ptr<const Certificate> certificate) {
  auto ours = std::dynamic_pointer_cast<const OpensslCertificate>(std::move(certificate));
  if (!ours) throw crypt_failure(CryptError::invalid_parameter);
  certificate_ = std::move(ours);
}

void OpensslSigner::AddAuthenticatedAttribute(const Attribute& attribute) {
  if (attribute.Name != AttributeName::signing_time) {
    throw crypt_failure(CryptError::invalid_parameter);
  }
  if (signing_time_) throw crypt_failure(CryptError::exists);
  signing_time_ = attribute.Value;
}

std::unique_ptr<CertificateCollection> OpensslSigner::Chain() const {
  if (!certificate_) throw crypt_failure(CryptError::not_found);
  const auto chain = build_chain(certificate_->x509(), *load_trust(*root_), carried_);
  return std::make_unique<OpensslCertificateCollection>(certificates_without_keys(chain), root_);
}

}  // namespace orvane::provider::openssl
