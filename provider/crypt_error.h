#pragma once

#include <cstdint>

#include "runtime/failure.h"
#include "runtime/text.h"

namespace orvane::provider {

// The CryptoAPI status codes that the provider back ends report, with the values Windows
// gives them, so that a caller sees the same number on every platform.
enum class CryptError : std::uint32_t {
  access_denied = 0x80070005,          // E_ACCESSDENIED
  invalid_parameter = 0x80070057,      // E_INVALIDARG
  http_timed_out = 0x80072EE2,         // HRESULT of ERROR_WINHTTP_TIMEOUT
  http_cannot_connect = 0x80072EFD,    // HRESULT of ERROR_WINHTTP_CANNOT_CONNECT
  bad_signature = 0x80090006,          // NTE_BAD_SIGNATURE
  bad_algorithm = 0x80090008,          // NTE_BAD_ALGID
  no_key = 0x8009000D,                 // NTE_NO_KEY
  message_error = 0x80091001,          // CRYPT_E_MSG_ERROR
  unknown_algorithm = 0x80091002,      // CRYPT_E_UNKNOWN_ALGO
  invalid_message_type = 0x80091004,   // CRYPT_E_INVALID_MSG_TYPE
  attribute_missing = 0x80091006,      // CRYPT_E_AUTH_ATTR_MISSING
  hash_value = 0x80091007,             // CRYPT_E_HASH_VALUE
  invalid_index = 0x80091008,          // CRYPT_E_INVALID_INDEX
  signer_not_found = 0x8009100E,       // CRYPT_E_SIGNER_NOT_FOUND
  bad_encode = 0x80092002,             // CRYPT_E_BAD_ENCODE
  not_found = 0x80092004,              // CRYPT_E_NOT_FOUND
  exists = 0x80092005,                 // CRYPT_E_EXISTS
  bad_message = 0x8009200D,            // CRYPT_E_BAD_MSG
  no_signer = 0x8009200E,              // CRYPT_E_NO_SIGNER
  revoked = 0x80092010,                // CRYPT_E_REVOKED
  no_revocation_check = 0x80092012,    // CRYPT_E_NO_REVOCATION_CHECK
  revocation_offline = 0x80092013,     // CRYPT_E_REVOCATION_OFFLINE
  asn1_end_of_data = 0x80093102,       // CRYPT_E_ASN1_EOD
  asn1_corrupt = 0x80093103,           // CRYPT_E_ASN1_CORRUPT
  asn1_large = 0x80093104,             // CRYPT_E_ASN1_LARGE
  asn1_bad_tag = 0x8009310B,           // CRYPT_E_ASN1_BADTAG
  certificate_signature = 0x80096004,  // TRUST_E_CERT_SIGNATURE
  time_stamp = 0x80096005,             // TRUST_E_TIME_STAMP
  expired = 0x800B0101,                // CERT_E_EXPIRED
  role = 0x800B0103,                   // CERT_E_ROLE
  path_length = 0x800B0104,            // CERT_E_PATHLENCONST
  critical_extension = 0x800B0105,     // CERT_E_CRITICAL
  untrusted_root = 0x800B0109,         // CERT_E_UNTRUSTEDROOT
  chaining = 0x800B010A,               // CERT_E_CHAINING
  trust_failure = 0x800B010B,          // TRUST_E_FAIL
  wrong_usage = 0x800B0110,            // CERT_E_WRONG_USAGE
  invalid_policy = 0x800B0113,         // CERT_E_INVALID_POLICY
  invalid_name = 0x800B0114,           // CERT_E_INVALID_NAME
  no_smart_card = 0x8010000C,          // SCARD_E_NO_SMARTCARD
  unexpected_card_error = 0x8010001F,  // SCARD_E_UNEXPECTED
  wrong_pin = 0x8010006B,              // SCARD_W_WRONG_CHV
  pin_blocked = 0x8010006C,            // SCARD_W_CHV_BLOCKED
  cancelled_by_user = 0x8010006E,      // SCARD_W_CANCELLED_BY_USER
  no_pin_presented = 0x8010006F,       // SCARD_W_CARD_NOT_AUTHENTICATED
};

// The standard Windows message text of `error`, as FormatMessage gives it in English.
Text crypt_error_text(CryptError error);

// The failure number of `error`: its 32 bits read as a signed value, so always negative.
std::int32_t crypt_error_number(CryptError error);

// A Failure with the code's number and standard text, for the back ends to throw.
Failure crypt_failure(CryptError error);

}  // namespace orvane::provider
