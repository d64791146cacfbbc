#include "provider/openssl/certificate_collection.h"

#include <functional>

#include "provider/crypt_error.h"
#include "provider/openssl/chain_verification.h"
#include "provider/utc_time.h"

namespace orvane::provider::openssl {
namespace {

using Matcher = std::function<bool(const OpensslCertificate&)>;

Matcher matcher_for(FindType type, const FindCriterion& criterion) {
  if (type == FindType::extended_property) {
    const auto* property = std::get_if<std::int32_t>(&criterion);
    if (property == nullptr) throw crypt_failure(CryptError::invalid_parameter);
    if (*property != key_provider_info_property) return [](const auto&) { return false; };
    return [](const OpensslCertificate& certificate) { return certificate.has_key(); };
  }
  if (type == FindType::time_valid) {
    const auto* local_time = std::get_if<LocalDateTime>(&criterion);
    if (local_time == nullptr) throw crypt_failure(CryptError::invalid_parameter);
    return [moment = utc_seconds(*local_time)](const OpensslCertificate& certificate) {
      return certificate.valid_at(moment);
    };
  }
  throw crypt_failure(CryptError::invalid_parameter);
}

}  // namespace

OpensslCertificateCollection::OpensslCertificateCollection(CertificateList certificates,
                                                           std::shared_ptr<const StoreRoot> root)
    : certificates_(std::move(certificates)), root_(std::move(root)) {}

std::int32_t OpensslCertificateCollection::Count() const {
  return static_cast<std::int32_t>(certificates_.size());
}

std::shared_ptr<const Certificate> OpensslCertificateCollection::Item(std::int32_t index) const {
  if (index < 1 || index > Count()) throw crypt_failure(CryptError::invalid_parameter);
  return certificates_[static_cast<std::size_t>(index - 1)];
}

std::unique_ptr<CertificateCollection> OpensslCertificateCollection::Find(
    FindType type, const FindCriterion& criterion, bool valid_only) const {
  const Matcher matches = matcher_for(type, criterion);
  std::shared_ptr<const TrustMaterial> trust;
  if (valid_only) trust = load_trust(*root_);
  CertificateList found;
  for (const auto& certificate : certificates_) {
    if (!matches(*certificate)) continue;
    if (trust && chain_error(certificate->x509(), *trust, {})) continue;
    found.push_back(certificate);
  }
  return std::make_unique<OpensslCertificateCollection>(std::move(found), root_);
}

}  // namespace orvane::provider::openssl
