#include "provider/message_reading.h"

#include <algorithm>
#include <cstring>

#include "provider/base64.h"
#include "provider/der.h"
#include "provider/signed_message_reader.h"

namespace orvane::provider {
namespace {

// The form being read has shown that it is not the message's form.
struct NotThisForm {};

// Code units through the code page, each of which must stand for one byte.
class CodePageReader final : public BlockReader {
 public:
  CodePageReader(std::unique_ptr<UnitReader> units, const CodePage& code_page)
      : units_(std::move(units)), code_page_(code_page) {}

 private:
  bool refill(Bytes& bytes) override {
    const std::span<char16_t> block = block_.next();
    const std::size_t got = units_->read(block);
    if (got == 0) return false;
    bytes.resize(got);
    if (code_page_.encode(TextView(block.data(), got), bytes.data(), '?') != 0) {
      throw NotThisForm{};
    }
    return true;
  }

  std::unique_ptr<UnitReader> units_;
  const CodePage& code_page_;
  GrowingBlock<char16_t> block_;
};

// Base64 text, of code units or bytes, decoded.
template <typename Unit, typename Source>
class Base64Reader final : public BlockReader {
 public:
  Base64Reader(std::unique_ptr<Source> source, bool final_zero_allowed)
      : source_(std::move(source)), decoder_(final_zero_allowed) {}

 private:
  bool refill(Bytes& bytes) override {
    if (done_) return false;
    const std::span<Unit> block = block_.next();
    const std::size_t got = source_->read(block);
    const bool fits = got > 0 ? decoder_.feed(std::span<const Unit>(block.data(), got), bytes)
                              : decoder_.finish(bytes);
    if (!fits) throw NotThisForm{};
    done_ = got == 0;
    return !bytes.empty() || !done_;
  }

  std::unique_ptr<Source> source_;
  Base64Decoder<Unit> decoder_;
  GrowingBlock<Unit> block_;
  bool done_ = false;
};

// A reader's bytes followed by `count` bytes of the pattern 20 00 20 00 ...
class PaddedReader final : public ByteReader {
 public:
  PaddedReader(std::unique_ptr<ByteReader> inner, std::size_t count)
      : inner_(std::move(inner)), left_(count) {}
  std::size_t read(std::span<std::uint8_t> out) override {
    if (!inner_done_) {
      if (const std::size_t got = inner_->read(out); got > 0) return got;
      inner_done_ = true;
    }
    const std::size_t count = std::min(out.size(), left_);
    for (std::size_t i = 0; i < count; ++i) out[i] = (next_++ % 2 == 0) ? 0x20 : 0x00;
    left_ -= count;
    return count;
  }

 private:
  std::unique_ptr<ByteReader> inner_;
  bool inner_done_ = false;
  std::size_t left_;
  std::size_t next_ = 0;
};

// More bytes than this missing from the end of a message are not taken for trimmed spaces.
constexpr std::size_t most_trimmed_bytes = 64;

class Reading {
 public:
  Reading(MessageReceiver& receiver) : receiver_(receiver) {}

  // Reads one form of the message; true when the receiver accepted it. A reading that only
  // tries a repair does not say why the message is no message.
  bool attempt(std::unique_ptr<ByteReader> bytes, bool final_zero_allowed, bool repair = false) {
    repair_ = repair;
    receiver_.restart();
    BerInput input(*bytes);
    try {
      const Bytes message = read_signed_message(input, receiver_, final_zero_allowed);
      if (receiver_.accept(message)) return true;
      remember({CryptError::asn1_corrupt, input.position()});
    } catch (const NotAMessage& failure) {
      remember(failure);
    } catch (const NotThisForm&) {
      const std::uint64_t reached = input.position();
      remember({reached > 0 ? CryptError::asn1_corrupt : CryptError::asn1_bad_tag, reached});
    }
    return false;
  }

  [[noreturn]] void fail() const { throw crypt_failure(closest_.error); }

 private:
  // The form that came furthest tells why the text is no message.
  void remember(const NotAMessage& failure) {
    if (!repair_ && failure.reached > closest_.reached) closest_ = failure;
  }

  MessageReceiver& receiver_;
  bool repair_ = false;
  NotAMessage closest_{CryptError::asn1_bad_tag, 0};
};

// How many bytes a DER message in `text`'s bytes lacks at its end, when it lacks a few: the
// spaces that the reader of byte-exact files trimmed off.
std::size_t missing_trimmed_bytes(const MessageText& text) {
  std::uint8_t start[8] = {};
  const std::size_t got = read_fully(*text.unit_bytes(), start);
  const auto header = read_der_header(ByteView(start, got));
  if (!header) return 0;
  const std::uint64_t declared = std::uint64_t{header->size} + header->content_length;
  const std::uint64_t present = text.size() * 2;
  if (declared <= present || declared - present > most_trimmed_bytes) return 0;
  return static_cast<std::size_t>(declared - present);
}

}  // namespace

void read_message(const MessageText& text, const CodePage& code_page, MessageReceiver& receiver) {
  Reading reading(receiver);
  // 1. Base64 text.
  if (reading.attempt(std::make_unique<Base64Reader<char16_t, UnitReader>>(text.units(), false),
                      false)) {
    return;
  }
  // 2. A file read as text: its bytes come back through the code page.
  if (reading.attempt(std::make_unique<CodePageReader>(text.units(), code_page), false) ||
      reading.attempt(std::make_unique<Base64Reader<std::uint8_t, ByteReader>>(
                          std::make_unique<CodePageReader>(text.units(), code_page), false),
                      false)) {
    return;
  }
  // 3. A file read byte-exact into code units, which ends in a zero byte when its length is
  // odd.
  if (reading.attempt(text.unit_bytes(), true) ||
      reading.attempt(
          std::make_unique<Base64Reader<std::uint8_t, ByteReader>>(text.unit_bytes(), true),
          false)) {
    return;
  }
  if (const std::size_t missing = missing_trimmed_bytes(text);
      missing > 0 &&
      reading.attempt(std::make_unique<PaddedReader>(text.unit_bytes(), missing), false, true)) {
    return;
  }
  reading.fail();
}

}  // namespace orvane::provider
