#include "provider/signed_message_reader.h"

#include <algorithm>

#include "provider/der.h"

namespace orvane::provider {
namespace {

using Class = BerHeader::Class;

// id-signedData, 1.2.840.113549.1.7.2, as the content octets of its OBJECT IDENTIFIER.
constexpr std::uint8_t signed_data_oid[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x02};
// OpenSSL collects a constructed string nested this deep, and no deeper.
constexpr int deepest_string_nesting = 5;

class Reader {
 public:
  Reader(BerInput& input, MessageReceiver& receiver) : input_(input), receiver_(receiver) {}

  Bytes content_info();

 private:
  void copy(const BerHeader& header, Bytes& out) {
    copy_element(input_, header, out, message_parts_limit);
  }
  // Copies the children of `container` that are left.
  void copy_rest(BerContainer& container, Bytes& out) {
    while (container.more()) {
      const BerHeader child = input_.header();
      container.admit(child);
      copy(child, out);
    }
    container.close();
  }
  Bytes wrap(std::uint8_t tag, const Bytes& content) {
    Bytes whole = der_header(tag, content.size());
    whole.insert(whole.end(), content.begin(), content.end());
    return whole;
  }
  bool names_signed_data(const Bytes& element);
  Bytes signed_data(const BerHeader& header);
  Bytes encapsulated_content_info(const BerHeader& header);
  void content(const BerHeader& header);
  void octets(const BerHeader& header, int depth);
  std::vector<Bytes> algorithms_of(const Bytes& set);

  BerInput& input_;
  MessageReceiver& receiver_;
};

bool Reader::names_signed_data(const Bytes& element) {
  ByteView rest(element);
  const auto parsed = take_der_element(rest);
  return parsed && rest.empty() && parsed->tag == 0x06 &&
         std::equal(parsed->content.begin(), parsed->content.end(), std::begin(signed_data_oid),
                    std::end(signed_data_oid));
}

Bytes Reader::content_info() {
  const BerHeader header = input_.header();
  if (!header.is(Class::universal, true, 16)) input_.fail(CryptError::asn1_bad_tag);
  BerContainer container(input_, header);
  Bytes fields;
  if (container.more()) {
    const BerHeader type = input_.header();
    container.admit(type);
    copy(type, fields);
    if (names_signed_data(fields) && container.more()) {
      const BerHeader explicit_content = input_.header();
      container.admit(explicit_content);
      if (explicit_content.is(Class::context, true, 0)) {
        BerContainer inner(input_, explicit_content);
        Bytes inner_fields;
        if (inner.more()) {
          const BerHeader data = input_.header();
          inner.admit(data);
          if (data.is(Class::universal, true, 16)) {
            const Bytes parsed = signed_data(data);
            inner_fields.insert(inner_fields.end(), parsed.begin(), parsed.end());
          } else {
            copy(data, inner_fields);
          }
        }
        copy_rest(inner, inner_fields);
        const Bytes wrapped = wrap(der_tag::context_0, inner_fields);
        fields.insert(fields.end(), wrapped.begin(), wrapped.end());
      } else {
        copy(explicit_content, fields);
      }
    }
  }
  copy_rest(container, fields);
  return wrap(der_tag::sequence, fields);
}

std::vector<Bytes> Reader::algorithms_of(const Bytes& set) {
  // The set as it stands, DER or not; a set this cannot split names no digest to take ahead, and
  // the verifier reads the content again for the digests its signers need.
  ByteView rest(set);
  const auto whole = take_der_element(rest);
  if (!whole) return {};
  const auto elements = der_elements(whole->content);
  if (!elements) return {};
  std::vector<Bytes> algorithms;
  for (const DerElement& element : *elements) {
    algorithms.emplace_back(element.whole.begin(), element.whole.end());
  }
  return algorithms;
}

Bytes Reader::signed_data(const BerHeader& header) {
  BerContainer container(input_, header);
  Bytes fields;
  std::vector<Bytes> algorithms;
  for (int index = 0; container.more(); ++index) {
    const BerHeader field = input_.header();
    container.admit(field);
    if (index == 2 && field.is(Class::universal, true, 16)) {
      receiver_.digest_algorithms(algorithms);
      const Bytes encapsulated = encapsulated_content_info(field);
      fields.insert(fields.end(), encapsulated.begin(), encapsulated.end());
      continue;
    }
    const std::size_t start = fields.size();
    copy(field, fields);
    if (index == 1) algorithms = algorithms_of(Bytes(fields.begin() + start, fields.end()));
  }
  container.close();
  return wrap(der_tag::sequence, fields);
}

Bytes Reader::encapsulated_content_info(const BerHeader& header) {
  BerContainer container(input_, header);
  Bytes fields;
  for (int index = 0; container.more(); ++index) {
    const BerHeader field = input_.header();
    container.admit(field);
    if (index == 1 && field.is(Class::context, true, 0)) {
      content(field);
    } else {
      copy(field, fields);
    }
  }
  container.close();
  return wrap(der_tag::sequence, fields);
}

// The [0] EXPLICIT OCTET STRING of the encapsulated content: exactly one string in it.
void Reader::content(const BerHeader& header) {
  BerContainer container(input_, header);
  if (!container.more()) input_.fail(CryptError::asn1_corrupt);
  const BerHeader string = input_.header();
  container.admit(string);
  if (string.tag_class != Class::universal || string.number != 4) {
    input_.fail(CryptError::asn1_bad_tag);
  }
  octets(string, 0);
  if (container.more()) input_.fail(CryptError::asn1_corrupt);
  container.close();
}

// An OCTET STRING's octets, primitive or constructed: as OpenSSL collects a constructed string,
// its parts' tags are not looked at, and end-of-contents octets belong only where an indefinite
// length ends.
void Reader::octets(const BerHeader& header, int depth) {
  if (!header.constructed) {
    input_.pass(header.length, [this](ByteView bytes) { receiver_.content(bytes); });
    return;
  }
  BerContainer container(input_, header);
  while (container.more()) {
    if (!header.indefinite && container.at_end_of_contents()) input_.fail(CryptError::asn1_corrupt);
    const BerHeader part = input_.header();
    container.admit(part);
    if (part.constructed && depth >= deepest_string_nesting) input_.fail(CryptError::asn1_corrupt);
    octets(part, depth + 1);
  }
  container.close();
}

}  // namespace

Bytes read_signed_message(BerInput& input, MessageReceiver& receiver, bool final_zero_allowed) {
  Bytes message = Reader(input, receiver).content_info();
  if (!input.at_end()) {
    // A file of odd length read into code units ends in a zero byte that is not the message's.
    const std::uint8_t next = (*input.peek(1))[0];
    input.skip(1);
    if (!final_zero_allowed || next != 0 || !input.at_end()) input.fail(CryptError::asn1_corrupt);
  }
  return message;
}

}  // namespace orvane::provider
