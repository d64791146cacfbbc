#pragma once

#include "runtime/bytes.h"

namespace orvane::provider {

// A message digest being taken by a back end, a block at a time.
class Digest {
 public:
  virtual ~Digest() = default;
  virtual void update(ByteView bytes) = 0;
  // The digest of everything that passed; the object is done with.
  virtual Bytes finish() = 0;
};

}  // namespace orvane::provider
