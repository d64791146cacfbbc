#include "provider/ber_input.h"

#include <algorithm>
#include <cstring>

namespace orvane::provider {
namespace {

// The longest header this reader takes: a tag number with some octets to spare and a length of
// up to 127 octets, leading zero octets included.
constexpr std::size_t longest_header = 256;

}  // namespace

BerInput::BerInput(ByteReader& reader) : reader_(reader), buffer_(16 * 1024) {}

void BerInput::fail(CryptError error) const {
  throw NotAMessage{error, consumed_};
}

bool BerInput::fill(std::size_t count) {
  while (end_ - begin_ < count) {
    if (reader_done_) return false;
    if (begin_ > 0 && (end_ == buffer_.size() || buffer_.size() - begin_ < count)) {
      std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
      end_ -= begin_;
      begin_ = 0;
    }
    if (end_ == buffer_.size()) buffer_.resize(std::max(buffer_.size() * 2, count));
    const std::size_t room = std::min(buffer_.size() - end_, stream_block_size);
    const std::size_t got = reader_.read(std::span(buffer_.data() + end_, room));
    if (got == 0) reader_done_ = true;
    end_ += got;
    // A stream that keeps coming is read in whole blocks.
    if (got == room && buffer_.size() < 2 * stream_block_size) buffer_.resize(buffer_.size() * 2);
  }
  return true;
}

bool BerInput::at_end() {
  return !fill(1);
}

std::optional<ByteView> BerInput::peek(std::size_t count) {
  if (!fill(count)) return std::nullopt;
  return ByteView(buffer_.data() + begin_, count);
}

bool BerInput::at_end_of_contents() {
  const auto next = peek(2);
  return next && (*next)[0] == 0 && (*next)[1] == 0;
}

void BerInput::skip(std::size_t count) {
  begin_ += count;
  consumed_ += count;
}

BerHeader BerInput::header() {
  fill(longest_header);
  const ByteView bytes(buffer_.data() + begin_, end_ - begin_);
  std::size_t at = 0;
  const auto next = [&]() -> std::uint8_t {
    if (at >= bytes.size()) fail(CryptError::asn1_end_of_data);
    return bytes[at++];
  };
  BerHeader header;
  const std::uint8_t first = next();
  header.tag_class = static_cast<BerHeader::Class>(first & 0xC0);
  header.constructed = (first & 0x20) != 0;
  header.number = first & 0x1F;
  if (header.number == 0x1F) {
    std::uint32_t number = 0;
    std::uint8_t octet = 0;
    do {
      octet = next();
      if (number > (0x7FFFFFFFu >> 7)) fail(CryptError::asn1_corrupt);
      number = number << 7 | (octet & 0x7F);
    } while (octet & 0x80);
    header.number = number;
  }
  const std::uint8_t length = next();
  if (length == 0x80) {
    header.indefinite = true;
    // Only a constructed element can end in end-of-contents octets.
    if (!header.constructed) fail(CryptError::asn1_corrupt);
  } else if (length & 0x80) {
    std::size_t octets = length & 0x7F;
    while (octets > 0 && (at < bytes.size() && bytes[at] == 0)) {
      ++at;
      --octets;
    }
    if (octets > 8) fail(CryptError::asn1_corrupt);
    std::uint64_t value = 0;
    for (; octets > 0; --octets) value = value << 8 | next();
    if (value > 0x7FFFFFFFFFFFFFFFu) fail(CryptError::asn1_corrupt);
    header.length = value;
  } else {
    header.length = length;
  }
  header.encoded.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
  skip(at);
  return header;
}

void BerInput::pass(std::uint64_t count, const std::function<void(ByteView)>& to) {
  while (count > 0) {
    if (!fill(1)) fail(CryptError::asn1_end_of_data);
    const auto size = static_cast<std::size_t>(
        std::min<std::uint64_t>(count, std::min(end_ - begin_, stream_block_size)));
    to(ByteView(buffer_.data() + begin_, size));
    skip(size);
    count -= size;
  }
}

BerContainer::BerContainer(BerInput& input, const BerHeader& header)
    : input_(input), indefinite_(header.indefinite), end_(input.position() + header.length) {}

void BerContainer::admit(const BerHeader& child) const {
  if (indefinite_) return;
  if (input_.position() > end_ || (!child.indefinite && child.length > end_ - input_.position())) {
    input_.fail(CryptError::asn1_corrupt);
  }
}

bool BerContainer::more() {
  if (ended_) return false;
  if (!indefinite_) {
    if (input_.position() > end_) input_.fail(CryptError::asn1_corrupt);
    return input_.position() < end_;
  }
  if (input_.peek(2) == std::nullopt) input_.fail(CryptError::asn1_end_of_data);
  if (!input_.at_end_of_contents()) return true;
  input_.skip(2);
  ended_ = true;
  return false;
}

bool BerContainer::at_end_of_contents() {
  if (!indefinite_ && (input_.position() > end_ || end_ - input_.position() < 2)) return false;
  return input_.at_end_of_contents();
}

void BerContainer::close() {
  if (indefinite_ ? !ended_ : input_.position() != end_) input_.fail(CryptError::asn1_corrupt);
}

void copy_element(BerInput& input, const BerHeader& header, Bytes& out, std::size_t limit) {
  const auto append = [&](ByteView bytes) {
    if (bytes.size() > limit - std::min(limit, out.size())) input.fail(CryptError::asn1_large);
    out.insert(out.end(), bytes.begin(), bytes.end());
  };
  append(header.encoded);
  if (!header.indefinite) {
    input.pass(header.length, append);
    return;
  }
  // Inside an indefinite element, an element of definite length is taken whole, one of
  // indefinite length opens another level, and end-of-contents octets close one.
  std::size_t open = 1;
  while (open > 0) {
    if (input.peek(2) == std::nullopt) input.fail(CryptError::asn1_end_of_data);
    if (input.at_end_of_contents()) {
      append(*input.peek(2));
      input.skip(2);
      --open;
      continue;
    }
    const BerHeader inner = input.header();
    append(inner.encoded);
    if (inner.indefinite) {
      ++open;
    } else {
      input.pass(inner.length, append);
    }
  }
}

}  // namespace orvane::provider
