#pragma once

#include <optional>
#include <vector>

#include "provider/openssl/certificate.h"

namespace orvane::provider::openssl {

// A signer: the certificate that signs and its signing time, or a signer of a verified message.
class OpensslSigner final : public Signer {
 public:
  OpensslSigner() = default;

  // Takes certificates of this back end only; anything else fails with E_INVALIDARG.
  void SetCertificate(std::shared_ptr<const Certificate> certificate) override;
  // Takes the signing time; a second one fails with CRYPT_E_EXISTS, because a message may
  // carry one signing time only.
  void AddAuthenticatedAttribute(const Attribute& attribute) override;
  std::shared_ptr<const Certificate> GetCertificate() const override;

  // The bound certificate, or null.
  const OpensslCertificate* certificate() const { return certificate_.get(); }
  // The signing time that was added, if any.
  const std::optional<LocalDateTime>& signing_time() const { return signing_time_; }

 private:
  std::shared_ptr<const OpensslCertificate> certificate_;
  std::optional<LocalDateTime> signing_time_;
};

}  // namespace orvane::provider::openssl
