#include "provider/openssl/cms_signing.h"

#include <openssl/err.h>
#include <openssl/objects.h>

#include <ctime>

#include "provider/crypt_error.h"
#include "provider/utc_time.h"

namespace orvane::provider::openssl {
namespace {

[[noreturn]] void fail(CryptError error) {
  ERR_clear_error();
  throw crypt_failure(error);
}

void add_signing_time(CMS_SignerInfo* signer, const LocalDateTime& local_time) {
  // ASN1_TIME_adj picks UTCTime for 1950 to 2049 and GeneralizedTime otherwise, the rule
  // that CMS sets for this attribute.
  const Asn1TimePtr time(
      ASN1_TIME_adj(nullptr, static_cast<std::time_t>(utc_seconds(local_time)), 0, 0));
  if (!time || CMS_signed_add1_attr_by_NID(signer, NID_pkcs9_signingTime,
                                           ASN1_STRING_type(time.get()), time.get(), -1) != 1) {
    fail(CryptError::invalid_parameter);
  }
}

}  // namespace

SignedMessage sign_content(const SigningRequest& request, ByteView content, bool detached) {
  const int key_type = EVP_PKEY_get_base_id(request.private_key);
  if (key_type != EVP_PKEY_RSA && key_type != EVP_PKEY_EC) fail(CryptError::bad_algorithm);

  constexpr unsigned flags = CMS_BINARY | CMS_NOSMIMECAP | CMS_PARTIAL;
  const CmsPtr message(CMS_sign(nullptr, nullptr, nullptr, nullptr, flags));
  if (!message || CMS_set_detached(message.get(), detached ? 1 : 0) != 1) {
    fail(CryptError::message_error);
  }
  // Partial: the signature is made by CMS_final, after the signing time is in place.
  CMS_SignerInfo* signer =
      CMS_add1_signer(message.get(), request.certificate, request.private_key, EVP_sha256(), flags);
  if (signer == nullptr) fail(CryptError::no_key);
  if (request.signing_time) add_signing_time(signer, *request.signing_time);
  for (X509* certificate : request.carried) {
    if (CMS_add1_cert(message.get(), certificate) != 1) fail(CryptError::message_error);
  }

  const BioPtr reader = read_only_bio(content);
  if (CMS_final(message.get(), reader.get(), nullptr, CMS_BINARY) != 1) {
    fail(CryptError::message_error);
  }

  const int length = i2d_CMS_ContentInfo(message.get(), nullptr);
  if (length <= 0) fail(CryptError::bad_encode);
  SignedMessage signed_message{Bytes(static_cast<std::size_t>(length)), {}};
  unsigned char* cursor = signed_message.der.data();
  if (i2d_CMS_ContentInfo(message.get(), &cursor) != length) fail(CryptError::bad_encode);
  const auto* digest = static_cast<const ASN1_OCTET_STRING*>(CMS_signed_get0_data_by_OBJ(
      signer, OBJ_nid2obj(NID_pkcs9_messageDigest), -3, V_ASN1_OCTET_STRING));
  if (digest == nullptr) fail(CryptError::attribute_missing);
  const unsigned char* value = ASN1_STRING_get0_data(digest);
  signed_message.content_digest = {NID_sha256, Bytes(value, value + ASN1_STRING_length(digest))};
  return signed_message;
}

}  // namespace orvane::provider::openssl
