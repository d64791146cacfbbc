#include "provider/openssl/cms_verification.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/objects.h>

#include <algorithm>
#include <ctime>

#include "provider/crypt_error.h"
#include "provider/openssl/signer_policy_check.h"
#include "provider/utc_time.h"

namespace orvane::provider::openssl {
namespace {

[[noreturn]] void fail(CryptError error) {
  ERR_clear_error();
  throw crypt_failure(error);
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

// The signature value and the timestamp tokens of a signer; the views are into `signer`.
SignerTimestampParts timestamp_parts(CMS_SignerInfo* signer) {
  SignerTimestampParts parts;
  const ASN1_OCTET_STRING* signature = CMS_SignerInfo_get0_signature(signer);
  parts.signature = ByteView(ASN1_STRING_get0_data(signature),
                             static_cast<std::size_t>(ASN1_STRING_length(signature)));
  for (int i = 0; i < CMS_unsigned_get_attr_count(signer); ++i) {
    X509_ATTRIBUTE* attribute = CMS_unsigned_get_attr(signer, i);
    if (OBJ_obj2nid(X509_ATTRIBUTE_get0_object(attribute)) != NID_id_smime_aa_timeStampToken) {
      continue;
    }
    for (int j = 0; j < X509_ATTRIBUTE_count(attribute); ++j) {
      const ASN1_TYPE* value = X509_ATTRIBUTE_get0_type(attribute, j);
      if (value == nullptr || value->type != V_ASN1_SEQUENCE) {
        fail(CryptError::time_stamp);
      }
      parts.tokens.emplace_back(
          ASN1_STRING_get0_data(value->value.sequence),
          static_cast<std::size_t>(ASN1_STRING_length(value->value.sequence)));
    }
  }
  return parts;
}

// The time at which the signer's chain must be valid: its earliest proved timestamp's, else now.
std::optional<std::int64_t> chain_time(CMS_SignerInfo* signer,
                                       const CertificateJudgement& judgement) {
  if (judgement.timestamps == nullptr) return judgement.now;
  const std::int64_t now =
      judgement.now ? *judgement.now : static_cast<std::int64_t>(std::time(nullptr));
  const auto proved = signer_timestamp(timestamp_parts(signer), *judgement.timestamps, now,
                                       judgement.timestamp_notes);
  if (judgement.revocation != nullptr) {
    judgement.revocation->set_timestamp(proved ? utc_text(proved->time) : std::string());
  }
  return proved ? std::optional<std::int64_t>(proved->time) : judgement.now;
}

}  // namespace

VerifiedMessage verify_message(CMS_ContentInfo& message, std::vector<X509Ptr> carried,
                               const SignerDigests& digests, bool check_certificates,
                               const TrustMaterial& trust, const ContentDigest* known_digest,
                               const CertificateJudgement& judgement) {
  if (OBJ_obj2nid(CMS_get0_type(&message)) != NID_pkcs7_signed) {
    fail(CryptError::invalid_message_type);
  }
  STACK_OF(CMS_SignerInfo)* signers = CMS_get0_SignerInfos(&message);
  if (sk_CMS_SignerInfo_num(signers) <= 0) fail(CryptError::no_signer);

  VerifiedMessage verified{{}, std::move(carried)};
  // The content is read only when a signer needs it, and then once for all of them.
  const ContentDigests* content_digests = nullptr;
  for (int i = 0; i < sk_CMS_SignerInfo_num(signers); ++i) {
    CMS_SignerInfo* signer = sk_CMS_SignerInfo_value(signers, i);
    X509* certificate = find_signer_certificate(signer, verified.carried, trust);
    CMS_SignerInfo_set1_signer_cert(signer, certificate);
    if (const auto error = message_digest_error(signer)) fail(*error);
    if (uses_known_digest(signer, known_digest)) {
      check_signature_with_digest(signer, *known_digest);
    } else {
      if (content_digests == nullptr) content_digests = &digests(signers);
      check_signature(signer, content_digests->chain());
    }
    if (const auto error = content_type_error(signer, message)) fail(*error);
    if (check_certificates) {
      const auto at = chain_time(signer, judgement);
      if (const auto error =
              chain_error(certificate, trust, verified.carried, judgement.revocation, at)) {
        fail(*error);
      }
      if (const auto error = signer_usage_error(certificate)) fail(*error);
    }
    verified.signers.push_back(share(certificate));
  }
  return verified;
}

}  // namespace orvane::provider::openssl
