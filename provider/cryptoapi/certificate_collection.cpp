#include "provider/cryptoapi/certificate_collection.h"

#include "provider/certificate_matcher.h"
#include "provider/crypt_error.h"

namespace orvane::provider::cryptoapi {

CryptoapiCertificateCollection::CryptoapiCertificateCollection(CertificateList certificates)
    : certificates_(std::move(certificates)) {}

std::int32_t CryptoapiCertificateCollection::Count() const {
  return static_cast<std::int32_t>(certificates_.size());
}

std::shared_ptr<const Certificate> CryptoapiCertificateCollection::Item(std::int32_t index) const {
  if (index < 1 || index > Count()) throw crypt_failure(CryptError::invalid_parameter);
  return certificates_[static_cast<std::size_t>(index - 1)];
}

std::unique_ptr<CertificateCollection> CryptoapiCertificateCollection::Find(
    FindType type, const FindCriterion& criterion) const {
  const auto matches = certificate_matcher<CryptoapiCertificate>(type, criterion);
  CertificateList found;
  for (const auto& certificate : certificates_) {
    if (matches(*certificate)) found.push_back(certificate);
  }
  return std::make_unique<CryptoapiCertificateCollection>(std::move(found));
}

}  // namespace orvane::provider::cryptoapi
