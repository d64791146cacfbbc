#include "provider/cryptoapi/cms_signing.h"

#include "provider/crypt_error.h"
#include "provider/cryptoapi/file_time.h"
#include "provider/cryptoapi/handles.h"
#include "provider/cryptoapi/platform_error.h"
#include "provider/cryptoapi/private_key.h"
#include "provider/utc_time.h"

namespace orvane::provider::cryptoapi {
namespace {

constexpr DWORD encoding_types = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

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
  const SigningKey key = acquire_signing_key(request.certificate);
  Bytes signing_time = encode_signing_time(request.signing_time);
  CRYPT_ATTR_BLOB signing_time_value{static_cast<DWORD>(signing_time.size()), signing_time.data()};
  CRYPT_ATTRIBUTE signing_time_attribute{const_cast<char*>(szOID_RSA_signingTime), 1,
                                         &signing_time_value};

  CMSG_SIGNER_ENCODE_INFO signer{};
  signer.cbSize = sizeof signer;
  signer.pCertInfo = request.certificate->pCertInfo;
  if (key.is_ncrypt()) {
    signer.hNCryptKey = key.handle();
  } else {
    signer.hCryptProv = key.handle();
  }
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
  if (!message) throw last_key_failure();
  // The last update signs: a card's key asks for its PIN here.
  if (!::CryptMsgUpdate(message.get(), content.data(), static_cast<DWORD>(content.size()), TRUE)) {
    throw last_key_failure();
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
