#pragma once

#include <optional>
#include <vector>

#include "provider/openssl/certificate.h"
#include "provider/openssl/store_root.h"

namespace orvane::provider::openssl {

// A signer: the certificate that signs and its signing time, or a signer of a verified
// message with the certificates that message carried.
class OpensslSigner final : public Signer {
 public:
  explicit OpensslSigner(std::shared_ptr<const StoreRoot> root, std::vector<X509Ptr> carried = {});

  // Takes certificates of this back end only; anything else fails with E_INVALIDARG.
  void SetCertificate(std::shared_ptr<const Certificate> certificate) override;
  // Takes the signing time; a second one fails with CRYPT_E_EXISTS, because a message may
  // carry one signing time only.
  void AddAuthenticatedAttribute(const Attribute& attribute) override;
  // The chain of the bound certificate as far as the stores and the carried certificates
  // build it, its own certificate first; CRYPT_E_NOT_FOUND when none is bound.
  std::unique_ptr<CertificateCollection> Chain() const override;

  // The bound certificate, or null.
  const OpensslCertificate* certificate() const { return certificate_.get(); }
  // The signing time that was added, if any.
  const std::optional<LocalDateTime>& signing_time() const { return signing_time_; }

 private:
  std::shared_ptr<const StoreRoot> root_;
  std::vector<X509Ptr> carried_;
  std::shared_ptr<const OpensslCertificate> certificate_;
  std::optional<LocalDateTime> signing_time_;
};

}  // namespace orvane::provider::openssl
