#include "provider/crypt_error.h"

namespace orvane::provider {

Text crypt_error_text(CryptError error) {
  switch (error) {
    case CryptError::access_denied:
      return u"Access is denied.";
    case CryptError::invalid_parameter:
      return u"The parameter is incorrect.";
    case CryptError::bad_signature:
      return u"Invalid Signature.";
    case CryptError::bad_algorithm:
      return u"Invalid algorithm specified.";
    case CryptError::no_key:
      return u"Key does not exist.";
    case CryptError::message_error:
      return u"An error occurred while performing an operation on a cryptographic message.";
    case CryptError::unknown_algorithm:
      return u"Unknown cryptographic algorithm.";
    case CryptError::invalid_message_type:
      return u"Invalid cryptographic message type.";
    case CryptError::attribute_missing:
      return u"The cryptographic message does not contain an expected authenticated attribute.";
    case CryptError::hash_value:
      return u"The hash value is not correct.";
    case CryptError::invalid_index:
      return u"The index value is not valid.";
    case CryptError::signer_not_found:
      return u"Cannot find the original signer.";
    case CryptError::bad_encode:
      return u"An error occurred during encode or decode operation.";
    case CryptError::not_found:
      return u"Cannot find object or property.";
    case CryptError::exists:
      return u"The object or property already exists.";
    case CryptError::bad_message:
      return u"Not a cryptographic message or the cryptographic message is not formatted "
             u"correctly.";
    case CryptError::no_signer:
      return u"The signed cryptographic message does not have a signer for the specified signer "
             u"index.";
    case CryptError::revoked:
      return u"The certificate is revoked.";
    case CryptError::no_revocation_check:
      return u"The revocation function was unable to check revocation for the certificate.";
    case CryptError::revocation_offline:
      return u"The revocation function was unable to check revocation because the revocation "
             u"server was offline.";
    case CryptError::asn1_end_of_data:
      return u"ASN1 unexpected end of data.";
    case CryptError::asn1_corrupt:
      return u"ASN1 corrupted data.";
    case CryptError::asn1_large:
      return u"ASN1 value too large.";
    case CryptError::asn1_bad_tag:
      return u"ASN1 bad tag value met.";
    case CryptError::certificate_signature:
      return u"The signature of the certificate cannot be verified.";
    case CryptError::expired:
      return u"A required certificate is not within its validity period when verifying against "
             u"the current system clock or the timestamp in the signed file.";
    case CryptError::role:
      return u"A certificate that can only be used as an end-entity is being used as a CA or "
             u"vice versa.";
    case CryptError::path_length:
      return u"A path length constraint in the certification chain has been violated.";
    case CryptError::critical_extension:
      return u"A certificate contains an unknown extension that is marked 'critical'.";
    case CryptError::untrusted_root:
      return u"A certificate chain processed, but terminated in a root certificate which is not "
             u"trusted by the trust provider.";
    case CryptError::chaining:
      return u"A certificate chain could not be built to a trusted root authority.";
    case CryptError::trust_failure:
      return u"Generic trust failure.";
    case CryptError::wrong_usage:
      return u"The certificate is not valid for the requested usage.";
    case CryptError::invalid_policy:
      return u"The certificate has invalid policy.";
    case CryptError::invalid_name:
      return u"The certificate has an invalid name. The name is not included in the permitted "
             u"list or is explicitly excluded.";
    case CryptError::no_smart_card:
      return u"The operation requires a Smart Card, but no Smart Card is currently in the device.";
    case CryptError::unexpected_card_error:
      return u"An unexpected card error has occurred.";
    case CryptError::wrong_pin:
      return u"The card cannot be accessed because the wrong PIN was presented.";
    case CryptError::pin_blocked:
      return u"The card cannot be accessed because the maximum number of PIN entry attempts has "
             u"been reached.";
    case CryptError::cancelled_by_user:
      return u"The action was cancelled by the user.";
    case CryptError::no_pin_presented:
      return u"No PIN was presented to the smart card.";
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
