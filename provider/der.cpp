#include "provider/der.h"

namespace orvane::provider {

std::optional<DerElement> take_der_element(ByteView& der) {
  if (der.size() < 2 || (der[0] & 0x1F) == 0x1F) return std::nullopt;
  std::size_t length = der[1];
  std::size_t header = 2;
  if (length & 0x80) {
    const std::size_t octets = length & 0x7F;
    // Zero octets is BER's indefinite length; more than four is no message of ours.
    if (octets == 0 || octets > 4 || der.size() < header + octets) return std::nullopt;
    length = 0;
    for (std::size_t i = 0; i < octets; ++i) length = length << 8 | der[header + i];
    header += octets;
  }
  if (length > der.size() - header) return std::nullopt;
  DerElement element{der[0], der.subspan(header, length), der.first(header + length)};
  der = der.subspan(header + length);
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

Bytes der_header(std::uint8_t tag, std::size_t length) {
  Bytes header{tag};
  if (length < 0x80) {
    header.push_back(static_cast<std::uint8_t>(length));
    return header;
  }
  int octets = 0;
  for (std::size_t rest = length; rest != 0; rest >>= 8) ++octets;
  header.push_back(static_cast<std::uint8_t>(0x80 | octets));
  for (int i = octets - 1; i >= 0; --i) {
    header.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
  }
  return header;
}

}  // namespace orvane::provider
