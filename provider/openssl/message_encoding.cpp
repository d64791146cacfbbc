#include "provider/openssl/message_encoding.h"

#include <openssl/err.h>

#include <optional>

#include "provider/der.h"

namespace orvane::provider::openssl {
namespace {

constexpr std::uint8_t sequence = 0x30;
constexpr std::uint8_t certificates_field = 0xA0;  // [0] IMPLICIT SET OF in SignedData
constexpr std::uint8_t explicit_content = 0xA0;    // [0] EXPLICIT in ContentInfo

// A signed-data ContentInfo without its certificates field, and the DER of each certificate
// that field held; nothing when `der` is not a DER ContentInfo of that plain shape.
struct WithoutCertificates {
  Bytes message;
  std::vector<ByteView> certificates;
};

std::optional<WithoutCertificates> split_certificates(ByteView der) {
  const auto info = take_der_element(der);
  if (!info || !der.empty() || info->tag != sequence) return std::nullopt;
  const auto info_fields = der_elements(info->content);
  if (!info_fields || info_fields->size() != 2 || (*info_fields)[1].tag != explicit_content) {
    return std::nullopt;
  }
  const auto signed_data = der_elements((*info_fields)[1].content);
  if (!signed_data || signed_data->size() != 1 || signed_data->front().tag != sequence) {
    return std::nullopt;
  }
  const auto fields = der_elements(signed_data->front().content);
  if (!fields) return std::nullopt;

  WithoutCertificates split;
  std::size_t kept_size = 0;
  for (const DerElement& field : *fields) {
    if (field.tag != certificates_field) {
      kept_size += field.whole.size();
      continue;
    }
    const auto certificates = der_elements(field.content);
    if (!certificates) return std::nullopt;
    for (const DerElement& certificate : *certificates) {
      // Other choices (attribute certificates and the like) stay for OpenSSL to judge.
      if (certificate.tag != sequence) return std::nullopt;
      split.certificates.push_back(certificate.whole);
    }
  }
  // Written once, headers first: an attached message may carry a large content.
  const ByteView type = (*info_fields)[0].whole;
  const Bytes signed_data_header = der_header(sequence, kept_size);
  const Bytes explicit_header = der_header(explicit_content, signed_data_header.size() + kept_size);
  const std::size_t info_size =
      type.size() + explicit_header.size() + signed_data_header.size() + kept_size;
  split.message = der_header(sequence, info_size);
  split.message.reserve(split.message.size() + info_size);
  for (const ByteView part : {type, ByteView(explicit_header), ByteView(signed_data_header)}) {
    split.message.insert(split.message.end(), part.begin(), part.end());
  }
  for (const DerElement& field : *fields) {
    if (field.tag != certificates_field) {
      split.message.insert(split.message.end(), field.whole.begin(), field.whole.end());
    }
  }
  return split;
}

CmsPtr parse_whole(ByteView der) {
  const unsigned char* cursor = der.data();
  CmsPtr parsed(d2i_CMS_ContentInfo(nullptr, &cursor, static_cast<long>(der.size())));
  return parsed && cursor == der.data() + der.size() ? std::move(parsed) : nullptr;
}

}  // namespace

std::optional<DecodedMessage> decode_message(ByteView der, CertificateCache& certificates) {
  DecodedMessage decoded;
  // The carried certificates are parsed apart from the rest, so that those seen before are not
  // parsed again.
  if (auto split = split_certificates(der)) {
    for (const ByteView certificate : split->certificates) {
      X509Ptr parsed = certificates.get(certificate);
      if (!parsed) return std::nullopt;
      decoded.certificates.push_back(std::move(parsed));
    }
    decoded.message = parse_whole(split->message);
  } else {
    decoded.message = parse_whole(der);
    if (decoded.message) {
      const X509StackPtr carried(CMS_get1_certs(decoded.message.get()));
      for (int i = 0; i < sk_X509_num(carried.get()); ++i) {
        decoded.certificates.push_back(share(sk_X509_value(carried.get(), i)));
      }
    }
  }
  ERR_clear_error();
  if (!decoded.message) return std::nullopt;
  return decoded;
}

}  // namespace orvane::provider::openssl
