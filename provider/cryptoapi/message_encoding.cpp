#include "provider/cryptoapi/message_encoding.h"

#include <utility>

#include "provider/cryptoapi/platform_error.h"
#include "provider/der.h"

namespace orvane::provider::cryptoapi {
namespace {

constexpr DWORD encoding_types = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

// The one element of `der` of `tag`; nothing when `der` is not exactly that.
std::optional<DerElement> only_element(ByteView der, std::uint8_t tag) {
  const auto element = take_der_element(der);
  if (!element || element->tag != tag || !der.empty()) return std::nullopt;
  return element;
}

// The signerInfos of a DER signed-data ContentInfo; nothing when it is not all DER.
std::optional<std::vector<DerElement>> signer_infos(ByteView der) {
  const auto content_info = only_element(der, der_tag::sequence);
  const auto outer = content_info ? der_elements(content_info->content) : std::nullopt;
  if (!outer || outer->size() != 2) return std::nullopt;
  const auto signed_data = only_element((*outer)[1].content, der_tag::sequence);
  const auto fields = signed_data ? der_elements(signed_data->content) : std::nullopt;
  if (!fields || fields->empty() || fields->back().tag != der_tag::set) return std::nullopt;
  return der_elements(fields->back().content);
}

// Each signer's signed attributes as signed_attributes in DecodedMessage describes them.
std::vector<Bytes> signed_attributes_of(ByteView der, DWORD signer_count) {
  const auto signers = signer_infos(der);
  if (!signers || signers->size() != signer_count) return {};
  std::vector<Bytes> attributes;
  for (const DerElement& signer : *signers) {
    const auto fields =
        signer.tag == der_tag::sequence ? der_elements(signer.content) : std::nullopt;
    if (!fields) return {};
    Bytes signed_attributes;
    // version, sid, digestAlgorithm, then the attributes when there are any
    if (fields->size() > 3 && (*fields)[3].tag == der_tag::context_0) {
      signed_attributes.assign((*fields)[3].whole.begin(), (*fields)[3].whole.end());
      signed_attributes[0] = der_tag::set;
    }
    attributes.push_back(std::move(signed_attributes));
  }
  return attributes;
}

template <typename Decoded>
windows::LocalMemory<Decoded> decoded(const CRYPT_ATTR_BLOB& value, const char* structure) {
  windows::LocalMemory<Decoded> result;
  DWORD size = 0;
  ::CryptDecodeObjectEx(X509_ASN_ENCODING, structure, value.pbData, value.cbData,
                        CRYPT_DECODE_ALLOC_FLAG, nullptr, result.put(), &size);
  return result;
}

}  // namespace

std::optional<DecodedMessage> decode_message(ByteView der) {
  if (der.size() > MAXDWORD) return std::nullopt;
  DecodedMessage decoded{
      windows::MessageHandle(::CryptMsgOpenToDecode(encoding_types, 0, 0, 0, nullptr, nullptr)),
      {}};
  if (!decoded.message ||
      !::CryptMsgUpdate(decoded.message.get(), der.data(), static_cast<DWORD>(der.size()), TRUE)) {
    return std::nullopt;
  }
  DWORD type = 0;
  DWORD size = sizeof type;
  if (::CryptMsgGetParam(decoded.message.get(), CMSG_TYPE_PARAM, 0, &type, &size) &&
      type == CMSG_SIGNED) {
    decoded.signed_attributes =
        signed_attributes_of(der, message_number(decoded.message.get(), CMSG_SIGNER_COUNT_PARAM));
  }
  return decoded;
}

Bytes message_parameter(HCRYPTMSG message, DWORD type, DWORD index) {
  Bytes value;
  if (!windows::size_then_fill(value, [&](BYTE* data, DWORD* size) {
        return ::CryptMsgGetParam(message, type, index, data, size) != FALSE;
      })) {
    throw last_platform_failure();
  }
  return value;
}

DWORD message_number(HCRYPTMSG message, DWORD type) {
  DWORD value = 0;
  DWORD size = sizeof value;
  if (!::CryptMsgGetParam(message, type, 0, &value, &size)) throw last_platform_failure();
  return value;
}

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

std::optional<Bytes> octets_value(const CRYPT_ATTR_BLOB& value) {
  const auto octets = decoded<CRYPT_DATA_BLOB>(value, X509_OCTET_STRING);
  if (!octets) return std::nullopt;
  return Bytes(octets.get()->pbData, octets.get()->pbData + octets.get()->cbData);
}

std::optional<std::string> object_identifier_value(const CRYPT_ATTR_BLOB& value) {
  const auto oid = decoded<char*>(value, X509_OBJECT_IDENTIFIER);
  if (!oid || *oid.get() == nullptr) return std::nullopt;
  return std::string(*oid.get());
}

MessageDecoder::MessageDecoder(bool take_digests, std::vector<std::string> other_algorithms,
                               ContentSink* carried)
    : take_digests_(take_digests),
      other_algorithms_(std::move(other_algorithms)),
      carried_(carried) {
  forget();
}

void MessageDecoder::restart() {
  forget();
  if (carried_ != nullptr) carried_->restart();
}

void MessageDecoder::forget() {
  digests_ = ContentDigests();
  if (take_digests_) {
    for (const std::string& oid : other_algorithms_) digests_.add(oid);
  }
  message_.reset();
}

void MessageDecoder::digest_algorithms(const std::vector<Bytes>& algorithms) {
  if (!take_digests_) return;
  for (const Bytes& algorithm : algorithms) {
    if (const auto oid = algorithm_oid(algorithm)) digests_.add(*oid);
  }
}

void MessageDecoder::content(ByteView bytes) {
  if (!take_digests_) return;
  digests_.update(bytes);
  if (carried_ != nullptr) carried_->write(bytes);
}

bool MessageDecoder::accept(ByteView message_without_content) {
  message_ = decode_message(message_without_content);
  return message_.has_value();
}

}  // namespace orvane::provider::cryptoapi
