#include "provider/openssl/cms_signing.h"

#include <openssl/err.h>
#include <openssl/objects.h>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <optional>

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

// The size of a certificate's DER.
std::size_t encoded_size(X509* certificate) {
  const int size = i2d_X509(certificate, nullptr);
  return size > 0 ? static_cast<std::size_t>(size) : 0;
}

}  // namespace

OpensslSignatureSession::OpensslSignatureSession(SigningRequest request)
    : request_(std::move(request)), digest_(EVP_sha256()) {
  const int key_type = EVP_PKEY_get_base_id(request_.private_key);
  if (key_type != EVP_PKEY_RSA && key_type != EVP_PKEY_EC) fail(CryptError::bad_algorithm);
}

void OpensslSignatureSession::update(ByteView bytes) {
  digest_.update(bytes);
}

Bytes OpensslSignatureSession::finish() {
  digest_value_ = digest_.finish();
  constexpr unsigned flags = CMS_BINARY | CMS_NOSMIMECAP | CMS_PARTIAL;
  const CmsPtr message(CMS_sign(nullptr, nullptr, nullptr, nullptr, flags));
  if (!message || CMS_set_detached(message.get(), 1) != 1) fail(CryptError::message_error);
  // Partial: the attributes are completed here and signed last, as CMS_final would, but over the
  // digest taken as the content passed.
  CMS_SignerInfo* signer = CMS_add1_signer(message.get(), request_.certificate,
                                           request_.private_key, EVP_sha256(), flags);
  if (signer == nullptr) fail(CryptError::no_key);
  if (request_.signing_time) add_signing_time(signer, *request_.signing_time);
  for (X509* certificate : request_.carried) {
    if (CMS_add1_cert(message.get(), certificate) != 1) fail(CryptError::message_error);
  }
  if (CMS_signed_add1_attr_by_NID(signer, NID_pkcs9_messageDigest, V_ASN1_OCTET_STRING,
                                  digest_value_.data(),
                                  static_cast<int>(digest_value_.size())) != 1 ||
      CMS_signed_add1_attr_by_NID(signer, NID_pkcs9_contentType, V_ASN1_OBJECT,
                                  CMS_get0_eContentType(message.get()), -1) != 1) {
    fail(CryptError::message_error);
  }
  if (CMS_SignerInfo_sign(signer) != 1) fail(CryptError::message_error);

  const int length = i2d_CMS_ContentInfo(message.get(), nullptr);
  if (length <= 0) fail(CryptError::bad_encode);
  Bytes der(static_cast<std::size_t>(length));
  unsigned char* cursor = der.data();
  if (i2d_CMS_ContentInfo(message.get(), &cursor) != length) fail(CryptError::bad_encode);
  return der;
}

Bytes OpensslSignatureSession::expected_leading_fields() const {
  // Version 1 (the signer named by issuer and serial number, the content of type data), and the
  // one digest algorithm, as OpenSSL writes its identifier.
  const std::unique_ptr<X509_ALGOR, Free<X509_ALGOR_free>> algorithm(X509_ALGOR_new());
  if (!algorithm) fail(CryptError::message_error);
  X509_ALGOR_set_md(algorithm.get(), EVP_sha256());
  const int size = i2d_X509_ALGOR(algorithm.get(), nullptr);
  if (size <= 0 || size > 127) fail(CryptError::bad_encode);
  Bytes fields = {0x02, 0x01, 0x01, 0x31, static_cast<std::uint8_t>(size)};
  fields.resize(fields.size() + static_cast<std::size_t>(size));
  unsigned char* cursor = fields.data() + 5;
  i2d_X509_ALGOR(algorithm.get(), &cursor);
  return fields;
}

std::size_t OpensslSignatureSession::expected_trailing_size() const {
  // The certificates, and a signer info of the issuer's name, the serial number, three
  // attributes, two algorithm identifiers and the longest signature of the key.
  std::size_t size = encoded_size(request_.certificate) + 512;
  for (X509* certificate : request_.carried) size += encoded_size(certificate);
  const X509_NAME* issuer = X509_get_issuer_name(request_.certificate);
  size += static_cast<std::size_t>(std::max(0, i2d_X509_NAME(issuer, nullptr)));
  return size + static_cast<std::size_t>(std::max(0, EVP_PKEY_get_size(request_.private_key)));
}

std::unique_ptr<Digest> OpensslSignatureSession::new_content_digest() const {
  return std::make_unique<EvpDigest>(EVP_sha256());
}

}  // namespace orvane::provider::openssl
