#include "provider/message_description.h"

#include <array>
#include <string_view>

#include "provider/der.h"
#include "provider/serial_number.h"
#include "provider/timestamp_protocol.h"
#include "provider/utc_time.h"
#include "runtime/failure.h"

namespace orvane::provider {
namespace {

constexpr std::uint8_t integer_tag = 0x02;
constexpr std::uint8_t oid_tag = 0x06;
constexpr std::uint8_t utf8_string_tag = 0x0C;
constexpr std::uint8_t printable_string_tag = 0x13;
constexpr std::uint8_t ia5_string_tag = 0x16;
constexpr std::uint8_t utc_time_tag = 0x17;
constexpr std::uint8_t generalized_time_tag = 0x18;
constexpr std::uint8_t sequence_tag = 0x30;
constexpr std::uint8_t set_tag = 0x31;
constexpr std::uint8_t implicit_zero_tag = 0xA0;
constexpr std::string_view signed_data_oid = "1.2.840.113549.1.7.2";
constexpr std::string_view signing_time_oid = "1.2.840.113549.1.9.5";

// A token inside a token would be no timestamp anyone makes: one level is read.
constexpr int token_depth_limit = 1;

std::optional<DerElement> single(ByteView der) {
  auto element = take_der_element(der);
  if (!element || !der.empty()) return std::nullopt;
  return element;
}

std::optional<std::vector<DerElement>> children(const DerElement& element, std::uint8_t tag) {
  if (element.tag != tag) return std::nullopt;
  return der_elements(element.content);
}

std::optional<std::string> oid_of(const DerElement& element) {
  if (element.tag != oid_tag) return std::nullopt;
  return dotted_object_identifier(element.content);
}

bool same(ByteView a, ByteView b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

// The algorithm OID of an AlgorithmIdentifier.
std::string algorithm_of(const DerElement& identifier) {
  const auto fields = children(identifier, sequence_tag);
  if (!fields || fields->empty()) return "?";
  const auto oid = oid_of(fields->front());
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
  for (const auto& [dotted, name] : names) {
    if (dotted == oid) return std::string(name);
  }
  return oid;
}

// Certificate fields that a signer is matched and described by.
struct CertificateFields {
  ByteView serial;  // INTEGER content
  ByteView issuer;  // Name, whole
  ByteView subject;
};

std::optional<CertificateFields> certificate_fields(const DerElement& certificate) {
  const auto parts = children(certificate, sequence_tag);
  if (!parts || parts->empty()) return std::nullopt;
  const auto tbs = children(parts->front(), sequence_tag);
  if (!tbs) return std::nullopt;
  std::size_t at = !tbs->empty() && tbs->front().tag == implicit_zero_tag ? 1 : 0;
  if (tbs->size() < at + 5 || (*tbs)[at].tag != integer_tag) return std::nullopt;
  return CertificateFields{(*tbs)[at].content, (*tbs)[at + 2].whole, (*tbs)[at + 4].whole};
}

std::optional<std::int64_t> time_seconds(const DerElement& time) {
  const std::string text(time.content.begin(), time.content.end());
  if (time.tag == generalized_time_tag) return generalized_time_seconds(text);
  if (time.tag != utc_time_tag || text.size() != 13) return std::nullopt;
  // RFC 5280: two-digit years from 50 are of the twentieth century.
  const bool nineteen = text[0] >= '5' && text[0] <= '9';
  return generalized_time_seconds((nineteen ? "19" : "20") + text);
}

std::optional<std::int64_t> signing_time_of(const DerElement& signed_attributes) {
  const auto attributes = der_elements(signed_attributes.content);
  if (!attributes) return std::nullopt;
  for (const DerElement& attribute : *attributes) {
    const auto fields = children(attribute, sequence_tag);
    if (!fields || fields->size() != 2 || oid_of((*fields)[0]) != signing_time_oid) continue;
    const auto values = children((*fields)[1], set_tag);
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
  const auto fields = children(signer_info, sequence_tag);
  if (!fields || fields->size() < 5) return std::nullopt;
  SignerDescription signer;
  std::size_t at = 1;
  const DerElement& sid = (*fields)[at++];
  if (const auto issuer_and_serial = children(sid, sequence_tag)) {
    if (issuer_and_serial->size() != 2 || (*issuer_and_serial)[1].tag != integer_tag) {
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
  if ((*fields)[at].tag == implicit_zero_tag)
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
  const auto info = single(message);
  const auto info_fields = info ? children(*info, sequence_tag) : std::nullopt;
  if (!info_fields || info_fields->size() != 2 || oid_of((*info_fields)[0]) != signed_data_oid) {
    return std::nullopt;
  }
  const auto explicit_data = children((*info_fields)[1], implicit_zero_tag);
  if (!explicit_data || explicit_data->size() != 1) return std::nullopt;
  const auto fields = children(explicit_data->front(), sequence_tag);
  if (!fields || fields->size() < 4 || fields->back().tag != set_tag) return std::nullopt;
  std::vector<DerElement> certificates;
  if ((*fields)[3].tag == implicit_zero_tag) {
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
  const auto element = single(name);
  const auto rdns = element ? children(*element, sequence_tag) : std::nullopt;
  if (!rdns) return std::nullopt;
  std::string text;
  for (auto rdn = rdns->rbegin(); rdn != rdns->rend(); ++rdn) {
    const auto pairs = children(*rdn, set_tag);
    if (!pairs) return std::nullopt;
    if (!text.empty()) text += ',';
    bool first = true;
    for (const DerElement& pair : *pairs) {
      const auto type_and_value = children(pair, sequence_tag);
      if (!type_and_value || type_and_value->size() != 2) return std::nullopt;
      const auto type = oid_of((*type_and_value)[0]);
      if (!type) return std::nullopt;
      if (!first) text += '+';
      first = false;
      text += attribute_type_name(*type) + '=';
      const DerElement& value = (*type_and_value)[1];
      if (value.tag == utf8_string_tag || value.tag == printable_string_tag ||
          value.tag == ia5_string_tag) {
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
  for (const auto& [oid, name] : names) {
    if (oid == dotted) return std::string(name);
  }
  return dotted;
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
