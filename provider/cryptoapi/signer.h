#pragma once

#include <optional>

#include "provider/cryptoapi/certificate.h"

namespace orvane::provider::cryptoapi {

// A signer: the certificate that signs and its signing time, or a signer of a verified
// message with its own certificate.
class CryptoapiSigner final : public Signer {
 public:
  // Takes certificates of this back end only; anything else fails with E_INVALIDARG.
  void SetCertificate(std::shared_ptr<const Certificate> certificate) override;
  void AddAuthenticatedAttribute(const Attribute& attribute) override;
  // CRYPT_E_NOT_FOUND when none is bound.
  std::shared_ptr<const Certificate> GetCertificate() const override;

  // The bound certificate, or null.
  const CryptoapiCertificate* certificate() const { return certificate_.get(); }
  // The signing time that was added, if any.
  const std::optional<LocalDateTime>& signing_time() const { return signing_time_; }

 private:
  std::shared_ptr<const CryptoapiCertificate> certificate_;
  std::optional<LocalDateTime> signing_time_;
};

}  // namespace orvane::provider::cryptoapi
