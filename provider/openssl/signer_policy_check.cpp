#include "provider/openssl/signer_policy_check.h"

#include <openssl/objects.h>
#include <openssl/x509v3.h>

#include <memory>
#include <string>

#include "provider/signer_policy.h"

namespace orvane::provider::openssl {
namespace {

using ExtendedKeyUsagePtr = std::unique_ptr<EXTENDED_KEY_USAGE, Free<EXTENDED_KEY_USAGE_free>>;

std::string dotted(const ASN1_OBJECT* object) {
  char text[128];
  const int length = OBJ_obj2txt(text, sizeof text, object, 1);
  // A longer OID than any the policy names matches none of them.
  return length > 0 && static_cast<std::size_t>(length) < sizeof text ? std::string(text)
                                                                      : std::string();
}

bool is_weak_digest_nid(int nid) {
  const ASN1_OBJECT* object = nid == NID_undef ? nullptr : OBJ_nid2obj(nid);
  return object != nullptr && is_weak_digest(dotted(object));
}

}  // namespace

std::optional<CryptError> weak_chain_error(STACK_OF(X509) * chain) {
  const int length = sk_X509_num(chain);
  for (int i = 0; i < length; ++i) {
    X509* certificate = sk_X509_value(chain, i);
    int digest = NID_undef;
    const bool is_anchor = i == length - 1;
    if (!is_anchor &&
        X509_get_signature_info(certificate, &digest, nullptr, nullptr, nullptr) == 1 &&
        is_weak_digest_nid(digest)) {
      return crypt_error_of(SignerFault::weak_certificate);
    }
    const EVP_PKEY* key = X509_get0_pubkey(certificate);
    const int type = key == nullptr ? EVP_PKEY_NONE : EVP_PKEY_get_base_id(key);
    if ((type == EVP_PKEY_RSA || type == EVP_PKEY_RSA_PSS) &&
        is_weak_rsa_key(EVP_PKEY_get_bits(key))) {
      return crypt_error_of(SignerFault::weak_certificate);
    }
  }
  return std::nullopt;
}

std::optional<CryptError> signer_usage_error(X509* certificate) {
  SignerUsage usage;
  const std::uint32_t flags = X509_get_extension_flags(certificate);
  if (flags & EXFLAG_KUSAGE) {
    const std::uint32_t bits = X509_get_key_usage(certificate);
    usage.key_usage =
        SignerUsage::KeyUsage{(bits & KU_DIGITAL_SIGNATURE) != 0, (bits & KU_NON_REPUDIATION) != 0};
  }
  if (flags & EXFLAG_XKUSAGE) {
    const ExtendedKeyUsagePtr purposes(static_cast<EXTENDED_KEY_USAGE*>(
        X509_get_ext_d2i(certificate, NID_ext_key_usage, nullptr, nullptr)));
    usage.extended_key_usages.emplace();
    for (int i = 0; i < sk_ASN1_OBJECT_num(purposes.get()); ++i) {
      usage.extended_key_usages->push_back(dotted(sk_ASN1_OBJECT_value(purposes.get(), i)));
    }
  }
  if (allows_signing(usage)) return std::nullopt;
  return crypt_error_of(SignerFault::usage);
}

std::optional<CryptError> message_digest_error(CMS_SignerInfo* signer) {
  X509_ALGOR* algorithm = nullptr;
  CMS_SignerInfo_get0_algs(signer, nullptr, nullptr, &algorithm, nullptr);
  const ASN1_OBJECT* digest = nullptr;
  X509_ALGOR_get0(&digest, nullptr, nullptr, algorithm);
  if (digest == nullptr || !is_weak_digest(dotted(digest))) return std::nullopt;
  return crypt_error_of(SignerFault::weak_message_digest);
}

std::optional<CryptError> content_type_error(CMS_SignerInfo* signer, CMS_ContentInfo& message) {
  // Without signed attributes the signature covers the content alone and names no type.
  if (CMS_signed_get_attr_count(signer) < 0) return std::nullopt;
  // One attribute with one value that is a type, else it names none.
  const auto* signed_type = static_cast<const ASN1_OBJECT*>(
      CMS_signed_get0_data_by_OBJ(signer, OBJ_nid2obj(NID_pkcs9_contentType), -3, V_ASN1_OBJECT));
  const ASN1_OBJECT* carried_type = CMS_get0_eContentType(&message);
  if (signed_type != nullptr && carried_type != nullptr &&
      OBJ_cmp(signed_type, carried_type) == 0) {
    return std::nullopt;
  }
  return crypt_error_of(SignerFault::content_type);
}

}  // namespace orvane::provider::openssl
