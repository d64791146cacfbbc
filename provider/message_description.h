#pragma once

// What a signed-data message says about itself, read without checking any signature: its
// signers, their certificates among the message's own, their signing times and timestamps.
// Portable: the DER is taken apart here, the same for every back end.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "provider/message_reading.h"
#include "runtime/bytes.h"

namespace orvane::provider {

// A signature timestamp token's claims, not proved here.
struct TokenDescription {
  std::int64_t time = 0;  // genTime, seconds since 1970 UTC
  std::string authority;  // the token signer's certificate subject; empty when it has none
  std::string policy;     // dotted OID
};

struct SignerDescription {
  // Of the signer's own certificate, found in the message by issuer and serial number; subject
  // is empty when the message does not carry that certificate.
  std::string subject;
  std::string issuer;
  std::string serial;  // upper-case hex, as the store lists it
  std::string digest_algorithm;
  std::string signature_algorithm;
  std::optional<std::int64_t> signing_time;  // seconds since 1970 UTC
  std::optional<TokenDescription> timestamp;
  // Why a timestamp token that the signer carries could not be read; empty otherwise.
  std::string timestamp_fault;
};

struct MessageDescription {
  std::vector<SignerDescription> signers;
};

// The description of a ContentInfo of signed data (`message`, DER, its content there or not);
// nothing when it is no such message.
std::optional<MessageDescription> describe_signed_data(ByteView message);

// RFC 2253 text of a DER Name ("CN=Alice,O=Example\, Inc.,C=DE"), the last RDN first; nothing
// when it is no Name.
std::optional<std::string> name_text(ByteView name);

// `text` as it may be shown to a person or put into JSON: valid UTF-8, with each byte of what is
// not, of control characters and of characters that reorder text, as "\XX" in hex.
std::string printable_text(std::string_view text);

// A readable name of an algorithm's dotted OID ("sha256", "ecdsa-with-SHA256"); the OID itself
// for one not known here.
std::string algorithm_name(const std::string& dotted);

// Keeps what describing a message needs of one reading: the message without its content, the
// content's size, its last bytes, and where its last "." and path separator code units are.
class DescribingReceiver final : public MessageReceiver {
 public:
  static constexpr std::size_t tail_limit = 1024;

  void restart() override;
  void digest_algorithms(const std::vector<Bytes>&) override {}
  void content(ByteView bytes) override;
  bool accept(ByteView message_without_content) override;

  const MessageDescription& description() const { return description_; }
  const Bytes& message() const { return message_; }
  std::uint64_t content_size() const { return size_; }
  // The content's code units (two bytes each, low byte first; an odd last byte a unit with a
  // zero high byte): how many, the last of them, and the positions of the last "." and the last
  // "/" or "\".
  std::uint64_t unit_count() const { return (size_ + 1) / 2; }
  std::u16string tail_units() const;
  std::optional<std::uint64_t> last_dot() const { return last_dot_; }
  std::optional<std::uint64_t> last_separator() const { return last_separator_; }

 private:
  Bytes message_;
  MessageDescription description_;
  std::uint64_t size_ = 0;
  Bytes tail_;
  std::optional<std::uint8_t> low_byte_;
  std::optional<std::uint64_t> last_dot_;
  std::optional<std::uint64_t> last_separator_;
};

}  // namespace orvane::provider
