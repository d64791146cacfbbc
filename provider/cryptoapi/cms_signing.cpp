#include "provider/cryptoapi/cms_signing.h"

#include "provider/crypt_error.h"
#include "provider/cryptoapi/certificate.h"
#include "provider/cryptoapi/file_time.h"
#include "provider/cryptoapi/handles.h"
#include "provider/cryptoapi/platform_error.h"
#include "provider/utc_time.h"

namespace orvane::provider::cryptoapi {
namespace {

constexpr DWORD encoding_types = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

struct SigningKey {
  ProviderHandle provider;
  DWORD key_spec = AT_KEYEXCHANGE;
};

SigningKey open_signing_key(PCCERT_CONTEXT certificate) {
  const std::vector<BYTE> bytes = certificate_property(certificate, CERT_KEY_PROV_INFO_PROP_ID);
  if (bytes.size() < sizeof(CRYPT_KEY_PROV_INFO)) throw crypt_failure(CryptError::no_key);
  const auto& info = *reinterpret_cast<const CRYPT_KEY_PROV_INFO*>(bytes.data());
  // The legacy RSA providers cannot hash SHA-256; the AES-capable one reads their containers.
  const bool legacy_rsa = info.dwProvType == PROV_RSA_FULL;
  SigningKey key;
  if (!::CryptAcquireContextW(key.provider.put(), info.pwszContainerName,
                              legacy_rsa ? MS_ENH_RSA_AES_PROV_W : info.pwszProvName,
                              legacy_rsa ? PROV_RSA_AES : info.dwProvType,
                              CRYPT_SILENT | (info.dwFlags & CRYPT_MACHINE_KEYSET))) {
    throw last_platform_failure();
  }
  // Wine's PFX import records a dwKeySpec of 3, which names no key.
  if (info.dwKeySpec == AT_SIGNATURE) key.key_spec = AT_SIGNATURE;
  return key;
}

// The signing-time attribute's value: UTCTime from 1950 to 2049, GeneralizedTime otherwise.
Bytes encode_signing_time(const std::optional<LocalDateTime>& signing_time) {
  FILETIME moment{};
  if (signing_time) {
    moment = file_time_of(utc_seconds(*signing_time));
  } else {
    ::GetSystemTimeAsFileTime(&moment);
  }
  DWORD size = 0;
  if (!::CryptEncodeObject(encoding_types, szOID_RSA_signingTime, &moment, nullptr, &size)) {
    throw last_platform_failure();
  }
  Bytes encoded(size);
  if (!::CryptEncodeObject(encoding_types, szOID_RSA_signingTime, &moment, encoded.data(), &size)) {
    throw last_platform_failure();
  }
  encoded.resize(size);
  return encoded;
}

CERT_BLOB blob_of(PCCERT_CONTEXT certificate) {
  return CERT_BLOB{certificate->cbCertEncoded, certificate->pbCertEncoded};
}

}  // namespace

Bytes sign_content(const SigningRequest& request, ByteView content, bool detached) {
  if (content.size() > MAXDWORD) throw crypt_failure(CryptError::invalid_parameter);
  const SigningKey key = open_signing_key(request.certificate);
  Bytes signing_time = encode_signing_time(request.signing_time);
  CRYPT_ATTR_BLOB signing_time_value{static_cast<DWORD>(signing_time.size()), signing_time.data()};
  CRYPT_ATTRIBUTE signing_time_attribute{const_cast<char*>(szOID_RSA_signingTime), 1,
                                         &signing_time_value};

  CMSG_SIGNER_ENCODE_INFO signer{};
  signer.cbSize = sizeof signer;
  signer.pCertInfo = request.certificate->pCertInfo;
  signer.hCryptProv = key.provider.get();
  signer.dwKeySpec = key.key_spec;
  signer.HashAlgorithm.pszObjId = const_cast<char*>(szOID_NIST_sha256);
  // With an authenticated attribute the platform adds the content type and message digest.
  signer.cAuthAttr = 1;
  signer.rgAuthAttr = &signing_time_attribute;

  std::vector<CERT_BLOB> certificates{blob_of(request.certificate)};
  for (const PCCERT_CONTEXT carried : request.carried) certificates.push_back(blob_of(carried));
  CMSG_SIGNED_ENCODE_INFO message_info{};
  message_info.cbSize = sizeof message_info;
  message_info.cSigners = 1;
  message_info.rgSigners = &signer;
  message_info.cCertEncoded = static_cast<DWORD>(certificates.size());
  message_info.rgCertEncoded = certificates.data();

  const MessageHandle message(::CryptMsgOpenToEncode(encoding_types,
                                                     detached ? CMSG_DETACHED_FLAG : 0, CMSG_SIGNED,
                                                     &message_info, nullptr, nullptr));
  if (!message) throw last_platform_failure();
  if (!::CryptMsgUpdate(message.get(), content.data(), static_cast<DWORD>(content.size()), TRUE)) {
    throw last_platform_failure();
  }
  DWORD size = 0;
  if (!::CryptMsgGetParam(message.get(), CMSG_CONTENT_PARAM, 0, nullptr, &size)) {
    throw last_platform_failure();
  }
  Bytes der(size);
  if (!::CryptMsgGetParam(message.get(), CMSG_CONTENT_PARAM, 0, der.data(), &size)) {
    throw last_platform_failure();
  }
  der.resize(size);
  return der;
}

}  // namespace orvane::provider::cryptoapi
