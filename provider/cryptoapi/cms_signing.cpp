#include "provider/cryptoapi/cms_signing.h"

#include <algorithm>

#include "provider/crypt_error.h"
#include "provider/cryptoapi/content_digest.h"
#include "provider/cryptoapi/file_time.h"
#include "provider/cryptoapi/message_encoding.h"
#include "provider/cryptoapi/platform_error.h"
#include "provider/cryptoapi/private_key.h"
#include "provider/der.h"
#include "provider/utc_time.h"
#include "runtime/windows/owned.h"

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
  Bytes encoded;
  if (!windows::size_then_fill(encoded, [&](BYTE* data, DWORD* size) {
        return ::CryptEncodeObject(encoding_types, szOID_RSA_signingTime, &moment, data, size) !=
               FALSE;
      })) {
    throw last_platform_failure();
  }
  return encoded;
}

CERT_BLOB blob_of(PCCERT_CONTEXT certificate) {
  return CERT_BLOB{certificate->cbCertEncoded, certificate->pbCertEncoded};
}

Bytes concatenated(std::initializer_list<ByteView> parts) {
  Bytes joined;
  for (const ByteView part : parts) joined.insert(joined.end(), part.begin(), part.end());
  return joined;
}

Bytes der_of(std::uint8_t tag, ByteView content) {
  return concatenated({der_header(tag, content.size()), content});
}

// The version and digestAlgorithms fields as the platform encodes them: version 1, and SHA-256
// with NULL parameters.
Bytes leading_fields() {
  const Bytes version{0x02, 0x01, 0x01};
  const Bytes sha256{0x06, 0x09, 0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01};
  const Bytes null_parameters{0x05, 0x00};
  return concatenated(
      {version, der_of(0x31, der_of(0x30, concatenated({sha256, null_parameters})))});
}

// The longest signature that the key of `certificate` makes, in bytes.
std::size_t longest_signature(PCCERT_CONTEXT certificate) {
  const CERT_PUBLIC_KEY_INFO& key = certificate->pCertInfo->SubjectPublicKeyInfo;
  if (key.Algorithm.pszObjId != nullptr &&
      std::string_view(key.Algorithm.pszObjId) == szOID_RSA_RSA) {
    return (::CertGetPublicKeyLength(X509_ASN_ENCODING, const_cast<CERT_PUBLIC_KEY_INFO*>(&key)) +
            7) /
           8;
  }
  // ECDSA: a SEQUENCE of two INTEGERs, each as long as a coordinate and a sign octet.
  return 2 * (key.PublicKey.cbData / 2 + 3) + 3;
}

// About how long the certificates and the signer info that follow the content are: a few bytes
// over, never under, as the headers are counted at their longest.
std::size_t trailing_size(const SigningRequest& request, std::size_t signing_time_size) {
  std::size_t certificates = request.certificate->cbCertEncoded;
  for (const PCCERT_CONTEXT carried : request.carried) certificates += carried->cbCertEncoded;
  const CERT_INFO& signer = *request.certificate->pCertInfo;
  // The version (3), digest and signature algorithms (15 each), the content-type (26) and
  // message-digest (49) attributes, the signing-time attribute around its value (15); the
  // headers of the certificates, the signer infos, the signer info, its issuer and serial, the
  // serial, the attributes and the signature.
  constexpr std::size_t fixed_fields = 3 + 15 + 15 + 26 + 49 + 15;
  constexpr std::size_t headers = 4 + 4 + 4 + 4 + 2 + 4 + 4;
  return certificates + fixed_fields + headers + signer.Issuer.cbData + signer.SerialNumber.cbData +
         1 + signing_time_size + longest_signature(request.certificate);
}

class DetachedSignature final : public SignatureSession {
 public:
  explicit DetachedSignature(const SigningRequest& request)
      : key_(acquire_signing_key(request.certificate)),
        signing_time_(encode_signing_time(request.signing_time)),
        trailing_size_(trailing_size(request, signing_time_.size())) {
    CRYPT_ATTR_BLOB signing_time_value{static_cast<DWORD>(signing_time_.size()),
                                       signing_time_.data()};
    CRYPT_ATTRIBUTE signing_time_attribute{const_cast<char*>(szOID_RSA_signingTime), 1,
                                           &signing_time_value};
    CMSG_SIGNER_ENCODE_INFO signer{};
    signer.cbSize = sizeof signer;
    signer.pCertInfo = request.certificate->pCertInfo;
    if (key_.is_ncrypt()) {
      signer.hNCryptKey = key_.handle();
    } else {
      signer.hCryptProv = key_.handle();
    }
    signer.dwKeySpec = key_.key_spec;
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
    // Detached, the platform hashes each update and keeps nothing of it.
    message_.reset(::CryptMsgOpenToEncode(encoding_types, CMSG_DETACHED_FLAG, CMSG_SIGNED,
                                          &message_info, nullptr, nullptr));
    if (!message_) throw last_key_failure();
  }

  void update(ByteView bytes) override {
    constexpr std::size_t most = 1u << 30;
    while (!bytes.empty()) {
      const std::size_t size = std::min(most, bytes.size());
      if (!::CryptMsgUpdate(message_.get(), bytes.data(), static_cast<DWORD>(size), FALSE)) {
        throw last_platform_failure();
      }
      bytes = bytes.subspan(size);
    }
  }

  Bytes finish() override {
    // The last update signs: a card's key asks for its PIN here.
    if (!::CryptMsgUpdate(message_.get(), nullptr, 0, TRUE)) throw last_key_failure();
    Bytes der = message_parameter(message_.get(), CMSG_CONTENT_PARAM);
    content_digest_ = signed_message_digest(der);
    return der;
  }

  Bytes expected_leading_fields() const override { return leading_fields(); }
  std::size_t expected_trailing_size() const override { return trailing_size_; }
  Bytes content_digest() const override { return content_digest_; }
  std::unique_ptr<Digest> new_content_digest() const override {
    return new_digest(szOID_NIST_sha256);
  }

 private:
  // The messageDigest attribute of the message just made: the digest the platform took.
  static Bytes signed_message_digest(ByteView der) {
    const auto decoded = decode_message(der);
    if (!decoded) throw crypt_failure(CryptError::bad_encode);
    const Bytes signer_bytes = message_parameter(decoded->message.get(), CMSG_SIGNER_INFO_PARAM);
    const auto& signer = *reinterpret_cast<const CMSG_SIGNER_INFO*>(signer_bytes.data());
    const auto value = attribute_value(signer.AuthAttrs, szOID_RSA_messageDigest);
    const auto digest = value ? octets_value(*value) : std::nullopt;
    if (!digest) throw crypt_failure(CryptError::bad_encode);
    return *digest;
  }

  SigningKey key_;
  Bytes signing_time_;
  std::size_t trailing_size_;
  windows::MessageHandle message_;
  Bytes content_digest_;
};

}  // namespace

std::unique_ptr<SignatureSession> start_signature(const SigningRequest& request) {
  return std::make_unique<DetachedSignature>(request);
}

}  // namespace orvane::provider::cryptoapi
