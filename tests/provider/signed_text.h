#pragma once

// The provider's signing and verification over texts in memory, as tests drive them.

#include <memory>
#include <optional>

#include "provider/provider.h"

namespace orvane::testing {

// Signs `content` (its code units) with `signer`: the message text.
Text sign_text(provider::SignedData& signed_data, provider::Signer& signer, const Text& content,
               provider::Attachment attachment);

// Verifies `message`: attached, or detached against `detached_content`. The content an attached
// message carries comes back as code units (an odd last byte with a zero high byte).
Text verify_text(provider::SignedData& signed_data, const Text& message,
                 const std::optional<Text>& detached_content = std::nullopt);

// The content a verified attached message carried, as it passed.
class CollectedContent final : public provider::ContentSink {
 public:
  void restart() override { bytes_.clear(); }
  void write(ByteView bytes) override { bytes_.insert(bytes_.end(), bytes.begin(), bytes.end()); }
  const Bytes& bytes() const { return bytes_; }
  Text text() const;

 private:
  Bytes bytes_;
};

}  // namespace orvane::testing
