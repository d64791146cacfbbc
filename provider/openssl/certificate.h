#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "provider/openssl/handles.h"
#include "provider/openssl/private_key.h"
#include "provider/provider.h"

namespace orvane::provider::openssl {

// Where a private key that is not in the process lives (a token): it keeps what the key needs
// alive, and readies the key for each signature.
class KeyDevice {
 public:
  virtual ~KeyDevice() = default;
  // Readies the key for one signature; the signature ends when the returned object is
  // released. Fails with the device's code when the key cannot be used (a refused PIN, say).
  [[nodiscard]] virtual std::shared_ptr<void> begin_signature() const = 0;
};

// A certificate of a store or of a message, with the private key that its store holds for it
// (none for certificates of messages and chains).
class OpensslCertificate final : public Certificate {
 public:
  // A key on a device comes with its `device`; a device without a key stands for a key that
  // the device holds but cannot reach yet, and signing with it fails with the device's code.
  OpensslCertificate(X509Ptr x509, std::shared_ptr<const StoredKey> private_key,
                     std::shared_ptr<const KeyDevice> device = nullptr);

  Text SerialNumber() const override;

  // The certificate; owned by this object.
  X509* x509() const { return x509_.get(); }
  // The matching private key, decoded on first use; null when the store holds none, cannot
  // reach it or cannot decode it.
  EVP_PKEY* private_key() const { return private_key_ ? private_key_->get() : nullptr; }
  // The device that holds the key, or null for a key of a store folder.
  const KeyDevice* device() const { return device_.get(); }
  // Whether the store holds a private key for the certificate: the key-provider property.
  bool has_key() const { return private_key_ != nullptr || device_ != nullptr; }
  // Whether `utc_seconds` lies within the validity period, both ends included.
  bool valid_at(std::int64_t utc_seconds) const;

 private:
  // First, so that it outlives the key that needs it.
  std::shared_ptr<const KeyDevice> device_;
  X509Ptr x509_;
  std::shared_ptr<const StoredKey> private_key_;
  // Read once: a store's certificates are compared again on every call of a long-lived host.
  mutable std::once_flag read_;
  mutable Text serial_number_;
  mutable std::optional<std::int64_t> not_before_;
  mutable std::optional<std::int64_t> not_after_;
  void read_fields() const;
};

using CertificateList = std::vector<std::shared_ptr<const OpensslCertificate>>;

// Seconds since 1970 of a certificate time; nothing when the field cannot be read.
std::optional<std::int64_t> seconds_of(const ASN1_TIME* time);

// The serial number as callers compare it: upper-case hexadecimal of the DER INTEGER's
// content octets, two digits an octet, a leading 00 octet kept.
Text serial_number_text(const X509* x509);

// The certificates of `list` without their keys, for chains and messages.
CertificateList certificates_without_keys(const std::vector<X509Ptr>& list);

}  // namespace orvane::provider::openssl
