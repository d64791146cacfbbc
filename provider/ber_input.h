#pragma once

// BER elements read from a stream of bytes, for the outer structure of a signed message: headers
// parsed as OpenSSL's ASN1_get_object parses them, whole elements copied as they stand.

#include <cstdint>
#include <functional>
#include <optional>

#include "provider/crypt_error.h"
#include "runtime/byte_stream.h"

namespace orvane::provider {

// Why a stream of bytes is not the message it was read as, and how far into it that showed.
struct NotAMessage {
  CryptError error;
  std::uint64_t reached;
};

// An element's identifier and length octets.
struct BerHeader {
  enum Class : std::uint8_t { universal = 0x00, application = 0x40, context = 0x80, priv = 0xC0 };
  Class tag_class = universal;
  bool constructed = false;
  std::uint32_t number = 0;
  bool indefinite = false;
  std::uint64_t length = 0;  // of the content, when not indefinite
  Bytes encoded;             // the header as it stands in the stream

  bool is(Class c, bool is_constructed, std::uint32_t tag_number) const {
    return tag_class == c && constructed == is_constructed && number == tag_number;
  }
};

// Bytes pulled from a reader, with room to look ahead.
class BerInput {
 public:
  explicit BerInput(ByteReader& reader);

  std::uint64_t position() const { return consumed_; }
  // True when no byte follows.
  bool at_end();
  // The next `count` bytes, which stay unread; nothing when the input ends first.
  std::optional<ByteView> peek(std::size_t count);
  // Whether the next two bytes are the end-of-contents octets 00 00, left unread.
  bool at_end_of_contents();

  // Reads an element's header; fails (NotAMessage) with CRYPT_E_ASN1_EOD when the input ends
  // within it, CRYPT_E_ASN1_CORRUPT when it is no header OpenSSL reads.
  BerHeader header();
  // Reads `count` bytes and hands them to `to` a block at a time; CRYPT_E_ASN1_EOD when the input
  // ends first.
  void pass(std::uint64_t count, const std::function<void(ByteView)>& to);
  void skip(std::size_t count);

  [[noreturn]] void fail(CryptError error) const;

 private:
  bool fill(std::size_t count);

  ByteReader& reader_;
  Bytes buffer_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  std::uint64_t consumed_ = 0;
  bool reader_done_ = false;
};

// Where a container's children end: after `length` bytes, or at its end-of-contents octets.
class BerContainer {
 public:
  BerContainer(BerInput& input, const BerHeader& header);
  // Whether another child follows; at the end-of-contents octets of an indefinite container it
  // reads them and says no.
  bool more();
  // Whether the container's next two bytes are end-of-contents octets: never for a definite
  // container with fewer than two bytes left.
  bool at_end_of_contents();
  // A child whose header was just read fits in the container (CRYPT_E_ASN1_CORRUPT otherwise).
  void admit(const BerHeader& child) const;
  // The container ended where it said (CRYPT_E_ASN1_CORRUPT otherwise).
  void close();

 private:
  BerInput& input_;
  bool indefinite_;
  std::uint64_t end_ = 0;
  bool ended_ = false;
};

// Reads the rest of the element whose header was just read, and appends the element, header and
// content as they stand, to `out`, which may grow to `limit` bytes (CRYPT_E_ASN1_LARGE beyond).
// Nested indefinite lengths are followed without recursion.
void copy_element(BerInput& input, const BerHeader& header, Bytes& out, std::size_t limit);

}  // namespace orvane::provider
