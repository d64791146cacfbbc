#include "provider/provider.h"

#include <ctime>

namespace orvane::provider {

std::unique_ptr<UnitReader> MemoryMessage::units() const {
  return std::make_unique<MemoryUnitReader>(text_);
}

std::unique_ptr<ByteReader> MemoryMessage::unit_bytes() const {
  return std::make_unique<MemoryReader>(
      ByteView(reinterpret_cast<const std::uint8_t*>(text_.data()), text_.size() * 2));
}

std::int64_t current_time(const Policy& policy) {
  return policy.now ? *policy.now : static_cast<std::int64_t>(std::time(nullptr));
}

Text sign_to_text(SignedData& signed_data, Signer& signer, Attachment attachment) {
  MemorySink message;
  signed_data.Sign(signer, attachment, message);
  return Text(message.bytes().begin(), message.bytes().end());
}

}  // namespace orvane::provider
