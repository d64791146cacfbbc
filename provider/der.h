#pragma once

// Just enough DER to take a structure apart and put it back together: definite lengths only.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/bytes.h"

namespace orvane::provider {

// The identifier octets this code meets. The context-specific ones are constructed: [0] and [1]
// around a structure, explicit or implicit alike.
namespace der_tag {
inline constexpr std::uint8_t boolean = 0x01;
inline constexpr std::uint8_t integer = 0x02;
inline constexpr std::uint8_t bit_string = 0x03;
inline constexpr std::uint8_t octet_string = 0x04;
inline constexpr std::uint8_t null = 0x05;
inline constexpr std::uint8_t object_identifier = 0x06;
inline constexpr std::uint8_t utf8_string = 0x0C;
inline constexpr std::uint8_t printable_string = 0x13;
inline constexpr std::uint8_t ia5_string = 0x16;
inline constexpr std::uint8_t utc_time = 0x17;
inline constexpr std::uint8_t generalized_time = 0x18;
inline constexpr std::uint8_t sequence = 0x30;
inline constexpr std::uint8_t set = 0x31;
inline constexpr std::uint8_t context_0 = 0xA0;
inline constexpr std::uint8_t context_1 = 0xA1;
}  // namespace der_tag

struct DerElement {
  std::uint8_t tag = 0;  // the identifier octet (low tag numbers only)
  ByteView content;
  ByteView whole;  // header and content
};

// A DER header: its own size and the length of the content it declares.
struct DerHeader {
  std::size_t size = 0;
  std::size_t content_length = 0;
};

// The header at the front of `der`, whether or not the content it declares is all there;
// nothing when it is no header of a definite length that this reader takes.
std::optional<DerHeader> read_der_header(ByteView der);

// Reads the element at the front of `der` and moves `der` past it; nothing when it is not a
// DER element with a definite length that fits.
std::optional<DerElement> take_der_element(ByteView& der);

// Every element of `content`, in order; nothing when any of them cannot be read.
std::optional<std::vector<DerElement>> der_elements(ByteView content);

// The one element that `der` holds; nothing when it holds another number or cannot be read.
std::optional<DerElement> der_single(ByteView der);

// The elements of `element`'s content when it has `tag`; nothing otherwise.
std::optional<std::vector<DerElement>> der_children(const DerElement& element, std::uint8_t tag);

// The dotted OID that `element` is; nothing when it is no OBJECT IDENTIFIER.
std::optional<std::string> der_oid(const DerElement& element);

// The header of an element of `tag` whose content is `length` bytes long, the length in the
// shortest form.
Bytes der_header(std::uint8_t tag, std::uint64_t length);

// An element of `tag` around `content`.
Bytes der_wrap(std::uint8_t tag, ByteView content);

// The content octets of an OBJECT IDENTIFIER in dotted form ("1.2.840.113549.1.9.16.2.14"),
// and back; nothing for text or octets that name none.
std::optional<Bytes> der_object_identifier(std::string_view dotted);
std::optional<std::string> dotted_object_identifier(ByteView content);

}  // namespace orvane::provider
