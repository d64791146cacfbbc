#include "provider/crypt_error.h"

namespace orvane::provider {
namespace {

// Windows' standard English text of each code, as FormatMessage gives it.
struct CodeText {
  CryptError error;
  const char16_t* text;
};

constexpr CodeText texts[] = {
    {CryptError::access_denied, u"Access is denied."},
    {CryptError::invalid_parameter, u"The parameter is incorrect."},
    {CryptError::bad_signature, u"Invalid Signature."},
    {CryptError::bad_algorithm, u"Invalid algorithm specified."},
    {CryptError::no_key, u"Key does not exist."},
    {CryptError::message_error,
     u"An error occurred while performing an operation on a cryptographic message."},
    {CryptError::unknown_algorithm, u"Unknown cryptographic algorithm."},
    {CryptError::invalid_message_type, u"Invalid cryptographic message type."},
    {CryptError::attribute_missing,
     u"The cryptographic message does not contain an expected authenticated attribute."},
    {CryptError::hash_value, u"The hash value is not correct."},
    {CryptError::invalid_index, u"The index value is not valid."},
    {CryptError::signer_not_found, u"Cannot find the original signer."},
    {CryptError::bad_encode, u"An error occurred during encode or decode operation."},
    {CryptError::not_found, u"Cannot find object or property."},
    {CryptError::exists, u"The object or property already exists."},
    {CryptError::bad_message,
     u"Not a cryptographic message or the cryptographic message is not formatted correctly."},
    {CryptError::no_signer,
     u"The signed cryptographic message does not have a signer for the specified signer index."},
    {CryptError::revoked, u"The certificate is revoked."},
    {CryptError::no_revocation_check,
     u"The revocation function was unable to check revocation for the certificate."},
    {CryptError::revocation_offline,
     u"The revocation function was unable to check revocation because the revocation server was "
     u"offline."},
    {CryptError::asn1_end_of_data, u"ASN1 unexpected end of data."},
    {CryptError::asn1_corrupt, u"ASN1 corrupted data."},
    {CryptError::asn1_large, u"ASN1 value too large."},
    {CryptError::asn1_bad_tag, u"ASN1 bad tag value met."},
    {CryptError::certificate_signature, u"The signature of the certificate cannot be verified."},
    {CryptError::time_stamp,
     u"The time stamp signature and/or certificate could not be verified or is malformed."},
    {CryptError::expired,
     u"A required certificate is not within its validity period when verifying against the current "
     u"system clock or the timestamp in the signed file."},
    {CryptError::role,
     u"A certificate that can only be used as an end-entity is being used as a CA or vice versa."},
    {CryptError::path_length,
     u"A path length constraint in the certification chain has been violated."},
    {CryptError::critical_extension,
     u"A certificate contains an unknown extension that is marked 'critical'."},
    {CryptError::untrusted_root,
     u"A certificate chain processed, but terminated in a root certificate which is not trusted by "
     u"the trust provider."},
    {CryptError::chaining, u"A certificate chain could not be built to a trusted root authority."},
    {CryptError::trust_failure, u"Generic trust failure."},
    {CryptError::wrong_usage, u"The certificate is not valid for the requested usage."},
    {CryptError::invalid_policy, u"The certificate has invalid policy."},
    {CryptError::invalid_name,
     u"The certificate has an invalid name. The name is not included in the permitted list or is "
     u"explicitly excluded."},
    {CryptError::http_timed_out, u"The operation timed out"},
    {CryptError::http_cannot_connect, u"A connection with the server could not be established"},
    {CryptError::no_smart_card,
     u"The operation requires a Smart Card, but no Smart Card is currently in the device."},
    {CryptError::unexpected_card_error, u"An unexpected card error has occurred."},
    {CryptError::wrong_pin, u"The card cannot be accessed because the wrong PIN was presented."},
    {CryptError::pin_blocked,
     u"The card cannot be accessed because the maximum number of PIN entry attempts has been "
     u"reached."},
    {CryptError::cancelled_by_user, u"The action was cancelled by the user."},
    {CryptError::no_pin_presented, u"No PIN was presented to the smart card."},
};

}  // namespace

Text crypt_error_text(CryptError error) {
  for (const CodeText& entry : texts) {
    if (entry.error == error) return entry.text;
  }
  return u"An error occurred while performing an operation on a cryptographic message.";
}

std::int32_t crypt_error_number(CryptError error) {
  // Two's complement, as an HRESULT reads when it is taken as a signed 32-bit number.
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(error));
}

Failure crypt_failure(CryptError error) {
  return Failure(crypt_error_number(error), crypt_error_text(error));
}

}  // namespace orvane::provider
