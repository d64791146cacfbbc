#include "tests/provider/signed_text.h"

#include "provider/content_bytes.h"

namespace orvane::testing {
namespace {

// A text's code units, held by the source for as long as a signed-data object keeps it.
class OwnedText final : public ByteSource {
 public:
  explicit OwnedText(Text text) : text_(std::move(text)) {}
  std::uint64_t size() const override { return text_.size() * 2; }
  std::unique_ptr<ByteReader> open() const override {
    return std::make_unique<MemoryReader>(provider::content_bytes(text_));
  }

 private:
  Text text_;
};

}  // namespace

Text sign_text(provider::SignedData& signed_data, provider::Signer& signer, const Text& content,
               provider::Attachment attachment) {
  signed_data.SetContent(std::make_shared<OwnedText>(content));
  return provider::sign_to_text(signed_data, signer, attachment);
}

Text verify_text(provider::SignedData& signed_data, const Text& message,
                 const std::optional<Text>& detached_content) {
  const provider::MemoryMessage text(message);
  if (detached_content) {
    signed_data.SetContent(std::make_shared<OwnedText>(*detached_content));
    signed_data.Verify(text, provider::Attachment::detached);
    return *detached_content;
  }
  CollectedContent carried;
  signed_data.Verify(text, provider::Attachment::attached, &carried);
  return carried.text();
}

Text CollectedContent::text() const {
  return provider::text_from_content_bytes(bytes_);
}

}  // namespace orvane::testing
