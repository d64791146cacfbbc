#include "provider/message_description.h"

#include <array>
#include <string_view>

#include "provider/der.h"
#include "provider/object_identifiers.h"
#include "provider/serial_number.h"
#include "provider/timestamp_protocol.h"
#include "provider/utc_time.h"
#include "runtime/failure.h"

namespace orvane::provider {
namespace {

// A token inside a token would be no timestamp anyone makes: one level is read.
constexpr int token_depth_limit = 1;

bool same(ByteView a, ByteView b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

// The algorithm OID of an AlgorithmIdentifier.
std::string algorithm_of(const DerElement& identifier) {
  const auto fields = der_children(identifier, der_tag::sequence);
  if (!fields || fields->empty()) return "?";
  const auto oid = der_oid(fields->front());
  return oid ? algorithm_name(*oid) : "?";
}

// The UTF-8 sequence at the front of `text` and its code point; nothing for bytes that are no
// shortest-form sequence of a scalar value.
struct Sequence {
  std::size_t length;
  char32_t code_point;
};
std::optional<Sequence> utf8_sequence(std::string_view text) {
  const auto byte = static_cast<unsigned char>(text.front());
  if (byte < 0x80) return Sequence{1, byte};
  const std::size_t length = (byte >> 5) == 6    ? 2
                             : (byte >> 4) == 14 ? 3
                             : (byte >> 3) == 30 ? 4
                                                 : 0;
  if (length == 0 || text.size() < length) return std::nullopt;
  char32_t code_point = byte & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[i]);
    if ((next >> 6) != 2) return std::nullopt;
    code_point = code_point << 6 | (next & 0x3F);
  }
  constexpr char32_t shortest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code_point < shortest[length] || code_point > 0x10FFFF ||
      (code_point >= 0xD800 && code_point <= 0xDFFF)) {
    return std::nullopt;
  }
  return Sequence{length, code_point};
}

// Characters that would steer a terminal or reorder what a person reads.
bool is_steering(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
         (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0xFEFF;
}

void append_hex(std::string& out, unsigned char byte) {
  constexpr char digits[] = "0123456789ABCDEF";
  out += '\\';
  out += digits[byte >> 4];
  out += digits[byte & 15];
}

// An RFC 2253 attribute value, `special` characters escaped with "\".
void append_escaped_value(std::string& out, std::string_view value, std::string_view special) {
  for (std::size_t i = 0; i < value.size();) {
    const auto sequence = utf8_sequence(value.substr(i));
    if (!sequence || is_steering(sequence->code_point)) {
      const std::size_t length = sequence ? sequence->length : 1;
      for (std::size_t j = 0; j < length; ++j)
        append_hex(out, static_cast<unsigned char>(value[i + j]));
      i += length;
      continue;
    }
    if (sequence->length == 1) {
      const char c = value[i];
      const bool at_edge =
          (i == 0 && (c == ' ' || c == '#')) || (i + 1 == value.size() && c == ' ');
      if ((at_edge && !special.empty()) || special.find(c) != std::string_view::npos) out += '\\';
    }
    out.append(value.substr(i, sequence->length));
    i += sequence->length;
  }
}

// The name that `names` gives the dotted OID `oid`; the OID itself when it gives none.
template <std::size_t N>
std::string name_of(const std::array<std::pair<std::string_view, std::string_view>, N>& names,
                    const std::string& oid) {
  for (const auto& [dotted, name] : names) {
    if (dotted == oid) return std::string(name);
  }
  return oid;
}

std::string attribute_type_name(const std::string& oid) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 7> names{{
      {"2.5.4.3", "CN"},
      {"2.5.4.10", "O"},
      {"2.5.4.11", "OU"},
      {"2.5.4.6", "C"},
      {"2.5.4.7", "L"},
      {"2.5.4.8", "ST"},
      {"1.2.840.113549.1.9.1", "emailAddress"},
  }};
  return name_of(names, oid);
}

// Certificate fields that a signer is matched and described by.
struct CertificateFields {
  ByteView serial;  // INTEGER content
  ByteView issuer;  // Name, whole
  ByteView subject;
};

std::optional<CertificateFields> certificate_fields(const DerElement& certificate) {
  const auto parts = der_children(certificate, der_tag::sequence);
  if (!parts || parts->empty()) return std::nullopt;
  const auto tbs = der_children(parts->front(), der_tag::sequence);
  if (!tbs) return std::nullopt;
  std::size_t at = !tbs->empty() && tbs->front().tag == der_tag::context_0 ? 1 : 0;
  if (tbs->size() < at + 5 || (*tbs)[at].tag != der_tag::integer) return std::nullopt;
  return CertificateFields{(*tbs)[at].content, (*tbs)[at + 2].whole, (*tbs)[at + 4].whole};
}

std::optional<std::int64_t> time_seconds(const DerElement& time) {
  const std::string text(time.content.begin(), time.content.end());
  if (time.tag == der_tag::generalized_time) return generalized_time_seconds(text);
  if (time.tag != der_tag::utc_time || text.size() != 13) return std::nullopt;
  // RFC 5280: two-digit years from 50 are of the twentieth century.
  const bool nineteen = text[0] >= '5' && text[0] <= '9';
  return generalized_time_seconds((nineteen ? "19" : "20") + text);
}

std::optional<std::int64_t> signing_time_of(const DerElement& signed_attributes) {
  const auto attributes = der_elements(signed_attributes.content);
  if (!attributes) return std::nullopt;
  for (const DerElement& attribute : *attributes) {
    const auto fields = der_children(attribute, der_tag::sequence);
    if (!fields || fields->size() != 2 || der_oid((*fields)[0]) != oid::signing_time) continue;
    const auto values = der_children((*fields)[1], der_tag::set);
    if (!values || values->size() != 1) return std::nullopt;
    return time_seconds(values->front());
  }
  return std::nullopt;
}

std::optional<MessageDescription> describe(ByteView message, int depth);

TokenDescription describe_token(ByteView token, int depth) {
  const TimestampInfo info = read_timestamp_info(token);
  TokenDescription description{info.time, {}, info.policy};
  if (depth < token_depth_limit) {
    const auto signers = describe(token, depth + 1);
    if (signers && !signers->signers.empty()) {
      description.authority = signers->signers.front().subject;
    }
  }
  return description;
}

std::optional<SignerDescription> describe_signer(const DerElement& signer_info,
                                                 const std::vector<DerElement>& certificates,
                                                 int depth) {
  const auto fields = der_children(signer_info, der_tag::sequence);
  if (!fields || fields->size() < 5) return std::nullopt;
  SignerDescription signer;
  std::size_t at = 1;
  const DerElement& sid = (*fields)[at++];
  if (const auto issuer_and_serial = der_children(sid, der_tag::sequence)) {
    if (issuer_and_serial->size() != 2 || (*issuer_and_serial)[1].tag != der_tag::integer) {
      return std::nullopt;
    }
    const ByteView issuer = (*issuer_and_serial)[0].whole;
    const ByteView serial = (*issuer_and_serial)[1].content;
    signer.issuer = name_text(issuer).value_or("?");
    signer.serial = text_to_utf8(serial_number_hex(serial));
    for (const DerElement& certificate : certificates) {
      const auto facts = certificate_fields(certificate);
      if (facts && same(facts->issuer, issuer) && same(facts->serial, serial)) {
        signer.subject = name_text(facts->subject).value_or("?");
        break;
      }
    }
  }
  signer.digest_algorithm = algorithm_of((*fields)[at++]);
  if ((*fields)[at].tag == der_tag::context_0)
    signer.signing_time = signing_time_of((*fields)[at++]);
  if (at >= fields->size()) return std::nullopt;
  signer.signature_algorithm = algorithm_of((*fields)[at]);
  const auto parts = signer_timestamp_parts(signer_info.whole);
  if (parts && !parts->tokens.empty()) {
    try {
      signer.timestamp = describe_token(parts->tokens.front(), depth);
    } catch (const Failure& failure) {
      signer.timestamp_fault = printable_text(failure.what());
    }
  }
  return signer;
}

std::optional<MessageDescription> describe(ByteView message, int depth) {
  const auto info = der_single(message);
  const auto info_fields = info ? der_children(*info, der_tag::sequence) : std::nullopt;
  if (!info_fields || info_fields->size() != 2 || der_oid((*info_fields)[0]) != oid::signed_data) {
    return std::nullopt;
  }
  const auto explicit_data = der_children((*info_fields)[1], der_tag::context_0);
  if (!explicit_data || explicit_data->size() != 1) return std::nullopt;
  const auto fields = der_children(explicit_data->front(), der_tag::sequence);
  if (!fields || fields->size() < 4 || fields->back().tag != der_tag::set) return std::nullopt;
  std::vector<DerElement> certificates;
  if ((*fields)[3].tag == der_tag::context_0) {
    auto listed = der_elements((*fields)[3].content);
    if (!listed) return std::nullopt;
    certificates = std::move(*listed);
  }
  const auto signer_infos = der_elements(fields->back().content);
  if (!signer_infos) return std::nullopt;
  MessageDescription description;
  for (const DerElement& signer_info : *signer_infos) {
    auto signer = describe_signer(signer_info, certificates, depth);
    if (!signer) return std::nullopt;
    description.signers.push_back(std::move(*signer));
  }
  return description;
}

}  // namespace

std::optional<MessageDescription> describe_signed_data(ByteView message) {
  return describe(message, 0);
}

std::optional<std::string> name_text(ByteView name) {
  const auto element = der_single(name);
  const auto rdns = element ? der_children(*element, der_tag::sequence) : std::nullopt;
  if (!rdns) return std::nullopt;
  std::string text;
  for (auto rdn = rdns->rbegin(); rdn != rdns->rend(); ++rdn) {
    const auto pairs = der_children(*rdn, der_tag::set);
    if (!pairs) return std::nullopt;
    if (!text.empty()) text += ',';
    bool first = true;
    for (const DerElement& pair : *pairs) {
      const auto type_and_value = der_children(pair, der_tag::sequence);
      if (!type_and_value || type_and_value->size() != 2) return std::nullopt;
      const auto type = der_oid((*type_and_value)[0]);
      if (!type) return std::nullopt;
      if (!first) text += '+';
      first = false;
      text += attribute_type_name(*type) + '=';
      const DerElement& value = (*type_and_value)[1];
      if (value.tag == der_tag::utf8_string || value.tag == der_tag::printable_string ||
          value.tag == der_tag::ia5_string) {
        append_escaped_value(text,
                             std::string_view(reinterpret_cast<const char*>(value.content.data()),
                                              value.content.size()),
                             ",+\"\\<>;");
      } else {
        // RFC 2253's form for a value of another type: "#" and its DER in hex.
        constexpr char digits[] = "0123456789ABCDEF";
        text += '#';
        for (const std::uint8_t byte : value.whole) {
          text += digits[byte >> 4];
          text += digits[byte & 15];
        }
      }
    }
  }
  return text;
}

std::string printable_text(std::string_view text) {
  std::string out;
  append_escaped_value(out, text, {});
  return out;
}

std::string algorithm_name(const std::string& dotted) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 20> names{{
      {"1.2.840.113549.2.5", "md5"},
      {"1.3.14.3.2.26", "sha1"},
      {"2.16.840.1.101.3.4.2.4", "sha224"},
      {"2.16.840.1.101.3.4.2.1", "sha256"},
      {"2.16.840.1.101.3.4.2.2", "sha384"},
      {"2.16.840.1.101.3.4.2.3", "sha512"},
      {"1.2.840.113549.1.1.1", "rsaEncryption"},
      {"1.2.840.113549.1.1.4", "md5WithRSAEncryption"},
      {"1.2.840.113549.1.1.5", "sha1WithRSAEncryption"},
      {"1.2.840.113549.1.1.10", "rsassaPss"},
      {"1.2.840.113549.1.1.11", "sha256WithRSAEncryption"},
      {"1.2.840.113549.1.1.12", "sha384WithRSAEncryption"},
      {"1.2.840.113549.1.1.13", "sha512WithRSAEncryption"},
      {"1.2.840.113549.1.1.14", "sha224WithRSAEncryption"},
      {"1.2.840.10045.2.1", "id-ecPublicKey"},
      {"1.2.840.10045.4.1", "ecdsa-with-SHA1"},
      {"1.2.840.10045.4.3.1", "ecdsa-with-SHA224"},
      {"1.2.840.10045.4.3.2", "ecdsa-with-SHA256"},
      {"1.2.840.10045.4.3.3", "ecdsa-with-SHA384"},
      {"1.2.840.10045.4.3.4", "ecdsa-with-SHA512"},
  }};
  return name_of(names, dotted);
}

void DescribingReceiver::restart() {
  message_.clear();
  description_ = {};
  size_ = 0;
  tail_.clear();
  low_byte_.reset();
  last_dot_.reset();
  last_separator_.reset();
}

void DescribingReceiver::content(ByteView bytes) {
  for (const std::uint8_t byte : bytes) {
    if (low_byte_) {
      const std::uint64_t unit = size_ / 2;
      if (byte == 0 && *low_byte_ == '.') last_dot_ = unit;
      if (byte == 0 && (*low_byte_ == '/' || *low_byte_ == '\\')) last_separator_ = unit;
      low_byte_.reset();
    } else {
      low_byte_ = byte;
    }
    ++size_;
  }
  tail_.insert(tail_.end(), bytes.begin(), bytes.end());
  if (tail_.size() > 2 * tail_limit) tail_.erase(tail_.begin(), tail_.end() - tail_limit);
}

std::u16string DescribingReceiver::tail_units() const {
  ByteView kept(tail_);
  if (kept.size() > tail_limit) kept = kept.subspan(kept.size() - tail_limit);
  // The kept bytes start on a unit's boundary when as many bytes come before them as pairs.
  if ((size_ - kept.size()) % 2 == 1) kept = kept.subspan(1);
  std::u16string units;
  for (std::size_t i = 0; i + 1 < kept.size(); i += 2) {
    units.push_back(static_cast<char16_t>(kept[i] | kept[i + 1] << 8));
  }
  if (kept.size() % 2 == 1) units.push_back(static_cast<char16_t>(kept.back()));
  return units;
}

bool DescribingReceiver::accept(ByteView message_without_content) {
  auto description = describe_signed_data(message_without_content);
  if (!description) return false;
  description_ = std::move(*description);
  message_.assign(message_without_content.begin(), message_without_content.end());
  return true;
}

}  // namespace orvane::provider
