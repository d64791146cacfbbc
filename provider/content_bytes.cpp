#include "provider/content_bytes.h"

#include <bit>
#include <cstring>

namespace orvane::provider {

// The code units' storage is the signed byte order only on a little-endian machine, which is
// every target this component is built for.
static_assert(std::endian::native == std::endian::little);

ByteView content_bytes(TextView text) {
  return ByteView(reinterpret_cast<const std::uint8_t*>(text.data()), text.size() * 2);
}

Text text_from_content_bytes(ByteView bytes) {
  // The text starts zeroed, so an odd last byte leaves its unit's high byte zero.
  Text text((bytes.size() + 1) / 2, u'\0');
  if (!bytes.empty()) std::memcpy(text.data(), bytes.data(), bytes.size());
  return text;
}

}  // namespace orvane::provider
