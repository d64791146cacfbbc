#include "tests/provider/der_edit.h"

#include <stdexcept>

namespace orvane::testing {
namespace {

constexpr std::uint8_t sequence = 0x30;
constexpr std::uint8_t explicit_0 = 0xA0;

// The only element of `content`.
DerElement only_element(ByteView content) {
  auto elements = der_elements(content);
  if (elements.size() != 1) throw std::runtime_error("DER: not one element");
  return std::move(elements.front());
}

}  // namespace

std::vector<DerElement> der_elements(ByteView content) {
  std::vector<DerElement> elements;
  std::size_t at = 0;
  while (at < content.size()) {
    if (content.size() - at < 2) throw std::runtime_error("DER: cut short");
    const std::uint8_t tag = content[at++];
    std::size_t length = content[at++];
    if (length & 0x80) {
      const std::size_t octets = length & 0x7F;
      if (octets > sizeof(std::size_t) || content.size() - at < octets) {
        throw std::runtime_error("DER: bad length");
      }
      length = 0;
      for (std::size_t i = 0; i < octets; ++i) length = length << 8 | content[at++];
    }
    if (content.size() - at < length) throw std::runtime_error("DER: cut short");
    elements.push_back({tag, Bytes(content.begin() + static_cast<std::ptrdiff_t>(at),
                                   content.begin() + static_cast<std::ptrdiff_t>(at + length))});
    at += length;
  }
  return elements;
}

Bytes der_encode(std::uint8_t tag, ByteView content) {
  Bytes out{tag};
  if (content.size() < 0x80) {
    out.push_back(static_cast<std::uint8_t>(content.size()));
  } else {
    Bytes length;
    for (std::size_t left = content.size(); left != 0; left >>= 8) {
      length.insert(length.begin(), static_cast<std::uint8_t>(left));
    }
    out.push_back(static_cast<std::uint8_t>(0x80 | length.size()));
    out.insert(out.end(), length.begin(), length.end());
  }
  out.insert(out.end(), content.begin(), content.end());
  return out;
}

Bytes der_concatenate(const std::vector<DerElement>& elements) {
  Bytes out;
  for (const auto& element : elements) {
    const Bytes encoded = der_encode(element.tag, element.content);
    out.insert(out.end(), encoded.begin(), encoded.end());
  }
  return out;
}

std::vector<DerElement> signed_data_fields(ByteView content_info) {
  const auto info = der_elements(only_element(content_info).content);
  if (info.size() != 2 || info[1].tag != explicit_0) throw std::runtime_error("DER: no content");
  return der_elements(only_element(info[1].content).content);
}

Bytes with_signed_data_fields(ByteView content_info, const std::vector<DerElement>& fields) {
  auto info = der_elements(only_element(content_info).content);
  info.at(1).content = der_encode(sequence, der_concatenate(fields));
  return der_encode(sequence, der_concatenate(info));
}

}  // namespace orvane::testing
