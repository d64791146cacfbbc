#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "provider/cryptoapi/content_digest.h"
#include "provider/message_reading.h"
#include "runtime/windows/owned.h"

namespace orvane::provider::cryptoapi {

// A signed-data message without its content, as the platform decoded it, with what the
// platform does not keep of it.
struct DecodedMessage {
  windows::MessageHandle message;
  // Each signer's signed attributes as the message encodes them, tagged as the SET OF that the
  // signature covers; empty for a signer without them. Empty for every signer when the
  // message's fields are not all DER: the attributes' own DER encoding is then what counts.
  std::vector<Bytes> signed_attributes;
};

// `der`, one encoded ContentInfo, decoded by the platform in one update (a message without
// its content is a few kilobytes); nothing when the platform does not take it.
std::optional<DecodedMessage> decode_message(ByteView der);

// A parameter of `message` (CryptMsgGetParam), as the platform lays it out; fails with the
// platform's code, CRYPT_E_INVALID_INDEX for a signer that is not there.
Bytes message_parameter(HCRYPTMSG message, DWORD type, DWORD index = 0);
// A parameter of `message` that is a number.
DWORD message_number(HCRYPTMSG message, DWORD type);

// The only value of the attribute `type`; nothing when there is none, or more than one.
std::optional<CRYPT_ATTR_BLOB> attribute_value(const CRYPT_ATTRIBUTES& attributes,
                                               std::string_view type);
// An attribute value that is an OCTET STRING (messageDigest), or an OBJECT IDENTIFIER
// (contentType); nothing when it is not.
std::optional<Bytes> octets_value(const CRYPT_ATTR_BLOB& value);
std::optional<std::string> object_identifier_value(const CRYPT_ATTR_BLOB& value);

// Reads a message for verification: the content of an attached message passes through digests
// by the algorithms that the message lists (and any others asked for) and on to `carried`; the
// message without it is decoded and kept.
class MessageDecoder final : public MessageReceiver {
 public:
  // With `take_digests` false the content is skipped: a detached signature's is elsewhere.
  MessageDecoder(bool take_digests, std::vector<std::string> other_algorithms,
                 ContentSink* carried);

  void restart() override;
  void digest_algorithms(const std::vector<Bytes>& algorithms) override;
  void content(ByteView bytes) override;
  bool accept(ByteView message_without_content) override;

  // After read_message returned: the message, and the content's digests.
  DecodedMessage& message() { return *message_; }
  ContentDigests& digests() { return digests_; }

 private:
  // Drops what a reading gave, for the next one.
  void forget();

  bool take_digests_;
  std::vector<std::string> other_algorithms_;
  ContentSink* carried_;
  ContentDigests digests_;
  std::optional<DecodedMessage> message_;
};

}  // namespace orvane::provider::cryptoapi
