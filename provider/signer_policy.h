#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "provider/crypt_error.h"

namespace orvane::provider {

// What a verification asks of a signer beyond a valid signature and a chain to a trusted root,
// and the CryptoAPI code of each refusal. Every back end judges by this one table, so the same
// signer is refused with the same number on every platform. Signing is not judged by it.

// The refusals of the signer policy.
enum class SignerFault {
  // The signer's certificate is not for signing: key usage without digital signature and
  // non-repudiation, or extended key usage that lists only purposes known to be others.
  usage,
  // The message's digest is MD5, MD4 or MD2.
  weak_message_digest,
  // A certificate of the chain is signed with MD5, MD4 or MD2, or has an RSA key under 1,024
  // bits.
  weak_certificate,
  // The signed content-type attribute names another type than the message carries.
  content_type,
};

// The code that Windows reports for the same case.
CryptError crypt_error_of(SignerFault fault);

// A signer certificate's usage extensions, as a back end reads them.
struct SignerUsage {
  // Nothing when the certificate has no key-usage extension, which restricts nothing.
  struct KeyUsage {
    bool digital_signature = false;
    bool non_repudiation = false;
  };
  std::optional<KeyUsage> key_usage;
  // The purposes of the extended-key-usage extension, as dotted OIDs; nothing without one.
  std::optional<std::vector<std::string>> extended_key_usages;
};

// Whether a certificate with `usage` may sign messages: its key usage allows signatures, and its
// extended key usage lists some purpose that is not known to be another than signing (an
// organisation's own purpose counts as signing).
bool allows_signing(const SignerUsage& usage);

// Whether the digest algorithm with the dotted OID `digest` is too weak to trust. SHA-1 is not:
// stored signatures and certificates use it.
bool is_weak_digest(std::string_view digest);

// Whether an RSA key of `bits` bits is too short to trust.
bool is_weak_rsa_key(int bits);

}  // namespace orvane::provider
