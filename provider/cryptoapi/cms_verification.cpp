#include "provider/cryptoapi/cms_verification.h"

#include <algorithm>

#include "provider/crypt_error.h"
#include "provider/cryptoapi/chain_verification.h"
#include "provider/cryptoapi/platform_error.h"
#include "provider/cryptoapi/signer_policy_check.h"
#include "provider/cryptoapi/signer_signature.h"
#include "provider/cryptoapi/timestamp_crypto.h"
#include "provider/object_identifiers.h"
#include "provider/signer_policy.h"
#include "provider/timestamping.h"

namespace orvane::provider::cryptoapi {
namespace {

constexpr DWORD encoding_types = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

[[noreturn]] void fail(CryptError error) {
  throw crypt_failure(error);
}

bool is_signed_data(HCRYPTMSG message) {
  return message_number(message, CMSG_TYPE_PARAM) == CMSG_SIGNED;
}

windows::CertificateContextHandle find_in_user_store(const wchar_t* name,
                                                     const CERT_INFO& signer_id) {
  const windows::StoreHandle store(::CertOpenStore(
      CERT_STORE_PROV_SYSTEM_W, 0, 0,
      CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG | CERT_STORE_OPEN_EXISTING_FLAG,
      name));
  if (!store) return {};
  return windows::CertificateContextHandle(::CertGetSubjectCertificateFromStore(
      store.get(), encoding_types, const_cast<CERT_INFO*>(&signer_id)));
}

Bytes digest_of(std::string_view algorithm, ByteView bytes) {
  const auto digest = new_digest(algorithm);
  if (!digest) fail(CryptError::unknown_algorithm);
  digest->update(bytes);
  return digest->finish();
}

// The signed attributes' own DER encoding, as the platform makes it from their values.
Bytes encoded_attributes(const CRYPT_ATTRIBUTES& attributes) {
  Bytes encoded;
  if (!windows::size_then_fill(encoded, [&](BYTE* data, DWORD* size) {
        return ::CryptEncodeObjectEx(X509_ASN_ENCODING, PKCS_ATTRIBUTES, &attributes, 0, nullptr,
                                     data, size) != FALSE;
      })) {
    throw last_platform_failure();
  }
  return encoded;
}

// The signature over the signed attributes: as the message encodes them, which is what a DER
// signer signed, or else their DER encoding, which is what signers that sort them signed.
void check_attributes_signature(const CMSG_SIGNER_INFO& signer, ByteView as_encoded,
                                PCCERT_CONTEXT certificate) {
  const std::string_view algorithm = signer.HashAlgorithm.pszObjId;
  const ByteView signature(signer.EncryptedHash.pbData, signer.EncryptedHash.cbData);
  const Bytes reencoded = encoded_attributes(signer.AuthAttrs);
  if (!as_encoded.empty() && !std::ranges::equal(as_encoded, reencoded)) {
    try {
      check_signature(certificate, algorithm, digest_of(algorithm, as_encoded), signature);
      return;
    } catch (const Failure& failure) {
      if (failure.number() != crypt_error_number(CryptError::bad_signature)) throw;
    }
  }
  check_signature(certificate, algorithm, digest_of(algorithm, reencoded), signature);
}

// The content's digest, taken as it passed, against the messageDigest attribute: a signature
// over the attributes alone proves nothing about a content that does not match them.
void check_content_digest(const CMSG_SIGNER_INFO& signer, ContentDigests& digests) {
  const auto recorded = attribute_value(signer.AuthAttrs, szOID_RSA_messageDigest);
  if (!recorded) fail(CryptError::attribute_missing);
  const auto digest = octets_value(*recorded);
  if (!digest) fail(CryptError::hash_value);
  const Bytes* taken = digests.of(signer.HashAlgorithm.pszObjId);
  if (taken == nullptr) fail(CryptError::unknown_algorithm);
  if (*taken != *digest) fail(CryptError::hash_value);
}

// The signed content-type attribute against the type of content the message carries.
std::optional<CryptError> content_type_error(const CMSG_SIGNER_INFO& signer, HCRYPTMSG message) {
  const auto value = attribute_value(signer.AuthAttrs, szOID_RSA_contentType);
  const auto signed_type = value ? object_identifier_value(*value) : std::nullopt;
  const Bytes carried_type = message_parameter(message, CMSG_INNER_CONTENT_TYPE_PARAM);
  const std::string_view carried(
      reinterpret_cast<const char*>(carried_type.data()),
      ::strnlen(reinterpret_cast<const char*>(carried_type.data()), carried_type.size()));
  if (signed_type && carried == *signed_type) return std::nullopt;
  return crypt_error_of(SignerFault::content_type);
}

// The signer's signature value and the timestamp tokens among its unsigned attributes; the
// views are into `signer`.
SignerTimestampParts timestamp_parts(const CMSG_SIGNER_INFO& signer) {
  SignerTimestampParts parts;
  parts.signature = ByteView(signer.EncryptedHash.pbData, signer.EncryptedHash.cbData);
  for (DWORD i = 0; i < signer.UnauthAttrs.cAttr; ++i) {
    const CRYPT_ATTRIBUTE& attribute = signer.UnauthAttrs.rgAttr[i];
    if (attribute.pszObjId == nullptr || oid::timestamp_token != attribute.pszObjId) continue;
    for (DWORD j = 0; j < attribute.cValue; ++j) {
      parts.tokens.emplace_back(attribute.rgValue[j].pbData, attribute.rgValue[j].cbData);
    }
  }
  return parts;
}

windows::CertificateContextHandle verify_signer(const DecodedMessage& decoded, DWORD index,
                                                HCERTSTORE carried, ContentDigests& digests,
                                                const Policy& policy) {
  const HCRYPTMSG message = decoded.message.get();
  const Bytes signer_bytes = message_parameter(message, CMSG_SIGNER_INFO_PARAM, index);
  const auto& signer = *reinterpret_cast<const CMSG_SIGNER_INFO*>(signer_bytes.data());
  windows::CertificateContextHandle certificate = find_signer_certificate(message, index, carried);
  if (signer.HashAlgorithm.pszObjId == nullptr) fail(CryptError::unknown_algorithm);
  if (const auto error = message_digest_error(signer.HashAlgorithm.pszObjId)) fail(*error);
  check_signer_signature(decoded, index, signer, certificate.get(), digests);
  // A proved timestamp moves the moment at which the chain must hold from now to its own; a
  // token that does not prove makes the message not valid.
  const std::int64_t now = current_time(policy);
  const CryptoapiTimestampCrypto timestamps;
  const auto proved =
      signer_timestamp(timestamp_parts(signer), timestamps, now, policy.timestamp_notes.get());
  const ChainMoment moment{now, proved ? std::optional<std::int64_t>(proved->time) : std::nullopt};
  if (const auto error = chain_error(certificate.get(), carried, &policy, moment)) fail(*error);
  if (const auto error = signer_usage_error(certificate.get())) fail(*error);
  return certificate;
}

}  // namespace

windows::CertificateContextHandle find_signer_certificate(HCRYPTMSG message, DWORD index,
                                                          HCERTSTORE carried) {
  const Bytes id_bytes = message_parameter(message, CMSG_SIGNER_CERT_INFO_PARAM, index);
  const auto& signer_id = *reinterpret_cast<const CERT_INFO*>(id_bytes.data());
  windows::CertificateContextHandle found(::CertGetSubjectCertificateFromStore(
      carried, encoding_types, const_cast<CERT_INFO*>(&signer_id)));
  if (!found) found = find_in_user_store(L"CA", signer_id);
  if (!found) found = find_in_user_store(L"My", signer_id);
  if (!found) fail(CryptError::signer_not_found);
  return found;
}

void check_signer_signature(const DecodedMessage& decoded, DWORD index,
                            const CMSG_SIGNER_INFO& signer, PCCERT_CONTEXT certificate,
                            ContentDigests& digests) {
  if (signer.HashAlgorithm.pszObjId == nullptr) fail(CryptError::unknown_algorithm);
  if (signer.AuthAttrs.cAttr > 0) {
    const ByteView as_encoded = index < decoded.signed_attributes.size()
                                    ? ByteView(decoded.signed_attributes[index])
                                    : ByteView();
    check_attributes_signature(signer, as_encoded, certificate);
    check_content_digest(signer, digests);
    if (const auto error = content_type_error(signer, decoded.message.get())) fail(*error);
  } else {
    // Without signed attributes the signature is over the content's digest itself.
    const Bytes* digest = digests.of(signer.HashAlgorithm.pszObjId);
    if (digest == nullptr) fail(CryptError::unknown_algorithm);
    check_signature(certificate, signer.HashAlgorithm.pszObjId, *digest,
                    ByteView(signer.EncryptedHash.pbData, signer.EncryptedHash.cbData));
  }
}

std::vector<std::string> signer_digest_algorithms(const DecodedMessage& decoded) {
  const HCRYPTMSG message = decoded.message.get();
  std::vector<std::string> algorithms;
  if (!is_signed_data(message)) return algorithms;
  const DWORD signer_count = message_number(message, CMSG_SIGNER_COUNT_PARAM);
  for (DWORD i = 0; i < signer_count; ++i) {
    const Bytes signer_bytes = message_parameter(message, CMSG_SIGNER_INFO_PARAM, i);
    const char* algorithm =
        reinterpret_cast<const CMSG_SIGNER_INFO*>(signer_bytes.data())->HashAlgorithm.pszObjId;
    if (algorithm != nullptr && std::ranges::find(algorithms, algorithm) == algorithms.end()) {
      algorithms.emplace_back(algorithm);
    }
  }
  return algorithms;
}

VerifiedMessage verify_message(const DecodedMessage& decoded, ContentDigests& digests,
                               const Policy& policy) {
  const HCRYPTMSG message = decoded.message.get();
  if (!is_signed_data(message)) fail(CryptError::invalid_message_type);
  const DWORD signer_count = message_number(message, CMSG_SIGNER_COUNT_PARAM);
  if (signer_count == 0) fail(CryptError::no_signer);
  const windows::StoreHandle carried(
      ::CertOpenStore(CERT_STORE_PROV_MSG, encoding_types, 0, 0, message));
  if (!carried) throw last_platform_failure();

  VerifiedMessage verified;
  for (DWORD i = 0; i < signer_count; ++i) {
    verified.signers.push_back(std::make_shared<CryptoapiCertificate>(
        verify_signer(decoded, i, carried.get(), digests, policy)));
  }
  return verified;
}

}  // namespace orvane::provider::cryptoapi
