#include "provider/signer_policy.h"

#include <algorithm>
#include <array>

namespace orvane::provider {

CryptError crypt_error_of(SignerFault fault) {
  switch (fault) {
    case SignerFault::usage:
      // What the chain engine's base policy reports for a certificate not valid for the
      // requested usage.
      return CryptError::wrong_usage;
    case SignerFault::weak_message_digest:
      // What CryptoAPI answers when it is asked to use an algorithm it refuses.
      return CryptError::bad_algorithm;
    case SignerFault::weak_certificate:
      // The chain engine marks a weak signature or key as an invalid signature
      // (CERT_TRUST_IS_NOT_SIGNATURE_VALID with CERT_TRUST_HAS_WEAK_SIGNATURE), which the base
      // policy reports as this.
      return CryptError::certificate_signature;
    case SignerFault::content_type:
      // The signer vouches for another type of message than the one it came in.
      return CryptError::invalid_message_type;
  }
  return CryptError::trust_failure;
}

bool allows_signing(const SignerUsage& usage) {
  if (usage.key_usage && !usage.key_usage->digital_signature && !usage.key_usage->non_repudiation) {
    return false;
  }
  if (!usage.extended_key_usages) return true;
  // Purposes whose certificates are known to be for something else than signing documents. Any
  // purpose not named here may be an organisation's own document-signing OID, so it is
  // accepted, as are any purpose, e-mail protection, code signing, client authentication,
  // smart-card logon and document signing.
  static constexpr std::array<std::string_view, 12> other_purposes = {
      "1.3.6.1.5.5.7.3.1",         // TLS server authentication
      "1.3.6.1.5.5.7.3.5",         // IPsec end system
      "1.3.6.1.5.5.7.3.6",         // IPsec tunnel
      "1.3.6.1.5.5.7.3.7",         // IPsec user
      "1.3.6.1.5.5.7.3.17",        // IPsec IKE
      "1.3.6.1.5.5.8.2.2",         // IKE intermediate
      "1.3.6.1.5.5.7.3.8",         // time stamping
      "1.3.6.1.4.1.311.10.3.2",    // Microsoft time stamping
      "1.3.6.1.5.5.7.3.9",         // OCSP signing
      "1.3.6.1.5.2.3.5",           // Kerberos KDC
      "1.3.6.1.4.1.311.10.3.4",    // EFS
      "1.3.6.1.4.1.311.10.3.4.1",  // EFS recovery
  };
  const auto is_other = [](const std::string& purpose) {
    return std::find(other_purposes.begin(), other_purposes.end(), purpose) != other_purposes.end();
  };
  // An extension that lists nothing (or could not be read) names no purpose to sign for.
  const auto& purposes = *usage.extended_key_usages;
  return !purposes.empty() && !std::all_of(purposes.begin(), purposes.end(), is_other);
}

bool is_weak_digest(std::string_view digest) {
  return digest == "1.2.840.113549.2.5"      // MD5
         || digest == "1.2.840.113549.2.4"   // MD4
         || digest == "1.2.840.113549.2.2";  // MD2
}

bool is_weak_rsa_key(int bits) {
  return bits < 1024;
}

}  // namespace orvane::provider
