#pragma once

// Writing a signed-data message as its content is read, shared by the back ends: the back end
// signs (it sees the content once, and hands back the message without it), and this puts the
// content into the message and writes it out as Base64 lines, DER with definite lengths.

#include <cstddef>

#include "provider/digest.h"
#include "provider/provider.h"

namespace orvane::provider {

// One signature being made by a back end over content that passes in blocks.
class SignatureSession {
 public:
  virtual ~SignatureSession() = default;
  // The next bytes of the content.
  virtual void update(ByteView bytes) = 0;
  // Signs what passed: the DER ContentInfo of a signed-data message without its content.
  virtual Bytes finish() = 0;
  // What finish() is expected to write before the encapsulated content (the encoded version
  // and digestAlgorithms fields), and about how many bytes it writes after it (certificates and
  // signer infos). A message whose lengths turn out otherwise is written again, not wrongly.
  virtual Bytes expected_leading_fields() const = 0;
  virtual std::size_t expected_trailing_size() const = 0;
  // After finish(): the digest of the content that passed, and a new digest of the same kind,
  // with which a second reading of the content is proved to be the same content.
  virtual Bytes content_digest() const = 0;
  virtual std::unique_ptr<Digest> new_content_digest() const = 0;
};

// Signs `content` through `session` and writes the message to `message` as Base64 lines of 64
// characters, each ended by CR LF. Detached: the message without content. Attached: the content
// inside; it is read once as the message is written, and only when the lengths that precede it
// turn out other than foreseen (the content's length lies within a few kilobytes of a power of
// 256) is the message written again, reading the content a second time, which must then give the
// same digest (CRYPT_E_HASH_VALUE otherwise).
void write_signed_message(const ByteSource& content, Attachment attachment,
                          SignatureSession& session, RewritableSink& message);

}  // namespace orvane::provider
