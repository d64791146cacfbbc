#include "provider/der.h"

namespace orvane::provider {

std::optional<DerHeader> read_der_header(ByteView der) {
  if (der.size() < 2 || (der[0] & 0x1F) == 0x1F) return std::nullopt;
  if ((der[1] & 0x80) == 0) return DerHeader{2, der[1]};
  const std::size_t octets = der[1] & 0x7F;
  // Zero octets is BER's indefinite length; more than four is no message of ours.
  if (octets == 0 || octets > 4 || der.size() < 2 + octets) return std::nullopt;
  std::size_t length = 0;
  for (std::size_t i = 0; i < octets; ++i) length = length << 8 | der[2 + i];
  return DerHeader{2 + octets, length};
}

std::optional<DerElement> take_der_element(ByteView& der) {
  const auto header = read_der_header(der);
  if (!header || header->content_length > der.size() - header->size) return std::nullopt;
  DerElement element{der[0], der.subspan(header->size, header->content_length),
                     der.first(header->size + header->content_length)};
  der = der.subspan(header->size + header->content_length);
  return element;
}

std::optional<std::vector<DerElement>> der_elements(ByteView content) {
  std::vector<DerElement> elements;
  while (!content.empty()) {
    auto element = take_der_element(content);
    if (!element) return std::nullopt;
    elements.push_back(*element);
  }
  return elements;
}

Bytes der_header(std::uint8_t tag, std::uint64_t length) {
  Bytes header{tag};
  if (length < 0x80) {
    header.push_back(static_cast<std::uint8_t>(length));
    return header;
  }
  int octets = 0;
  for (std::uint64_t rest = length; rest != 0; rest >>= 8) ++octets;
  header.push_back(static_cast<std::uint8_t>(0x80 | octets));
  for (int i = octets - 1; i >= 0; --i) {
    header.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
  }
  return header;
}

}  // namespace orvane::provider
