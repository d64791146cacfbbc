#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "provider/provider.h"
#include "runtime/windows/owned.h"

namespace orvane::provider::cryptoapi {

// A certificate of a store or of a message, over its own reference to the certificate context.
class CryptoapiCertificate final : public Certificate {
 public:
  explicit CryptoapiCertificate(windows::CertificateContextHandle context);

  Text SerialNumber() const override;

  // The context; owned by this object.
  PCCERT_CONTEXT context() const { return context_.get(); }
  // Whether the store holds a private key for the certificate: the key-provider property.
  bool has_key() const;
  // Whether `utc_seconds` (since 1970) lies within the validity period, both ends included.
  bool valid_at(std::int64_t utc_seconds) const;

 private:
  windows::CertificateContextHandle context_;
};

// A property of a certificate context; empty when it has none.
std::vector<BYTE> certificate_property(PCCERT_CONTEXT certificate, DWORD id);

using CertificateList = std::vector<std::shared_ptr<const CryptoapiCertificate>>;

}  // namespace orvane::provider::cryptoapi
