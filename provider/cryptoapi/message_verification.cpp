#include "provider/cryptoapi/message_verification.h"

#include <algorithm>
#include <map>
#include <string>
#include <string_view>

#include "provider/crypt_error.h"
#include "provider/cryptoapi/chain_verification.h"
#include "provider/cryptoapi/content_hash.h"
#include "provider/cryptoapi/platform_error.h"
#include "provider/cryptoapi/signer_policy_check.h"
#include "provider/der.h"
#include "provider/message_forms.h"
#include "provider/signer_policy.h"
#include "runtime/windows/ansi_code_page.h"

namespace orvane::provider::cryptoapi {
namespace {

constexpr DWORD encoding_types = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

[[noreturn]] void fail(CryptError error) {
  throw crypt_failure(error);
}

struct FreeLocal {
  void operator()(void* memory) const { ::LocalFree(memory); }
};

Bytes message_parameter(HCRYPTMSG message, DWORD type, DWORD index) {
  DWORD size = 0;
  if (!::CryptMsgGetParam(message, type, index, nullptr, &size)) throw last_platform_failure();
  Bytes value(size);
  if (!::CryptMsgGetParam(message, type, index, value.data(), &size)) {
    throw last_platform_failure();
  }
  value.resize(size);
  return value;
}

DWORD message_number(HCRYPTMSG message, DWORD type) {
  DWORD value = 0;
  DWORD size = sizeof value;
  if (!::CryptMsgGetParam(message, type, 0, &value, &size)) throw last_platform_failure();
  return value;
}

// The one encoded message that `message` stands for, decoded.
MessageHandle decode_message(TextView message, bool detached) {
  MessageHandle decoded;
  const auto parse = [&](ByteView der) {
    // Exactly one element: the platform would take a message followed by anything.
    const auto header = read_der_header(der);
    if (!header || header->size + header->content_length != der.size() || der.size() > MAXDWORD) {
      return false;
    }
    MessageHandle candidate(::CryptMsgOpenToDecode(
        encoding_types, detached ? CMSG_DETACHED_FLAG : 0, 0, 0, nullptr, nullptr));
    if (!candidate ||
        !::CryptMsgUpdate(candidate.get(), der.data(), static_cast<DWORD>(der.size()), TRUE)) {
      return false;
    }
    decoded = std::move(candidate);
    return true;
  };
  if (!parse_message_forms(message, windows::ansi_code_page(), parse)) {
    fail(CryptError::asn1_bad_tag);
  }
  return decoded;
}

// Hands a detached content to the message where it lies. Content that fits one update goes in
// one, as Wine takes it; Windows takes a larger one in pieces, each but the last not final.
void update_detached_content(HCRYPTMSG message, ByteView content) {
  constexpr std::size_t piece = std::size_t{1} << 30;
  std::size_t at = 0;
  do {
    const std::size_t size = std::min(piece, content.size() - at);
    const bool last = at + size == content.size();
    if (!::CryptMsgUpdate(message, content.data() + at, static_cast<DWORD>(size),
                          last ? TRUE : FALSE)) {
      throw last_platform_failure();
    }
    at += size;
  } while (at < content.size());
}

CertificateContextHandle find_in_user_store(const wchar_t* name, const CERT_INFO& signer_id) {
  const StoreHandle store(::CertOpenStore(
      CERT_STORE_PROV_SYSTEM_W, 0, 0,
      CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG | CERT_STORE_OPEN_EXISTING_FLAG,
      name));
  if (!store) return {};
  return CertificateContextHandle(::CertGetSubjectCertificateFromStore(
      store.get(), encoding_types, const_cast<CERT_INFO*>(&signer_id)));
}

// The signer's certificate: from the message, else from the user's stores, the personal store
// last.
CertificateContextHandle find_signer_certificate(HCRYPTMSG message, DWORD index,
                                                 HCERTSTORE carried) {
  Bytes id_bytes = message_parameter(message, CMSG_SIGNER_CERT_INFO_PARAM, index);
  const auto& signer_id = *reinterpret_cast<const CERT_INFO*>(id_bytes.data());
  CertificateContextHandle found(::CertGetSubjectCertificateFromStore(
      carried, encoding_types, const_cast<CERT_INFO*>(&signer_id)));
  if (!found) found = find_in_user_store(L"CA", signer_id);
  if (!found) found = find_in_user_store(L"My", signer_id);
  if (!found) fail(CryptError::signer_not_found);
  return found;
}

// The only value of the signed attribute `type`; nothing when there is none, or more than one.
std::optional<CRYPT_ATTR_BLOB> attribute_value(const CRYPT_ATTRIBUTES& attributes,
                                               std::string_view type) {
  std::optional<CRYPT_ATTR_BLOB> value;
  for (DWORD i = 0; i < attributes.cAttr; ++i) {
    const CRYPT_ATTRIBUTE& attribute = attributes.rgAttr[i];
    if (attribute.pszObjId == nullptr || type != attribute.pszObjId) continue;
    if (value || attribute.cValue != 1) return std::nullopt;
    value = attribute.rgValue[0];
  }
  return value;
}

template <typename Decoded>
std::unique_ptr<Decoded, FreeLocal> decode_attribute(const CRYPT_ATTR_BLOB& value,
                                                     const char* structure) {
  Decoded* decoded = nullptr;
  DWORD size = 0;
  if (!::CryptDecodeObjectEx(X509_ASN_ENCODING, structure, value.pbData, value.cbData,
                             CRYPT_DECODE_ALLOC_FLAG, nullptr, &decoded, &size)) {
    return nullptr;
  }
  return std::unique_ptr<Decoded, FreeLocal>(decoded);
}

// The content's digest by each algorithm that a signer names, taken once for all of them.
class ContentDigests {
 public:
  explicit ContentDigests(ByteView content) : content_(content) {}
  const Bytes& of(const char* algorithm) {
    const std::string key = algorithm != nullptr ? algorithm : "";
    auto found = digests_.find(key);
    if (found == digests_.end()) {
      found = digests_.emplace(key, content_hash(algorithm, content_)).first;
    }
    return found->second;
  }

 private:
  ByteView content_;
  std::map<std::string, Bytes> digests_;
};

// The content's digest, taken here, against the messageDigest attribute: a signature over
// the attributes alone proves nothing about a content that does not match them.
void check_content_digest(const CMSG_SIGNER_INFO& signer, ContentDigests& digests) {
  const auto recorded = attribute_value(signer.AuthAttrs, szOID_RSA_messageDigest);
  if (!recorded) fail(CryptError::attribute_missing);
  const auto digest = decode_attribute<CRYPT_DATA_BLOB>(*recorded, X509_OCTET_STRING);
  if (!digest) fail(CryptError::hash_value);
  const Bytes& taken = digests.of(signer.HashAlgorithm.pszObjId);
  if (!std::equal(taken.begin(), taken.end(), digest->pbData, digest->pbData + digest->cbData)) {
    fail(CryptError::hash_value);
  }
}

// The signed content-type attribute against the type of content the message carries.
std::optional<CryptError> content_type_error(const CMSG_SIGNER_INFO& signer, HCRYPTMSG message) {
  const auto value = attribute_value(signer.AuthAttrs, szOID_RSA_contentType);
  const auto signed_type =
      value ? decode_attribute<char*>(*value, X509_OBJECT_IDENTIFIER) : nullptr;
  const Bytes carried_type = message_parameter(message, CMSG_INNER_CONTENT_TYPE_PARAM, 0);
  const std::string_view carried(
      reinterpret_cast<const char*>(carried_type.data()),
      ::strnlen(reinterpret_cast<const char*>(carried_type.data()), carried_type.size()));
  if (signed_type && *signed_type != nullptr && carried == *signed_type) return std::nullopt;
  return crypt_error_of(SignerFault::content_type);
}

void check_platform_signature(HCRYPTMSG message, DWORD index, PCCERT_CONTEXT certificate) {
  CMSG_CTRL_VERIFY_SIGNATURE_EX_PARA signature{};
  signature.cbSize = sizeof signature;
  signature.dwSignerIndex = index;
  signature.dwSignerType = CMSG_VERIFY_SIGNER_CERT;
  signature.pvSigner = const_cast<CERT_CONTEXT*>(certificate);
  if (!::CryptMsgControl(message, 0, CMSG_CTRL_VERIFY_SIGNATURE_EX, &signature)) {
    throw last_platform_failure();
  }
}

}  // namespace

VerifiedMessage verify_message(TextView text, std::optional<ByteView> detached_content,
                               bool check_certificates, const Policy* revocation) {
  const MessageHandle message = decode_message(text, detached_content.has_value());
  if (message_number(message.get(), CMSG_TYPE_PARAM) != CMSG_SIGNED) {
    fail(CryptError::invalid_message_type);
  }
  const DWORD signer_count = message_number(message.get(), CMSG_SIGNER_COUNT_PARAM);
  if (signer_count == 0) fail(CryptError::no_signer);

  VerifiedMessage verified;
  verified.carried.reset(::CertOpenStore(CERT_STORE_PROV_MSG, encoding_types, 0, 0, message.get()));
  if (!verified.carried) throw last_platform_failure();
  if (detached_content) {
    update_detached_content(message.get(), *detached_content);
  } else {
    verified.content = message_parameter(message.get(), CMSG_CONTENT_PARAM, 0);
  }
  ContentDigests digests(detached_content ? *detached_content : ByteView(verified.content));

  for (DWORD i = 0; i < signer_count; ++i) {
    Bytes signer_bytes = message_parameter(message.get(), CMSG_SIGNER_INFO_PARAM, i);
    const auto& signer = *reinterpret_cast<const CMSG_SIGNER_INFO*>(signer_bytes.data());
    CertificateContextHandle certificate =
        find_signer_certificate(message.get(), i, verified.carried.get());
    if (const auto error = message_digest_error(signer.HashAlgorithm.pszObjId)) fail(*error);
    check_platform_signature(message.get(), i, certificate.get());
    // Without signed attributes the signature is over the content's digest itself, which the
    // platform has checked.
    if (signer.AuthAttrs.cAttr > 0) {
      check_content_digest(signer, digests);
      if (const auto error = content_type_error(signer, message.get())) fail(*error);
    }
    if (check_certificates) {
      if (const auto error = chain_error(certificate.get(), verified.carried.get(), revocation)) {
        fail(*error);
      }
      if (const auto error = signer_usage_error(certificate.get())) fail(*error);
    }
    verified.signers.push_back(std::make_shared<CryptoapiCertificate>(std::move(certificate)));
  }
  return verified;
}

}  // namespace orvane::provider::cryptoapi
