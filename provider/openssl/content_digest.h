#pragma once

#include "runtime/bytes.h"

namespace orvane::provider::openssl {

// The digest of a content as its signer recorded it: what a verification of the same content
// can compare with instead of reading the content again.
struct ContentDigest {
  int algorithm = 0;  // the digest's OpenSSL NID
  Bytes value;
};

}  // namespace orvane::provider::openssl
