#include "provider/openssl/cms_signing.h"

#include <openssl/err.h>
#include <openssl/objects.h>
#include <openssl/sha.h>

#include <cstdint>
#include <ctime>
#include <limits>
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

// SHA-256 of the content where it lies: one pass, no copy through a chain of BIOs.
Bytes sha256_of(ByteView content) {
  Bytes digest(SHA256_DIGEST_LENGTH);
  unsigned int length = 0;
  if (EVP_Digest(content.data(), content.size(), digest.data(), &length, EVP_sha256(), nullptr) !=
      1) {
    fail(CryptError::bad_algorithm);
  }
  digest.resize(length);
  return digest;
}

// The content of an attached message, lent to it without a copy for as long as this lives:
// the encoded message is the one copy made of it. Must go before the message does.
class LentContent {
 public:
  LentContent(CMS_ContentInfo* message, ByteView content) {
    if (content.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
      fail(CryptError::invalid_parameter);
    }
    ASN1_OCTET_STRING** embedded = CMS_get0_content(message);
    if (embedded == nullptr || *embedded == nullptr) fail(CryptError::message_error);
    embedded_ = *embedded;
    ASN1_STRING_set0(embedded_, const_cast<std::uint8_t*>(content.data()),
                     static_cast<int>(content.size()));
    // The mark that the content is still to be streamed in; it now is in.
    embedded_->flags &= ~ASN1_STRING_FLAG_CONT;
  }
  LentContent(const LentContent&) = delete;
  LentContent& operator=(const LentContent&) = delete;
  ~LentContent() {
    // Taken back without freeing: the bytes are the caller's.
    embedded_->data = nullptr;
    embedded_->length = 0;
  }

 private:
  ASN1_OCTET_STRING* embedded_ = nullptr;
};

}  // namespace

SignedMessage sign_content(const SigningRequest& request, ByteView content, bool detached) {
  const int key_type = EVP_PKEY_get_base_id(request.private_key);
  if (key_type != EVP_PKEY_RSA && key_type != EVP_PKEY_EC) fail(CryptError::bad_algorithm);

  constexpr unsigned flags = CMS_BINARY | CMS_NOSMIMECAP | CMS_PARTIAL;
  const CmsPtr message(CMS_sign(nullptr, nullptr, nullptr, nullptr, flags));
  if (!message || CMS_set_detached(message.get(), detached ? 1 : 0) != 1) {
    fail(CryptError::message_error);
  }
  // Partial: the attributes are completed here and signed last, as CMS_final would, but over a
  // digest taken in place.
  CMS_SignerInfo* signer =
      CMS_add1_signer(message.get(), request.certificate, request.private_key, EVP_sha256(), flags);
  if (signer == nullptr) fail(CryptError::no_key);
  if (request.signing_time) add_signing_time(signer, *request.signing_time);
  for (X509* certificate : request.carried) {
    if (CMS_add1_cert(message.get(), certificate) != 1) fail(CryptError::message_error);
  }
  std::optional<LentContent> lent;
  if (!detached) lent.emplace(message.get(), content);

  ContentDigest content_digest{NID_sha256, sha256_of(content)};
  if (CMS_signed_add1_attr_by_NID(signer, NID_pkcs9_messageDigest, V_ASN1_OCTET_STRING,
                                  content_digest.value.data(),
                                  static_cast<int>(content_digest.value.size())) != 1 ||
      CMS_signed_add1_attr_by_NID(signer, NID_pkcs9_contentType, V_ASN1_OBJECT,
                                  CMS_get0_eContentType(message.get()), -1) != 1) {
    fail(CryptError::message_error);
  }
  if (CMS_SignerInfo_sign(signer) != 1) fail(CryptError::message_error);

  const int length = i2d_CMS_ContentInfo(message.get(), nullptr);
  if (length <= 0) fail(CryptError::bad_encode);
  SignedMessage signed_message{Bytes(static_cast<std::size_t>(length)), std::move(content_digest)};
  unsigned char* cursor = signed_message.der.data();
  if (i2d_CMS_ContentInfo(message.get(), &cursor) != length) fail(CryptError::bad_encode);
  return signed_message;
}

}  // namespace orvane::provider::openssl
