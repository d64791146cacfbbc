#include "provider/signed_content.h"

#include "provider/content_bytes.h"
#include "provider/crypt_error.h"

namespace orvane::provider {

void SignedContent::set(Text content) {
  const std::size_t byte_count = content.size() * 2;
  set_bytes(std::move(content), byte_count);
}

void SignedContent::set_bytes(Text bytes, std::size_t byte_count) {
  if (byte_count > bytes.size() * 2 || byte_count + 1 < bytes.size() * 2) {
    throw crypt_failure(CryptError::invalid_parameter);
  }
  text_ = std::move(bytes);
  byte_count_ = byte_count;
}

ByteView SignedContent::bytes() const {
  return content_bytes(text_).first(byte_count_);
}

}  // namespace orvane::provider
