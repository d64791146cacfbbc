#include "provider/cryptoapi/signer_policy_check.h"

#include <string>

#include "provider/signer_policy.h"
#include "runtime/windows/owned.h"

namespace orvane::provider::cryptoapi {
namespace {

// The dotted OID of the digest that a certificate's signature algorithm uses; empty when the
// platform does not know the algorithm.
std::string digest_of_signature_algorithm(const char* signature_algorithm) {
  const CRYPT_OID_INFO* signature = ::CryptFindOIDInfo(
      CRYPT_OID_INFO_OID_KEY, const_cast<char*>(signature_algorithm), CRYPT_SIGN_ALG_OID_GROUP_ID);
  if (signature == nullptr) return {};
  ALG_ID hash = signature->Algid;
  const CRYPT_OID_INFO* digest =
      ::CryptFindOIDInfo(CRYPT_OID_INFO_ALGID_KEY, &hash, CRYPT_HASH_ALG_OID_GROUP_ID);
  return digest != nullptr && digest->pszOID != nullptr ? std::string(digest->pszOID)
                                                        : std::string();
}

bool has_weak_rsa_key(PCCERT_CONTEXT certificate) {
  const CERT_PUBLIC_KEY_INFO& key = certificate->pCertInfo->SubjectPublicKeyInfo;
  if (key.Algorithm.pszObjId == nullptr || std::string(key.Algorithm.pszObjId) != szOID_RSA_RSA) {
    return false;
  }
  const DWORD bits =
      ::CertGetPublicKeyLength(X509_ASN_ENCODING, const_cast<CERT_PUBLIC_KEY_INFO*>(&key));
  return bits == 0 || is_weak_rsa_key(static_cast<int>(bits));
}

// The purposes of the extended-key-usage extension; nothing without one.
std::optional<std::vector<std::string>> extended_key_usages(PCCERT_CONTEXT certificate) {
  const CERT_INFO& info = *certificate->pCertInfo;
  const CERT_EXTENSION* extension =
      ::CertFindExtension(szOID_ENHANCED_KEY_USAGE, info.cExtension, info.rgExtension);
  if (extension == nullptr) return std::nullopt;
  windows::LocalMemory<CERT_ENHKEY_USAGE> decoded;
  DWORD size = 0;
  std::vector<std::string> purposes;
  // An extension that cannot be read names no purpose, so it allows none.
  if (::CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ENHANCED_KEY_USAGE, extension->Value.pbData,
                            extension->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr,
                            decoded.put(), &size)) {
    for (DWORD i = 0; i < decoded.get()->cUsageIdentifier; ++i) {
      purposes.emplace_back(decoded.get()->rgpszUsageIdentifier[i]);
    }
  }
  return purposes;
}

}  // namespace

std::optional<CryptError> weak_chain_error(const CERT_SIMPLE_CHAIN& chain) {
  for (DWORD i = 0; i < chain.cElement; ++i) {
    const PCCERT_CONTEXT certificate = chain.rgpElement[i]->pCertContext;
    const bool is_anchor = i + 1 == chain.cElement;
    const char* algorithm = certificate->pCertInfo->SignatureAlgorithm.pszObjId;
    if (!is_anchor && algorithm != nullptr &&
        is_weak_digest(digest_of_signature_algorithm(algorithm))) {
      return crypt_error_of(SignerFault::weak_certificate);
    }
    if (has_weak_rsa_key(certificate)) return crypt_error_of(SignerFault::weak_certificate);
  }
  return std::nullopt;
}

std::optional<CryptError> signer_usage_error(PCCERT_CONTEXT certificate) {
  SignerUsage usage;
  BYTE bits[2] = {};
  if (::CertGetIntendedKeyUsage(X509_ASN_ENCODING, certificate->pCertInfo, bits, sizeof bits)) {
    usage.key_usage = SignerUsage::KeyUsage{(bits[0] & CERT_DIGITAL_SIGNATURE_KEY_USAGE) != 0,
                                            (bits[0] & CERT_NON_REPUDIATION_KEY_USAGE) != 0};
  }
  usage.extended_key_usages = extended_key_usages(certificate);
  if (allows_signing(usage)) return std::nullopt;
  return crypt_error_of(SignerFault::usage);
}

std::optional<CryptError> message_digest_error(const char* digest_algorithm) {
  if (digest_algorithm == nullptr || !is_weak_digest(digest_algorithm)) return std::nullopt;
  return crypt_error_of(SignerFault::weak_message_digest);
}

}  // namespace orvane::provider::cryptoapi
