#include "provider/openssl/cms_verification.h"

#include <openssl/err.h>
#include <openssl/objects.h>

#include "provider/crypt_error.h"

namespace orvane::provider::openssl {
namespace {

[[noreturn]] void fail(CryptError error) {
  ERR_clear_error();
  throw crypt_failure(error);
}

std::vector<X509Ptr> carried_certificates(CMS_ContentInfo& message) {
  const X509StackPtr stack(CMS_get1_certs(&message));
  std::vector<X509Ptr> certificates;
  for (int i = 0; i < sk_X509_num(stack.get()); ++i) {
    certificates.push_back(share(sk_X509_value(stack.get(), i)));
  }
  return certificates;
}

// The content octets inside the message, or nothing for a detached signature.
ByteView carried_content(CMS_ContentInfo& message) {
  ASN1_OCTET_STRING** content = CMS_get0_content(&message);
  if (content == nullptr || *content == nullptr) return {};
  return ByteView(ASN1_STRING_get0_data(*content),
                  static_cast<std::size_t>(ASN1_STRING_length(*content)));
}

// Reads `content` through the digests of every algorithm the message names; each signer then
// takes its own from the returned chain.
BioPtr digest_content(CMS_ContentInfo& message, ByteView content) {
  BioPtr reader = read_only_bio(content);
  BioPtr digests(CMS_dataInit(&message, reader.get()));
  if (!digests) fail(CryptError::unknown_algorithm);
  reader.release();  // the digest chain owns it now
  std::vector<unsigned char> buffer(64 * 1024);
  while (BIO_read(digests.get(), buffer.data(), static_cast<int>(buffer.size())) > 0) {
  }
  return digests;
}

// The signer's certificate: from the message, else from the stores.
X509* find_signer_certificate(CMS_SignerInfo* signer, const std::vector<X509Ptr>& carried,
                              const TrustMaterial& trust) {
  for (const auto* list : {&carried, &trust.intermediates}) {
    for (const auto& certificate : *list) {
      if (CMS_SignerInfo_cert_cmp(signer, certificate.get()) == 0) return certificate.get();
    }
  }
  fail(CryptError::signer_not_found);
}

// Checked in the order Windows checks them: the content digest against the messageDigest
// attribute, then the signature over the attributes. Without attributes the signature is
// over the content digest itself.
void check_signature(CMS_SignerInfo* signer, BIO* digests) {
  const bool has_attributes = CMS_signed_get_attr_count(signer) >= 0;
  if (has_attributes && CMS_signed_get_attr_by_NID(signer, NID_pkcs9_messageDigest, -1) < 0) {
    fail(CryptError::attribute_missing);
  }
  const int content_check = CMS_SignerInfo_verify_content(signer, digests);
  if (content_check == 0) fail(has_attributes ? CryptError::hash_value : CryptError::bad_signature);
  if (content_check < 0) fail(CryptError::message_error);
  if (has_attributes && CMS_SignerInfo_verify(signer) != 1) fail(CryptError::bad_signature);
}

}  // namespace

VerifiedMessage verify_message(CMS_ContentInfo& message, std::optional<ByteView> detached_content,
                               bool check_certificates, const TrustMaterial& trust) {
  if (OBJ_obj2nid(CMS_get0_type(&message)) != NID_pkcs7_signed) {
    fail(CryptError::invalid_message_type);
  }
  STACK_OF(CMS_SignerInfo)* signers = CMS_get0_SignerInfos(&message);
  if (sk_CMS_SignerInfo_num(signers) <= 0) fail(CryptError::no_signer);

  VerifiedMessage verified{{}, carried_certificates(message), carried_content(message)};
  const BioPtr digests =
      digest_content(message, detached_content ? *detached_content : verified.content);
  for (int i = 0; i < sk_CMS_SignerInfo_num(signers); ++i) {
    CMS_SignerInfo* signer = sk_CMS_SignerInfo_value(signers, i);
    X509* certificate = find_signer_certificate(signer, verified.carried, trust);
    CMS_SignerInfo_set1_signer_cert(signer, certificate);
    check_signature(signer, digests.get());
    if (check_certificates) {
      if (const auto error = chain_error(certificate, trust, verified.carried)) fail(*error);
    }
    verified.signers.push_back(share(certificate));
  }
  return verified;
}

}  // namespace orvane::provider::openssl
