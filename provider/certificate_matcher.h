#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "provider/crypt_error.h"
#include "provider/provider.h"
#include "provider/utc_time.h"

namespace orvane::provider {

// What a certificate search keeps, for a back end's certificate type that answers
// `has_key()` (the key-provider property) and `valid_at(seconds since 1970, UTC)`: type 6 with
// property 2 keeps the certificates whose private key the store holds, other properties
// match nothing; type 9 keeps those valid at the local time given. A criterion of the wrong
// kind fails with E_INVALIDARG.
template <typename BackEndCertificate>
std::function<bool(const BackEndCertificate&)> certificate_matcher(FindType type,
                                                                   const FindCriterion& criterion) {
  if (type == FindType::extended_property) {
    const auto* property = std::get_if<std::int32_t>(&criterion);
    if (property == nullptr) throw crypt_failure(CryptError::invalid_parameter);
    if (*property != key_provider_info_property) return [](const auto&) { return false; };
    return [](const BackEndCertificate& certificate) { return certificate.has_key(); };
  }
  if (type == FindType::time_valid) {
    const auto* local_time = std::get_if<LocalDateTime>(&criterion);
    if (local_time == nullptr) throw crypt_failure(CryptError::invalid_parameter);
    return [moment = utc_seconds(*local_time)](const BackEndCertificate& certificate) {
      return certificate.valid_at(moment);
    };
  }
  throw crypt_failure(CryptError::invalid_parameter);
}

// An ordered collection of a back end's certificates; Find keeps the order.
template <typename BackEndCertificate>
class CertificateListCollection final : public CertificateCollection {
 public:
  using List = std::vector<std::shared_ptr<const BackEndCertificate>>;
  explicit CertificateListCollection(List certificates) : certificates_(std::move(certificates)) {}

  std::int32_t Count() const override { return static_cast<std::int32_t>(certificates_.size()); }
  // Fails with E_INVALIDARG for an index outside 1..Count.
  std::shared_ptr<const Certificate> Item(std::int32_t index) const override {
    if (index < 1 || index > Count()) throw crypt_failure(CryptError::invalid_parameter);
    return certificates_[static_cast<std::size_t>(index - 1)];
  }
  // Matches as certificate_matcher says.
  std::unique_ptr<CertificateCollection> Find(FindType type,
                                              const FindCriterion& criterion) const override {
    const auto matches = certificate_matcher<BackEndCertificate>(type, criterion);
    List found;
    for (const auto& certificate : certificates_) {
      if (matches(*certificate)) found.push_back(certificate);
    }
    return std::make_unique<CertificateListCollection>(std::move(found));
  }

 private:
  List certificates_;
};

}  // namespace orvane::provider
