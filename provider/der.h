#pragma once

// Just enough DER to take a structure apart and put it back together: definite lengths only.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/bytes.h"

namespace orvane::provider {

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
