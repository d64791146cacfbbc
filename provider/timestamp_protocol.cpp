#include "provider/timestamp_protocol.h"

#include <algorithm>

#include "provider/crypt_error.h"
#include "provider/der.h"
#include "provider/utc_time.h"
#include "runtime/text.h"

namespace orvane::provider {
namespace {

constexpr std::uint8_t integer_tag = 0x02;
constexpr std::uint8_t bit_string_tag = 0x03;
constexpr std::uint8_t octet_string_tag = 0x04;
constexpr std::uint8_t null_tag = 0x05;
constexpr std::uint8_t object_identifier_tag = 0x06;
constexpr std::uint8_t utf8_string_tag = 0x0C;
constexpr std::uint8_t generalized_time_tag = 0x18;
constexpr std::uint8_t boolean_tag = 0x01;
constexpr std::uint8_t sequence_tag = 0x30;
constexpr std::uint8_t set_tag = 0x31;
constexpr std::uint8_t explicit_zero_tag = 0xA0;
constexpr std::uint8_t implicit_one_tag = 0xA1;

constexpr std::string_view signed_data_oid = "1.2.840.113549.1.7.2";
constexpr std::string_view tst_info_oid = "1.2.840.113549.1.9.16.1.4";

Bytes joined(std::initializer_list<ByteView> parts) {
  Bytes whole;
  for (const ByteView part : parts) whole.insert(whole.end(), part.begin(), part.end());
  return whole;
}

Bytes object_identifier(std::string_view dotted) {
  const auto content = der_object_identifier(dotted);
  if (!content) throw timestamp_failure("the policy " + std::string(dotted) + " is no OID");
  return der_wrap(object_identifier_tag, *content);
}

// The elements of `element`'s content when it has `tag`; nothing otherwise.
std::optional<std::vector<DerElement>> children(const DerElement& element, std::uint8_t tag) {
  if (element.tag != tag) return std::nullopt;
  return der_elements(element.content);
}

std::optional<std::string> oid_of(const DerElement& element) {
  if (element.tag != object_identifier_tag) return std::nullopt;
  return dotted_object_identifier(element.content);
}

// The one element that `der` holds.
std::optional<DerElement> single(ByteView der) {
  auto element = take_der_element(der);
  if (!element || !der.empty()) return std::nullopt;
  return element;
}

// The PKIStatus names of RFC 3161, by value.
std::string status_name(ByteView status) {
  static constexpr const char* names[] = {"granted", "grantedWithMods",   "rejection",
                                          "waiting", "revocationWarning", "revocationNotification"};
  if (status.size() == 1 && status[0] < std::size(names)) return names[status[0]];
  return "an unknown status";
}

// What a PKIStatusInfo's statusString and failInfo say, for the log.
std::string status_details(const std::vector<DerElement>& fields) {
  std::string details;
  for (std::size_t i = 1; i < fields.size(); ++i) {
    if (const auto texts = children(fields[i], sequence_tag)) {
      for (const DerElement& text : *texts) {
        if (text.tag == utf8_string_tag) {
          std::string said(text.content.begin(), text.content.end());
          // The authority's words go into a log line: no control characters, and not too many.
          std::replace_if(
              said.begin(), said.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; },
              ' ');
          details += ": " + said.substr(0, 200);
        }
      }
    } else if (fields[i].tag == bit_string_tag && fields[i].content.size() >= 2) {
      static constexpr std::pair<int, const char*> reasons[] = {{0, "badAlg"},
                                                                {2, "badRequest"},
                                                                {5, "badDataFormat"},
                                                                {14, "timeNotAvailable"},
                                                                {15, "unacceptedPolicy"},
                                                                {16, "unacceptedExtension"},
                                                                {17, "addInfoNotAvailable"},
                                                                {25, "systemFailure"}};
      for (const auto& [bit, name] : reasons) {
        const std::size_t octet = 1 + static_cast<std::size_t>(bit / 8);
        if (octet < fields[i].content.size() &&
            (fields[i].content[octet] & (0x80 >> (bit % 8))) != 0) {
          details += std::string(", ") + name;
        }
      }
    }
  }
  return details;
}

// The content octets of the TSTInfo inside a token.
ByteView tst_info_of(ByteView token) {
  const auto info = single(token);
  const auto info_fields = info ? children(*info, sequence_tag) : std::nullopt;
  if (!info_fields || info_fields->size() != 2 || oid_of((*info_fields)[0]) != signed_data_oid) {
    throw timestamp_failure("the token is no signed data");
  }
  const auto explicit_data = children((*info_fields)[1], explicit_zero_tag);
  const auto signed_data = explicit_data && explicit_data->size() == 1
                               ? children((*explicit_data)[0], sequence_tag)
                               : std::nullopt;
  const auto encapsulated = signed_data && signed_data->size() >= 4
                                ? children((*signed_data)[2], sequence_tag)
                                : std::nullopt;
  if (!encapsulated || encapsulated->size() != 2 || oid_of((*encapsulated)[0]) != tst_info_oid) {
    throw timestamp_failure("the token holds no TSTInfo");
  }
  const auto explicit_content = children((*encapsulated)[1], explicit_zero_tag);
  if (!explicit_content || explicit_content->size() != 1 ||
      (*explicit_content)[0].tag != octet_string_tag) {
    throw timestamp_failure("the token's TSTInfo is not in DER");
  }
  return (*explicit_content)[0].content;
}

// The algorithm's OID and the digest of a MessageImprint.
void read_imprint(const DerElement& element, TimestampInfo& info) {
  const auto fields = children(element, sequence_tag);
  const auto algorithm =
      fields && fields->size() == 2 ? children((*fields)[0], sequence_tag) : std::nullopt;
  const auto oid = algorithm && !algorithm->empty() ? oid_of((*algorithm)[0]) : std::nullopt;
  if (!oid || (*fields)[1].tag != octet_string_tag) {
    throw timestamp_failure("the token's message imprint is malformed");
  }
  info.imprint_algorithm = *oid;
  info.imprint.assign((*fields)[1].content.begin(), (*fields)[1].content.end());
}

// A SignerInfo with one more unsigned attribute, `attribute`.
Bytes with_unsigned_attribute(const DerElement& signer_info, ByteView attribute) {
  auto fields = children(signer_info, sequence_tag);
  if (!fields || fields->size() < 5) throw crypt_failure(CryptError::bad_encode);
  Bytes content;
  for (const DerElement& field : *fields) {
    if (field.tag != implicit_one_tag)
      content.insert(content.end(), field.whole.begin(), field.whole.end());
  }
  Bytes attributes;
  if (fields->back().tag == implicit_one_tag) {
    attributes.assign(fields->back().content.begin(), fields->back().content.end());
  }
  attributes.insert(attributes.end(), attribute.begin(), attribute.end());
  const Bytes unsigned_attributes = der_wrap(implicit_one_tag, attributes);
  content.insert(content.end(), unsigned_attributes.begin(), unsigned_attributes.end());
  return der_wrap(sequence_tag, content);
}

}  // namespace

Failure timestamp_failure(std::string_view why) {
  return Failure(crypt_error_number(CryptError::time_stamp),
                 crypt_error_text(CryptError::time_stamp) + u" (" + text_from_utf8(why) + u")");
}

Bytes timestamp_request(ByteView imprint, ByteView nonce, std::string_view policy) {
  const Bytes algorithm = der_wrap(
      sequence_tag, joined({object_identifier(sha256_oid), der_wrap(null_tag, ByteView())}));
  const Bytes message_imprint =
      der_wrap(sequence_tag, joined({algorithm, der_wrap(octet_string_tag, imprint)}));
  const Bytes version = der_wrap(integer_tag, Bytes{1});
  const Bytes requested_policy = policy.empty() ? Bytes() : object_identifier(policy);
  const Bytes certificate_requested = der_wrap(boolean_tag, Bytes{0xFF});
  return der_wrap(sequence_tag, joined({version, message_imprint, requested_policy,
                                        der_wrap(integer_tag, nonce), certificate_requested}));
}

Bytes granted_token(ByteView response) {
  const auto answer = single(response);
  const auto fields = answer ? children(*answer, sequence_tag) : std::nullopt;
  const auto status =
      fields && !fields->empty() ? children((*fields)[0], sequence_tag) : std::nullopt;
  if (!status || status->empty() || (*status)[0].tag != integer_tag) {
    throw timestamp_failure("the authority's answer is no time-stamp response");
  }
  const ByteView value = (*status)[0].content;
  const bool granted = value.size() == 1 && value[0] <= 1;
  if (!granted) {
    throw timestamp_failure("the authority answered " + status_name(value) +
                            status_details(*status));
  }
  if (fields->size() != 2) throw timestamp_failure("the authority granted no token");
  return Bytes((*fields)[1].whole.begin(), (*fields)[1].whole.end());
}

TimestampInfo read_timestamp_info(ByteView token) {
  const auto tst_info = single(tst_info_of(token));
  const auto fields = tst_info ? children(*tst_info, sequence_tag) : std::nullopt;
  if (!fields || fields->size() < 5 || (*fields)[0].tag != integer_tag ||
      (*fields)[3].tag != integer_tag || (*fields)[4].tag != generalized_time_tag) {
    throw timestamp_failure("the token's TSTInfo is malformed");
  }
  TimestampInfo info;
  const auto policy = oid_of((*fields)[1]);
  if (!policy) throw timestamp_failure("the token names no policy");
  info.policy = *policy;
  read_imprint((*fields)[2], info);
  const ByteView time = (*fields)[4].content;
  const auto seconds = generalized_time_seconds(
      std::string_view(reinterpret_cast<const char*>(time.data()), time.size()));
  if (!seconds) throw timestamp_failure("the token's time is malformed");
  info.time = *seconds;
  // After genTime: accuracy, ordering, nonce, tsa, extensions, each optional.
  for (std::size_t i = 5; i < fields->size(); ++i) {
    if ((*fields)[i].tag == integer_tag) {
      info.nonce = Bytes((*fields)[i].content.begin(), (*fields)[i].content.end());
    }
  }
  return info;
}

std::optional<SignerTimestampParts> signer_timestamp_parts(ByteView signer_info) {
  const auto element = single(signer_info);
  const auto fields = element ? children(*element, sequence_tag) : std::nullopt;
  if (!fields || fields->size() < 5) return std::nullopt;
  SignerTimestampParts parts;
  bool signature_found = false;
  for (const DerElement& field : *fields) {
    if (field.tag == octet_string_tag && !signature_found) {
      parts.signature = field.content;
      signature_found = true;
    }
  }
  if (!signature_found) return std::nullopt;
  if (fields->back().tag != implicit_one_tag) return parts;
  const auto attributes = der_elements(fields->back().content);
  if (!attributes) return std::nullopt;
  for (const DerElement& attribute : *attributes) {
    const auto type_and_values = children(attribute, sequence_tag);
    if (!type_and_values || type_and_values->size() != 2 ||
        oid_of((*type_and_values)[0]) != timestamp_token_oid) {
      continue;
    }
    const auto values = children((*type_and_values)[1], set_tag);
    if (!values) return std::nullopt;
    for (const DerElement& value : *values) parts.tokens.push_back(value.whole);
  }
  return parts;
}

Bytes with_timestamp_tokens(ByteView message, const std::function<Bytes(ByteView)>& token_for) {
  const auto info = single(message);
  const auto info_fields = info ? children(*info, sequence_tag) : std::nullopt;
  const auto explicit_data = info_fields && info_fields->size() == 2
                                 ? children((*info_fields)[1], explicit_zero_tag)
                                 : std::nullopt;
  const auto signed_data = explicit_data && explicit_data->size() == 1
                               ? children((*explicit_data)[0], sequence_tag)
                               : std::nullopt;
  if (!signed_data || signed_data->size() < 4 || signed_data->back().tag != set_tag) {
    throw crypt_failure(CryptError::bad_encode);
  }
  const auto signer_infos = der_elements(signed_data->back().content);
  if (!signer_infos) throw crypt_failure(CryptError::bad_encode);
  const Bytes attribute_type = object_identifier(timestamp_token_oid);
  Bytes signers;
  for (const DerElement& signer_info : *signer_infos) {
    const auto parts = signer_timestamp_parts(signer_info.whole);
    if (!parts) throw crypt_failure(CryptError::bad_encode);
    const Bytes token = token_for(parts->signature);
    const Bytes attribute =
        der_wrap(sequence_tag, joined({attribute_type, der_wrap(set_tag, token)}));
    const Bytes changed = with_unsigned_attribute(signer_info, attribute);
    signers.insert(signers.end(), changed.begin(), changed.end());
  }
  Bytes content;
  for (std::size_t i = 0; i + 1 < signed_data->size(); ++i) {
    content.insert(content.end(), (*signed_data)[i].whole.begin(), (*signed_data)[i].whole.end());
  }
  const Bytes signer_set = der_wrap(set_tag, signers);
  content.insert(content.end(), signer_set.begin(), signer_set.end());
  return der_wrap(sequence_tag,
                  joined({(*info_fields)[0].whole,
                          der_wrap(explicit_zero_tag, der_wrap(sequence_tag, content))}));
}

}  // namespace orvane::provider
