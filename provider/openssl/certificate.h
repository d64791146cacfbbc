#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "provider/openssl/handles.h"
#include "provider/provider.h"

namespace orvane::provider::openssl {

// A certificate of a store or of a message, with the private key that its store holds for it
// (none for certificates of messages and chains).
class OpensslCertificate final : public Certificate {
 public:
  OpensslCertificate(X509Ptr x509, EvpPkeyPtr private_key);

  Text SerialNumber() const override;

  // The certificate; owned by this object.
  X509* x509() const { return x509_.get(); }
  // The matching private key, or null when the store holds none.
  EVP_PKEY* private_key() const { return private_key_.get(); }
  // Whether `utc_seconds` lies within the validity period, both ends included.
  bool valid_at(std::int64_t utc_seconds) const;

 private:
  X509Ptr x509_;
  EvpPkeyPtr private_key_;
};

using CertificateList = std::vector<std::shared_ptr<const OpensslCertificate>>;

// The serial number as callers compare it: upper-case hexadecimal of the DER INTEGER's
// content octets, two digits an octet, a leading 00 octet kept.
Text serial_number_text(const X509* x509);

// The certificates of `list` without their keys, for chains and messages.
CertificateList certificates_without_keys(const std::vector<X509Ptr>& list);

}  // namespace orvane::provider::openssl
