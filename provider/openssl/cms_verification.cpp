#include "provider/openssl/cms_verification.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/objects.h>

#include <algorithm>

#include "provider/crypt_error.h"
#include "provider/openssl/signer_policy_check.h"

namespace orvane::provider::openssl {
namespace {

[[noreturn]] void fail(CryptError error) {
  ERR_clear_error();
  throw crypt_failure(error);
}

// The content octets inside the message, or nothing for a detached signature.
ByteView carried_content(CMS_ContentInfo& message) {
  ASN1_OCTET_STRING** content = CMS_get0_content(&message);
  if (content == nullptr || *content == nullptr) return {};
  return ByteView(ASN1_STRING_get0_data(*content),
                  static_cast<std::size_t>(ASN1_STRING_length(*content)));
}

// Takes a digest of `content` with each algorithm that the signers name; each signer then
// takes its own from the returned chain. The signers decide, not the message's list of digest
// algorithms: the sender makes that list as long as it likes, and OpenSSL's digest chain for it
// grows in quadratic time, which a message of a few hundred kilobytes turns into minutes. The
// content is hashed where it lies, piece by piece, not read through the chain: a BIO passes no
// more than 2 GiB, and a detached signature covers files larger than that.
BioPtr digest_content(STACK_OF(CMS_SignerInfo) * signers, ByteView content) {
  BioPtr chain(BIO_new(BIO_s_null()));
  if (!chain) fail(CryptError::message_error);
  std::vector<int> algorithms;
  std::vector<EVP_MD_CTX*> digests;
  for (int i = 0; i < sk_CMS_SignerInfo_num(signers); ++i) {
    X509_ALGOR* algorithm = nullptr;
    CMS_SignerInfo_get0_algs(sk_CMS_SignerInfo_value(signers, i), nullptr, nullptr, &algorithm,
                             nullptr);
    const ASN1_OBJECT* object = nullptr;
    X509_ALGOR_get0(&object, nullptr, nullptr, algorithm);
    const int nid = OBJ_obj2nid(object);
    if (std::find(algorithms.begin(), algorithms.end(), nid) != algorithms.end()) continue;
    const EVP_MD* md = nid == NID_undef ? nullptr : EVP_get_digestbyobj(object);
    if (md == nullptr) fail(CryptError::unknown_algorithm);
    BioPtr digest(BIO_new(BIO_f_md()));
    EVP_MD_CTX* context = nullptr;
    if (!digest || BIO_set_md(digest.get(), md) <= 0 ||
        BIO_get_md_ctx(digest.get(), &context) <= 0) {
      fail(CryptError::unknown_algorithm);
    }
    BIO_push(digest.get(), chain.release());  // the new digest owns the chain now
    chain = std::move(digest);
    algorithms.push_back(nid);
    digests.push_back(context);
  }
  constexpr std::size_t piece = 1024 * 1024;
  for (std::size_t at = 0; at < content.size(); at += piece) {
    const ByteView part = content.subspan(at, std::min(piece, content.size() - at));
    for (EVP_MD_CTX* context : digests) {
      if (EVP_DigestUpdate(context, part.data(), part.size()) != 1) {
        fail(CryptError::message_error);
      }
    }
  }
  return chain;
}

// The signer's certificate: from the message, else from the stores, the personal store last.
X509* find_signer_certificate(CMS_SignerInfo* signer, const std::vector<X509Ptr>& carried,
                              const TrustMaterial& trust) {
  const auto find_in = [signer](const std::vector<X509Ptr>& list) -> X509* {
    for (const auto& certificate : list) {
      if (CMS_SignerInfo_cert_cmp(signer, certificate.get()) == 0) return certificate.get();
    }
    return nullptr;
  };
  if (X509* found = find_in(carried)) return found;
  if (X509* found = find_in(trust.intermediates)) return found;
  if (X509* found = trust.personal ? find_in(trust.personal->get()) : nullptr) return found;
  fail(CryptError::signer_not_found);
}

// Whether `signer`'s digest can be checked against `known` without reading the content: it has
// signed attributes and used the same digest algorithm.
bool uses_known_digest(CMS_SignerInfo* signer, const ContentDigest* known) {
  if (known == nullptr || CMS_signed_get_attr_count(signer) < 0) return false;
  X509_ALGOR* digest_algorithm = nullptr;
  CMS_SignerInfo_get0_algs(signer, nullptr, nullptr, &digest_algorithm, nullptr);
  const ASN1_OBJECT* algorithm = nullptr;
  X509_ALGOR_get0(&algorithm, nullptr, nullptr, digest_algorithm);
  return OBJ_obj2nid(algorithm) == known->algorithm;
}

// The messageDigest attribute against a digest already known, then the signature over the
// attributes.
void check_signature_with_digest(CMS_SignerInfo* signer, const ContentDigest& known) {
  const auto* recorded = static_cast<const ASN1_OCTET_STRING*>(CMS_signed_get0_data_by_OBJ(
      signer, OBJ_nid2obj(NID_pkcs9_messageDigest), -3, V_ASN1_OCTET_STRING));
  if (recorded == nullptr) fail(CryptError::attribute_missing);
  const ByteView value(ASN1_STRING_get0_data(recorded),
                       static_cast<std::size_t>(ASN1_STRING_length(recorded)));
  if (!std::equal(value.begin(), value.end(), known.value.begin(), known.value.end())) {
    fail(CryptError::hash_value);
  }
  if (CMS_SignerInfo_verify(signer) != 1) fail(CryptError::bad_signature);
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

VerifiedMessage verify_message(CMS_ContentInfo& message, std::vector<X509Ptr> carried,
                               std::optional<ByteView> detached_content, bool check_certificates,
                               const TrustMaterial& trust, const ContentDigest* known_digest,
                               RevocationContext* revocation) {
  if (OBJ_obj2nid(CMS_get0_type(&message)) != NID_pkcs7_signed) {
    fail(CryptError::invalid_message_type);
  }
  STACK_OF(CMS_SignerInfo)* signers = CMS_get0_SignerInfos(&message);
  if (sk_CMS_SignerInfo_num(signers) <= 0) fail(CryptError::no_signer);

  VerifiedMessage verified{{}, std::move(carried), carried_content(message)};
  if (!detached_content) known_digest = nullptr;
  // The content is read only when a signer needs it, and then once for all of them.
  BioPtr digests;
  for (int i = 0; i < sk_CMS_SignerInfo_num(signers); ++i) {
    CMS_SignerInfo* signer = sk_CMS_SignerInfo_value(signers, i);
    X509* certificate = find_signer_certificate(signer, verified.carried, trust);
    CMS_SignerInfo_set1_signer_cert(signer, certificate);
    if (const auto error = message_digest_error(signer)) fail(*error);
    if (uses_known_digest(signer, known_digest)) {
      check_signature_with_digest(signer, *known_digest);
    } else {
      if (!digests) {
        digests = digest_content(signers, detached_content ? *detached_content : verified.content);
      }
      check_signature(signer, digests.get());
    }
    if (const auto error = content_type_error(signer, message)) fail(*error);
    if (check_certificates) {
      if (const auto error = chain_error(certificate, trust, verified.carried, revocation)) {
        fail(*error);
      }
      if (const auto error = signer_usage_error(certificate)) fail(*error);
    }
    verified.signers.push_back(share(certificate));
  }
  return verified;
}

}  // namespace orvane::provider::openssl
