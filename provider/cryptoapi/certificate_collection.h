#pragma once

#include "provider/cryptoapi/certificate.h"

namespace orvane::provider::cryptoapi {

// An ordered collection of certificates; Find keeps the order.
class CryptoapiCertificateCollection final : public CertificateCollection {
 public:
  explicit CryptoapiCertificateCollection(CertificateList certificates);

  std::int32_t Count() const override;
  // Fails with E_INVALIDARG for an index outside 1..Count.
  std::shared_ptr<const Certificate> Item(std::int32_t index) const override;
  // Matches as certificate_matcher says.
  std::unique_ptr<CertificateCollection> Find(FindType type,
                                              const FindCriterion& criterion) const override;

 private:
  CertificateList certificates_;
};

}  // namespace orvane::provider::cryptoapi
