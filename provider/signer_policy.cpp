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
  static constexpr std::array<std::string_view, 6> signing_purposes = {
      "2.5.29.37.0",             // any extended key usage
      "1.3.6.1.5.5.7.3.4",       // e-mail protection
      "1.3.6.1.5.5.7.3.3",       // code signing
      "1.3.6.1.5.5.7.3.2",       // client authentication
      "1.3.6.1.4.1.311.20.2.2",  // smart-card logon
      "1.3.6.1.4.1.311.10.3.12"  // document signing
  };
  return std::any_of(usage.extended_key_usages->begin(), usage.extended_key_usages->end(),
                     [](const std::string& purpose) {
                       return std::find(signing_purposes.begin(), signing_purposes.end(),
                                        purpose) != signing_purposes.end();
                     });
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
