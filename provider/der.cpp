#include "provider/der.h"

#include <cstdint>

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

std::optional<DerElement> der_single(ByteView der) {
  auto element = take_der_element(der);
  if (!element || !der.empty()) return std::nullopt;
  return element;
}

std::optional<std::vector<DerElement>> der_children(const DerElement& element, std::uint8_t tag) {
  if (element.tag != tag) return std::nullopt;
  return der_elements(element.content);
}

std::optional<std::string> der_oid(const DerElement& element) {
  if (element.tag != der_tag::object_identifier) return std::nullopt;
  return dotted_object_identifier(element.content);
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

Bytes der_wrap(std::uint8_t tag, ByteView content) {
  Bytes element = der_header(tag, content.size());
  element.insert(element.end(), content.begin(), content.end());
  return element;
}

std::optional<Bytes> der_object_identifier(std::string_view dotted) {
  std::vector<std::uint64_t> arcs;
  std::uint64_t arc = 0;
  bool digits = false;
  for (std::size_t i = 0; i <= dotted.size(); ++i) {
    if (i == dotted.size() || dotted[i] == '.') {
      if (!digits) return std::nullopt;
      arcs.push_back(arc);
      arc = 0;
      digits = false;
    } else if (dotted[i] >= '0' && dotted[i] <= '9' && arc < (UINT64_MAX - 9) / 10) {
      arc = arc * 10 + static_cast<std::uint64_t>(dotted[i] - '0');
      digits = true;
    } else {
      return std::nullopt;
    }
  }
  if (arcs.size() < 2 || arcs[0] > 2 || (arcs[0] < 2 && arcs[1] > 39) ||
      arcs[1] > UINT64_MAX - 80) {
    return std::nullopt;
  }
  Bytes content;
  const auto append = [&content](std::uint64_t value) {
    Bytes groups{static_cast<std::uint8_t>(value & 0x7F)};
    for (value >>= 7; value != 0; value >>= 7) {
      groups.push_back(static_cast<std::uint8_t>(0x80 | (value & 0x7F)));
    }
    content.insert(content.end(), groups.rbegin(), groups.rend());
  };
  append(arcs[0] * 40 + arcs[1]);
  for (std::size_t i = 2; i < arcs.size(); ++i) append(arcs[i]);
  return content;
}

std::optional<std::string> dotted_object_identifier(ByteView content) {
  if (content.empty() || (content.back() & 0x80) != 0) return std::nullopt;
  std::string dotted;
  std::uint64_t value = 0;
  bool first = true;
  for (std::size_t i = 0; i < content.size(); ++i) {
    // A leading 0x80 pads an arc, which DER forbids; a value past 64 bits is no OID of ours.
    if (value == 0 && content[i] == 0x80) return std::nullopt;
    if (value > (UINT64_MAX >> 7)) return std::nullopt;
    value = value << 7 | (content[i] & 0x7F);
    if ((content[i] & 0x80) != 0) continue;
    if (first) {
      const std::uint64_t top = value < 80 ? value / 40 : 2;
      dotted = std::to_string(top);
      dotted += '.';
      dotted += std::to_string(value - top * 40);
      first = false;
    } else {
      dotted += '.';
      dotted += std::to_string(value);
    }
    value = 0;
  }
  return dotted;
}

}  // namespace orvane::provider
