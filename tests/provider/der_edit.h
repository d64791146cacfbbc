#pragma once

// Just enough DER to take a signed-data message apart and put it together again changed, as a
// forger would: the tests make their hostile messages from real ones.

#include <cstdint>
#include <vector>

#include "runtime/bytes.h"

namespace orvane::testing {

// One element: its tag octet and its content octets.
struct DerElement {
  std::uint8_t tag = 0;
  Bytes content;
};

// The elements that follow one another in `content`, the content of a constructed element.
std::vector<DerElement> der_elements(ByteView content);

// The element `tag` with `content`, its length in DER.
Bytes der_encode(std::uint8_t tag, ByteView content);

// The elements one after another.
Bytes der_concatenate(const std::vector<DerElement>& elements);

// The fields of the SignedData inside a ContentInfo, in order: version, digestAlgorithms,
// encapContentInfo, then [0] certificates and [1] crls when present, then signerInfos.
std::vector<DerElement> signed_data_fields(ByteView content_info);

// `content_info` with its SignedData made of `fields`.
Bytes with_signed_data_fields(ByteView content_info, const std::vector<DerElement>& fields);

}  // namespace orvane::testing
