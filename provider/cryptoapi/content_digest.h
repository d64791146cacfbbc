#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "provider/digest.h"
#include "runtime/byte_stream.h"
#include "runtime/bytes.h"

namespace orvane::provider::cryptoapi {

// The digest of a content as its signer recorded it: what a verification of the same content
// can compare with instead of reading the content again.
struct ContentDigest {
  std::string algorithm;  // the digest's dotted OID
  Bytes value;
};

// The platform's name (CNG) of the digest algorithm of the dotted OID `algorithm`: SHA-1,
// SHA-256, SHA-384, SHA-512, and MD5, MD4 and MD2 only so that the signer policy can refuse
// them with its own code. Null for any other (the platform has no SHA-224).
const wchar_t* digest_algorithm_name(std::string_view algorithm);

// A new digest by the algorithm of the dotted OID `algorithm`; null when
// digest_algorithm_name has no name for it. Fails with the platform's code.
std::unique_ptr<Digest> new_digest(std::string_view algorithm);

// The dotted OID of a DER AlgorithmIdentifier; nothing when it is none.
std::optional<std::string> algorithm_oid(ByteView algorithm_identifier);

// A content's digests by several algorithms, taken as the content passes once.
class ContentDigests {
 public:
  // Takes the digest by `algorithm` as well, when there is one and it is not taken already.
  // Only before the first update().
  void add(std::string_view algorithm);
  // Takes the digest by `known.algorithm` to be `known.value` without taking it.
  void add_known(ContentDigest known);
  // Whether the digest by `algorithm` is taken (or known).
  bool has(std::string_view algorithm) const;
  // Whether some digest still needs the content to pass.
  bool needs_content() const;
  void update(ByteView bytes);
  // The digest by `algorithm` of everything that passed; null when it is not taken. After the
  // first call no more content may pass.
  const Bytes* of(std::string_view algorithm);

 private:
  struct Entry {
    std::string algorithm;
    std::unique_ptr<Digest> digest;  // null once finished
    Bytes value;
  };
  std::vector<Entry> entries_;
};

// Passes every byte of `source` through `digests`, a block at a time.
void digest_source(const ByteSource& source, ContentDigests& digests);

}  // namespace orvane::provider::cryptoapi
