#pragma once

#include <cstddef>

#include "runtime/bytes.h"
#include "runtime/text.h"

namespace orvane::provider {

// The content of a signed-data object: code units, and how many of their bytes it is.
class SignedContent {
 public:
  // All of the code units' bytes.
  void set(Text content);
  // The first `byte_count` bytes of `bytes`; E_INVALIDARG unless that leaves out at most the
  // last unit's high byte.
  void set_bytes(Text bytes, std::size_t byte_count);
  const Text& text() const { return text_; }
  // The bytes that are signed, a view of text()'s storage.
  ByteView bytes() const;

 private:
  Text text_;
  std::size_t byte_count_ = 0;
};

}  // namespace orvane::provider
