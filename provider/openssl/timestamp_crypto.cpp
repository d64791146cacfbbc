#include "provider/openssl/timestamp_crypto.h"

#include <openssl/err.h>
#include <openssl/objects.h>
#include <openssl/rand.h>
#include <openssl/x509v3.h>

#include <string>

#include "provider/crypt_error.h"
#include "provider/openssl/certificate.h"
#include "provider/openssl/certificate_summary.h"
#include "provider/openssl/signer_policy_check.h"
#include "runtime/text.h"

namespace orvane::provider::openssl {
namespace {

using ObjectStackPtr = std::unique_ptr<EXTENDED_KEY_USAGE, Free<EXTENDED_KEY_USAGE_free>>;

[[noreturn]] void refuse(const std::string& why) {
  ERR_clear_error();
  throw timestamp_failure(why);
}

std::string error_text(CryptError error) {
  return text_to_utf8(crypt_error_text(error));
}

// The token's signer among its own certificates and the store's authorities.
X509* token_signer(CMS_SignerInfo* signer, const std::vector<X509Ptr>& carried,
                   const TrustMaterial& trust) {
  for (const auto* list : {&carried, &trust.intermediates}) {
    for (const auto& certificate : *list) {
      if (CMS_SignerInfo_cert_cmp(signer, certificate.get()) == 0) return certificate.get();
    }
  }
  refuse("the authority's certificate is neither in the token nor in the store");
}

// RFC 3161: the one purpose of an authority's key is time stamping, and it says so critically,
// so that no other use of the key can pass for a timestamp.
void check_time_stamping_usage(X509* certificate) {
  int critical = 0;
  const ObjectStackPtr usage(static_cast<EXTENDED_KEY_USAGE*>(
      X509_get_ext_d2i(certificate, NID_ext_key_usage, &critical, nullptr)));
  if (!usage || sk_ASN1_OBJECT_num(usage.get()) != 1 ||
      OBJ_obj2nid(sk_ASN1_OBJECT_value(usage.get(), 0)) != NID_time_stamp) {
    refuse("the authority's certificate is not for time stamping alone");
  }
  if (critical != 1) refuse("the authority's certificate does not make its usage critical");
}

}  // namespace

OpensslTimestampCrypto::OpensslTimestampCrypto(std::shared_ptr<const TrustMaterial> trust)
    : trust_(std::move(trust)) {}

Bytes OpensslTimestampCrypto::digest(std::string_view algorithm, ByteView data) const {
  const std::string name(algorithm);
  const std::unique_ptr<ASN1_OBJECT, Free<ASN1_OBJECT_free>> object(OBJ_txt2obj(name.c_str(), 1));
  const EVP_MD* type = object ? EVP_get_digestbyobj(object.get()) : nullptr;
  ERR_clear_error();
  if (type == nullptr || EVP_MD_get_size(type) <= 0) return {};
  Bytes value(static_cast<std::size_t>(EVP_MD_get_size(type)));
  unsigned int length = 0;
  if (EVP_Digest(data.data(), data.size(), value.data(), &length, type, nullptr) != 1) {
    ERR_clear_error();
    return {};
  }
  value.resize(length);
  return value;
}

Bytes OpensslTimestampCrypto::random(std::size_t count) const {
  Bytes bytes(count);
  if (RAND_bytes(bytes.data(), static_cast<int>(count)) != 1) {
    ERR_clear_error();
    throw crypt_failure(CryptError::message_error);
  }
  return bytes;
}

std::string OpensslTimestampCrypto::verify_token_signature(ByteView token, std::int64_t time,
                                                           std::int64_t now) const {
  const unsigned char* cursor = token.data();
  const CmsPtr message(d2i_CMS_ContentInfo(nullptr, &cursor, static_cast<long>(token.size())));
  if (!message || cursor != token.data() + token.size() ||
      OBJ_obj2nid(CMS_get0_type(message.get())) != NID_pkcs7_signed ||
      OBJ_obj2nid(CMS_get0_eContentType(message.get())) != NID_id_smime_ct_TSTInfo) {
    refuse("the token is no signed TSTInfo");
  }
  STACK_OF(CMS_SignerInfo)* signers = CMS_get0_SignerInfos(message.get());
  if (sk_CMS_SignerInfo_num(signers) != 1) refuse("the token has not exactly one signer");
  CMS_SignerInfo* signer = sk_CMS_SignerInfo_value(signers, 0);
  std::vector<X509Ptr> carried;
  if (STACK_OF(X509)* certificates = CMS_get1_certs(message.get())) {
    for (int i = 0; i < sk_X509_num(certificates); ++i) {
      carried.emplace_back(sk_X509_value(certificates, i));
    }
    sk_X509_free(certificates);  // the vector owns the references now
  }
  X509* certificate = token_signer(signer, carried, *trust_);
  if (const auto weak = message_digest_error(signer)) refuse(error_text(*weak));
  CMS_SignerInfo_set1_signer_cert(signer, certificate);
  // The signature and the digest of the TSTInfo; the chain is judged below, at `now`.
  if (CMS_verify(message.get(), nullptr, nullptr, nullptr, nullptr,
                 CMS_NO_SIGNER_CERT_VERIFY | CMS_BINARY) != 1) {
    refuse("the token's signature does not verify");
  }
  ERR_clear_error();
  check_time_stamping_usage(certificate);
  const auto not_before = seconds_of(X509_get0_notBefore(certificate));
  const auto not_after = seconds_of(X509_get0_notAfter(certificate));
  if (!not_before || !not_after || time < *not_before || *not_after < time) {
    refuse("the authority's certificate was not valid at the token's time");
  }
  if (const auto error = chain_error(certificate, *trust_, carried, nullptr, now)) {
    refuse("the authority's certificate: " + error_text(*error));
  }
  return summarize(certificate).subject;
}

}  // namespace orvane::provider::openssl
