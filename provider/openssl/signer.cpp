#include "provider/openssl/signer.h"

#include "provider/crypt_error.h"
#include "provider/openssl/certificate_collection.h"
#include "provider/openssl/chain_verification.h"
#include "provider/signing_time.h"

namespace orvane::provider::openssl {

OpensslSigner::OpensslSigner(std::shared_ptr<const StoreRoot> root, std::vector<X509Ptr> carried)
    : root_(std::move(root)), carried_(std::move(carried)) {}

void OpensslSigner::SetCertificate(std::shared_ptr<const Certificate> certificate) {
  auto ours = std::dynamic_pointer_cast<const OpensslCertificate>(std::move(certificate));
  if (!ours) throw crypt_failure(CryptError::invalid_parameter);
  certificate_ = std::move(ours);
}

void OpensslSigner::AddAuthenticatedAttribute(const Attribute& attribute) {
  add_signing_time(signing_time_, attribute);
}

std::unique_ptr<CertificateCollection> OpensslSigner::Chain() const {
  if (!certificate_) throw crypt_failure(CryptError::not_found);
  const auto chain = build_chain(certificate_->x509(), *load_trust(*root_), carried_);
  return std::make_unique<OpensslCertificateCollection>(certificates_without_keys(chain), root_);
}

}  // namespace orvane::provider::openssl
