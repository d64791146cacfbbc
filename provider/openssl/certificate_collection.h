#pragma once

#include "provider/openssl/certificate.h"

namespace orvane::provider::openssl {

// An ordered collection of certificates; Find keeps the order.
class OpensslCertificateCollection final : public CertificateCollection {
 public:
  explicit OpensslCertificateCollection(CertificateList certificates);

  std::int32_t Count() const override;
  // Fails with E_INVALIDARG for an index outside 1..Count.
  std::shared_ptr<const Certificate> Item(std::int32_t index) const override;
  // Type 6 with property 2 keeps the certificates whose private key the store holds (other
  // properties match nothing); type 9 keeps those valid at the local time given. A criterion
  // of the wrong kind fails with E_INVALIDARG.
  std::unique_ptr<CertificateCollection> Find(FindType type,
                                              const FindCriterion& criterion) const override;

 private:
  CertificateList certificates_;
};

}  // namespace orvane::provider::openssl
