#pragma once

// Makes certificates and keys at run time: the demo's throwaway PKI and the tests' PKI are
// both made here, so neither carries a private key in the source tree.

#include <cstdint>
#include <string>

#include "provider/openssl/handles.h"

namespace orvane::provider::openssl {

// What a new certificate says about its subject and its use.
struct CertificateProfile {
  std::string organisation;
  std::string common_name;
  // Hexadecimal; "00C3" keeps its leading zero octet in the DER serial number.
  std::string serial_hex;
  // A CA certificate (may sign certificates) or an end entity (may sign messages).
  bool authority = false;
  // The validity period in seconds since 1970 UTC, both ends included.
  std::int64_t not_before = 0;
  std::int64_t not_after = 0;
};

// A certificate together with its private key.
struct KeyedCertificate {
  X509Ptr certificate;
  EvpPkeyPtr key;
};

// A new EC P-256 key. Throws std::runtime_error when OpenSSL cannot make one.
EvpPkeyPtr make_ec_key();

// A new RSA key of `bits` bits. Throws std::runtime_error when OpenSSL cannot make one.
EvpPkeyPtr make_rsa_key(int bits);

// A certificate for `key` signed with SHA-256 by `issuer`, or by `key` itself when `issuer` is
// null. Throws std::runtime_error naming the step that failed.
KeyedCertificate issue_certificate(const CertificateProfile& profile, EvpPkeyPtr key,
                                   const KeyedCertificate* issuer);

// `bytes` random bytes as upper-case hexadecimal, the first one below 0x80 and not 0, so that
// the DER serial number needs no sign octet.
std::string random_serial_hex(int bytes);

}  // namespace orvane::provider::openssl
