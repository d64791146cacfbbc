#include "provider/cryptoapi/timestamp_crypto.h"

#include <windows.h>
// After windows.h:
#include <bcrypt.h>
#include <wincrypt.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <optional>
#include <vector>

#include "provider/crypt_error.h"
#include "provider/cryptoapi/certificate_summary.h"
#include "provider/cryptoapi/chain_verification.h"
#include "provider/cryptoapi/cms_verification.h"
#include "provider/cryptoapi/content_digest.h"
#include "provider/cryptoapi/file_time.h"
#include "provider/cryptoapi/message_encoding.h"
#include "provider/cryptoapi/platform_error.h"
#include "provider/cryptoapi/signer_policy_check.h"
#include "provider/object_identifiers.h"
#include "provider/timestamp_protocol.h"
#include "runtime/text.h"
#include "runtime/windows/owned.h"

namespace orvane::provider::cryptoapi {
namespace {

constexpr DWORD encoding_types = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
constexpr std::string_view time_stamping_oid = "1.3.6.1.5.5.7.3.8";

constexpr std::array<std::string_view, 4> imprint_algorithms = {
    oid::sha1, oid::sha256, "2.16.840.1.101.3.4.2.2", "2.16.840.1.101.3.4.2.3"};

[[noreturn]] void refuse(const std::string& why) {
  throw timestamp_failure(why);
}

std::string text_of(const Failure& failure) {
  return text_to_utf8(failure.description());
}

// RFC 3161: the one purpose of an authority's key is time stamping, and it says so critically,
// so that no other use of the key can pass for a timestamp.
void check_time_stamping_usage(PCCERT_CONTEXT certificate) {
  const CERT_INFO& info = *certificate->pCertInfo;
  const CERT_EXTENSION* usage_extension = nullptr;
  for (DWORD i = 0; i < info.cExtension; ++i) {
    const CERT_EXTENSION& extension = info.rgExtension[i];
    if (extension.pszObjId == nullptr ||
        std::strcmp(extension.pszObjId, szOID_ENHANCED_KEY_USAGE) != 0) {
      continue;
    }
    // Two of them would let one reader see another usage than the other.
    if (usage_extension != nullptr) {
      refuse("the authority's certificate has two extended key usage extensions");
    }
    usage_extension = &extension;
  }
  if (usage_extension == nullptr) {
    refuse("the authority's certificate is not for time stamping alone");
  }
  windows::LocalMemory<CERT_ENHKEY_USAGE> usage;
  DWORD size = 0;
  if (!::CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ENHANCED_KEY_USAGE,
                             usage_extension->Value.pbData, usage_extension->Value.cbData,
                             CRYPT_DECODE_ALLOC_FLAG, nullptr, usage.put(), &size) ||
      !usage || usage.get()->cUsageIdentifier != 1 ||
      usage.get()->rgpszUsageIdentifier[0] == nullptr ||
      time_stamping_oid != usage.get()->rgpszUsageIdentifier[0]) {
    refuse("the authority's certificate is not for time stamping alone");
  }
  if (!usage_extension->fCritical) {
    refuse("the authority's certificate does not make its usage critical");
  }
}

// RFC 3161 (with RFC 5816): the token names its signer's certificate in a signed attribute, so
// that no other certificate of the same key can stand for it. Each such attribute must name it.
void check_signing_certificate(const CMSG_SIGNER_INFO& signer, PCCERT_CONTEXT certificate) {
  bool named = false;
  for (DWORD i = 0; i < signer.AuthAttrs.cAttr; ++i) {
    const CRYPT_ATTRIBUTE& attribute = signer.AuthAttrs.rgAttr[i];
    if (attribute.pszObjId == nullptr || (oid::signing_certificate != attribute.pszObjId &&
                                          oid::signing_certificate_v2 != attribute.pszObjId)) {
      continue;
    }
    if (attribute.cValue != 1) refuse("the token's signing-certificate attribute is malformed");
    const auto id = signing_certificate_id(
        attribute.pszObjId, ByteView(attribute.rgValue[0].pbData, attribute.rgValue[0].cbData));
    const auto digest = new_digest(id.digest_algorithm);
    if (!digest) refuse("the token names its signer's certificate by an unknown digest");
    digest->update(ByteView(certificate->pbCertEncoded, certificate->cbCertEncoded));
    if (digest->finish() != id.hash) refuse("the token does not name its signer's certificate");
    named = true;
  }
  if (!named) refuse("the token does not name its signer's certificate");
}

std::string verified_signer(ByteView token, std::int64_t time, std::int64_t now) {
  const ByteView content = timestamp_info_content(token);
  const auto decoded = decode_message(token);
  if (!decoded) refuse("the platform cannot decode the token");
  const HCRYPTMSG message = decoded->message.get();
  if (message_number(message, CMSG_TYPE_PARAM) != CMSG_SIGNED) {
    refuse("the token is no signed data");
  }
  if (message_number(message, CMSG_SIGNER_COUNT_PARAM) != 1) {
    refuse("the token has not exactly one signer");
  }
  const Bytes signer_bytes = message_parameter(message, CMSG_SIGNER_INFO_PARAM, 0);
  const auto& signer = *reinterpret_cast<const CMSG_SIGNER_INFO*>(signer_bytes.data());
  if (signer.HashAlgorithm.pszObjId == nullptr) refuse("the token names no digest algorithm");
  if (const auto weak = message_digest_error(signer.HashAlgorithm.pszObjId)) {
    refuse(text_to_utf8(crypt_error_text(*weak)));
  }
  // The signed attributes bind the signature to the TSTInfo and to its type.
  if (signer.AuthAttrs.cAttr == 0) refuse("the token's signer signed no attributes");
  const windows::StoreHandle carried(
      ::CertOpenStore(CERT_STORE_PROV_MSG, encoding_types, 0, 0, message));
  if (!carried) throw last_platform_failure();
  windows::CertificateContextHandle certificate;
  try {
    certificate = find_signer_certificate(message, 0, carried.get());
  } catch (const Failure&) {
    refuse("the authority's certificate is neither in the token nor in the user's stores");
  }
  ContentDigests digests;
  digests.add(signer.HashAlgorithm.pszObjId);
  digests.update(content);
  try {
    check_signer_signature(*decoded, 0, signer, certificate.get(), digests);
  } catch (const Failure& failure) {
    refuse("the token's signature does not verify: " + text_of(failure));
  }
  check_signing_certificate(signer, certificate.get());
  check_time_stamping_usage(certificate.get());
  FILETIME moment = file_time_of(time);
  if (::CertVerifyTimeValidity(&moment, certificate.get()->pCertInfo) != 0) {
    refuse("the authority's certificate was not valid at the token's time");
  }
  if (const auto error = chain_error(certificate.get(), carried.get(), nullptr, {now, {}})) {
    refuse("the authority's certificate: " + text_to_utf8(crypt_error_text(*error)));
  }
  return summarize(certificate.get()).subject;
}

}  // namespace

Bytes CryptoapiTimestampCrypto::digest(std::string_view algorithm, ByteView data) const {
  if (std::find(imprint_algorithms.begin(), imprint_algorithms.end(), algorithm) ==
      imprint_algorithms.end()) {
    return {};
  }
  const auto digest = new_digest(algorithm);
  if (!digest) return {};
  digest->update(data);
  return digest->finish();
}

Bytes CryptoapiTimestampCrypto::random(std::size_t count) const {
  Bytes bytes(count);
  if (count > ULONG_MAX) throw crypt_failure(CryptError::message_error);
  const NTSTATUS status = ::BCryptGenRandom(nullptr, bytes.data(), static_cast<ULONG>(count),
                                            BCRYPT_USE_SYSTEM_PREFERRED_RNG);
  if (!BCRYPT_SUCCESS(status)) throw bcrypt_failure(status);
  return bytes;
}

std::string CryptoapiTimestampCrypto::verify_token_signature(ByteView token, std::int64_t time,
                                                             std::int64_t now) const {
  try {
    return verified_signer(token, time, now);
  } catch (const Failure& failure) {
    if (failure.number() == crypt_error_number(CryptError::time_stamp)) throw;
    // The platform's own failures (a token it cannot take apart, a key it cannot read) are
    // the token's too.
    throw timestamp_failure(text_of(failure));
  }
}

}  // namespace orvane::provider::cryptoapi
