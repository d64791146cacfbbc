#include "provider/timestamp_protocol.h"

#include <algorithm>

#include "provider/crypt_error.h"
#include "provider/der.h"
#include "provider/object_identifiers.h"
#include "provider/utc_time.h"
#include "runtime/text.h"

namespace orvane::provider {
namespace {

Bytes joined(std::initializer_list<ByteView> parts) {
  Bytes whole;
  for (const ByteView part : parts) whole.insert(whole.end(), part.begin(), part.end());
  return whole;
}

Bytes object_identifier(std::string_view dotted) {
  const auto content = der_object_identifier(dotted);
  if (!content) throw timestamp_failure("the policy " + std::string(dotted) + " is no OID");
  return der_wrap(der_tag::object_identifier, *content);
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
    if (const auto texts = der_children(fields[i], der_tag::sequence)) {
      for (const DerElement& text : *texts) {
        if (text.tag == der_tag::utf8_string) {
          std::string said(text.content.begin(), text.content.end());
          // The authority's words go into a log line: no control characters, and not too many.
          std::replace_if(
              said.begin(), said.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; },
              ' ');
          details += ": " + said.substr(0, 200);
        }
      }
    } else if (fields[i].tag == der_tag::bit_string && fields[i].content.size() >= 2) {
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

}  // namespace

ByteView timestamp_info_content(ByteView token) {
  const auto info = der_single(token);
  const auto info_fields = info ? der_children(*info, der_tag::sequence) : std::nullopt;
  if (!info_fields || info_fields->size() != 2 || der_oid((*info_fields)[0]) != oid::signed_data) {
    throw timestamp_failure("the token is no signed data");
  }
  const auto explicit_data = der_children((*info_fields)[1], der_tag::context_0);
  const auto signed_data = explicit_data && explicit_data->size() == 1
                               ? der_children((*explicit_data)[0], der_tag::sequence)
                               : std::nullopt;
  const auto encapsulated = signed_data && signed_data->size() >= 4
                                ? der_children((*signed_data)[2], der_tag::sequence)
                                : std::nullopt;
  if (!encapsulated || encapsulated->size() != 2 || der_oid((*encapsulated)[0]) != oid::tst_info) {
    throw timestamp_failure("the token holds no TSTInfo");
  }
  const auto explicit_content = der_children((*encapsulated)[1], der_tag::context_0);
  if (!explicit_content || explicit_content->size() != 1 ||
      (*explicit_content)[0].tag != der_tag::octet_string) {
    throw timestamp_failure("the token's TSTInfo is not in DER");
  }
  return (*explicit_content)[0].content;
}

SigningCertificateId signing_certificate_id(std::string_view attribute, ByteView value) {
  const auto element = der_single(value);
  const auto fields = element ? der_children(*element, der_tag::sequence) : std::nullopt;
  const auto identifiers =
      fields && !fields->empty() ? der_children(fields->front(), der_tag::sequence) : std::nullopt;
  const auto first = identifiers && !identifiers->empty()
                         ? der_children(identifiers->front(), der_tag::sequence)
                         : std::nullopt;
  const auto malformed = [] {
    return timestamp_failure("the token's signing-certificate attribute is malformed");
  };
  if (!first || first->empty()) throw malformed();
  // The first version hashes with SHA-1; the second says its algorithm unless it is SHA-256.
  SigningCertificateId id{std::string(oid::sha1), {}};
  std::size_t hash_at = 0;
  if (attribute == oid::signing_certificate_v2) {
    id.digest_algorithm = oid::sha256;
    if (first->front().tag == der_tag::sequence) {
      const auto algorithm = der_children(first->front(), der_tag::sequence);
      const auto named =
          algorithm && !algorithm->empty() ? der_oid(algorithm->front()) : std::nullopt;
      if (!named) throw malformed();
      id.digest_algorithm = *named;
      hash_at = 1;
    }
  }
  if (hash_at >= first->size() || (*first)[hash_at].tag != der_tag::octet_string) {
    throw malformed();
  }
  id.hash.assign((*first)[hash_at].content.begin(), (*first)[hash_at].content.end());
  return id;
}

namespace {

// The algorithm's OID and the digest of a MessageImprint.
void read_imprint(const DerElement& element, TimestampInfo& info) {
  const auto fields = der_children(element, der_tag::sequence);
  const auto algorithm =
      fields && fields->size() == 2 ? der_children((*fields)[0], der_tag::sequence) : std::nullopt;
  const auto oid = algorithm && !algorithm->empty() ? der_oid((*algorithm)[0]) : std::nullopt;
  if (!oid || (*fields)[1].tag != der_tag::octet_string) {
    throw timestamp_failure("the token's message imprint is malformed");
  }
  info.imprint_algorithm = *oid;
  info.imprint.assign((*fields)[1].content.begin(), (*fields)[1].content.end());
}

// A SignerInfo with one more unsigned attribute, `attribute`.
Bytes with_unsigned_attribute(const DerElement& signer_info, ByteView attribute) {
  auto fields = der_children(signer_info, der_tag::sequence);
  if (!fields || fields->size() < 5) throw crypt_failure(CryptError::bad_encode);
  Bytes content;
  for (const DerElement& field : *fields) {
    if (field.tag != der_tag::context_1)
      content.insert(content.end(), field.whole.begin(), field.whole.end());
  }
  Bytes attributes;
  if (fields->back().tag == der_tag::context_1) {
    attributes.assign(fields->back().content.begin(), fields->back().content.end());
  }
  attributes.insert(attributes.end(), attribute.begin(), attribute.end());
  const Bytes unsigned_attributes = der_wrap(der_tag::context_1, attributes);
  content.insert(content.end(), unsigned_attributes.begin(), unsigned_attributes.end());
  return der_wrap(der_tag::sequence, content);
}

}  // namespace

Failure timestamp_failure(std::string_view why) {
  return Failure(crypt_error_number(CryptError::time_stamp),
                 crypt_error_text(CryptError::time_stamp) + u" (" + text_from_utf8(why) + u")");
}

Bytes timestamp_request(ByteView imprint, ByteView nonce, std::string_view policy) {
  const Bytes algorithm =
      der_wrap(der_tag::sequence,
               joined({object_identifier(oid::sha256), der_wrap(der_tag::null, ByteView())}));
  const Bytes message_imprint =
      der_wrap(der_tag::sequence, joined({algorithm, der_wrap(der_tag::octet_string, imprint)}));
  const Bytes version = der_wrap(der_tag::integer, Bytes{1});
  const Bytes requested_policy = policy.empty() ? Bytes() : object_identifier(policy);
  const Bytes certificate_requested = der_wrap(der_tag::boolean, Bytes{0xFF});
  return der_wrap(der_tag::sequence,
                  joined({version, message_imprint, requested_policy,
                          der_wrap(der_tag::integer, nonce), certificate_requested}));
}

Bytes granted_token(ByteView response) {
  const auto answer = der_single(response);
  const auto fields = answer ? der_children(*answer, der_tag::sequence) : std::nullopt;
  const auto status =
      fields && !fields->empty() ? der_children((*fields)[0], der_tag::sequence) : std::nullopt;
  if (!status || status->empty() || (*status)[0].tag != der_tag::integer) {
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
  const auto tst_info = der_single(timestamp_info_content(token));
  const auto fields = tst_info ? der_children(*tst_info, der_tag::sequence) : std::nullopt;
  if (!fields || fields->size() < 5 || (*fields)[0].tag != der_tag::integer ||
      (*fields)[3].tag != der_tag::integer || (*fields)[4].tag != der_tag::generalized_time) {
    throw timestamp_failure("the token's TSTInfo is malformed");
  }
  TimestampInfo info;
  const auto policy = der_oid((*fields)[1]);
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
    if ((*fields)[i].tag == der_tag::integer) {
      info.nonce = Bytes((*fields)[i].content.begin(), (*fields)[i].content.end());
    }
  }
  return info;
}

std::optional<SignerTimestampParts> signer_timestamp_parts(ByteView signer_info) {
  const auto element = der_single(signer_info);
  const auto fields = element ? der_children(*element, der_tag::sequence) : std::nullopt;
  if (!fields || fields->size() < 5) return std::nullopt;
  SignerTimestampParts parts;
  bool signature_found = false;
  for (const DerElement& field : *fields) {
    if (field.tag == der_tag::octet_string && !signature_found) {
      parts.signature = field.content;
      signature_found = true;
    }
  }
  if (!signature_found) return std::nullopt;
  if (fields->back().tag != der_tag::context_1) return parts;
  const auto attributes = der_elements(fields->back().content);
  if (!attributes) return std::nullopt;
  for (const DerElement& attribute : *attributes) {
    const auto type_and_values = der_children(attribute, der_tag::sequence);
    if (!type_and_values || type_and_values->size() != 2 ||
        der_oid((*type_and_values)[0]) != oid::timestamp_token) {
      continue;
    }
    const auto values = der_children((*type_and_values)[1], der_tag::set);
    if (!values) return std::nullopt;
    for (const DerElement& value : *values) parts.tokens.push_back(value.whole);
  }
  return parts;
}

Bytes with_timestamp_tokens(ByteView message, const std::function<Bytes(ByteView)>& token_for) {
  const auto info = der_single(message);
  const auto info_fields = info ? der_children(*info, der_tag::sequence) : std::nullopt;
  const auto explicit_data = info_fields && info_fields->size() == 2
                                 ? der_children((*info_fields)[1], der_tag::context_0)
                                 : std::nullopt;
  const auto signed_data = explicit_data && explicit_data->size() == 1
                               ? der_children((*explicit_data)[0], der_tag::sequence)
                               : std::nullopt;
  if (!signed_data || signed_data->size() < 4 || signed_data->back().tag != der_tag::set) {
    throw crypt_failure(CryptError::bad_encode);
  }
  const auto signer_infos = der_elements(signed_data->back().content);
  if (!signer_infos) throw crypt_failure(CryptError::bad_encode);
  const Bytes attribute_type = object_identifier(oid::timestamp_token);
  Bytes signers;
  for (const DerElement& signer_info : *signer_infos) {
    const auto parts = signer_timestamp_parts(signer_info.whole);
    if (!parts) throw crypt_failure(CryptError::bad_encode);
    const Bytes token = token_for(parts->signature);
    const Bytes attribute =
        der_wrap(der_tag::sequence, joined({attribute_type, der_wrap(der_tag::set, token)}));
    const Bytes changed = with_unsigned_attribute(signer_info, attribute);
    signers.insert(signers.end(), changed.begin(), changed.end());
  }
  Bytes content;
  for (std::size_t i = 0; i + 1 < signed_data->size(); ++i) {
    content.insert(content.end(), (*signed_data)[i].whole.begin(), (*signed_data)[i].whole.end());
  }
  const Bytes signer_set = der_wrap(der_tag::set, signers);
  content.insert(content.end(), signer_set.begin(), signer_set.end());
  return der_wrap(der_tag::sequence,
                  joined({(*info_fields)[0].whole,
                          der_wrap(der_tag::context_0, der_wrap(der_tag::sequence, content))}));
}

}  // namespace orvane::provider
