#pragma once

#include <optional>

#include "provider/cryptoapi/certificate.h"

namespace orvane::provider::cryptoapi {

// A signer: the certificate that signs and its signing time, or a signer of a verified
// message with the certificates that message carried.
class CryptoapiSigner final : public Signer {
 public:
  explicit CryptoapiSigner(StoreHandle carried = {});

  // Takes certificates of this back end only; anything else fails with E_INVALIDARG.
  void SetCertificate(std::shared_ptr<const Certificate> certificate) override;
  void AddAuthenticatedAttribute(const Attribute& attribute) override;
  // The chain of the bound certificate as the platform builds it from the user's stores and the
  // carried certificates, its own certificate first;
  // CRYPT_E_NOT_FOUND when none is bound.
  std::unique_ptr<CertificateCollection> Chain() const override;

  // The bound certificate, or null.
  const CryptoapiCertificate* certificate() const { return certificate_.get(); }
  // The signing time that was added, if any.
  const std::optional<LocalDateTime>& signing_time() const { return signing_time_; }

 private:
  StoreHandle carried_;
  std::shared_ptr<const CryptoapiCertificate> certificate_;
  std::optional<LocalDateTime> signing_time_;
};

}  // namespace orvane::provider::cryptoapi
