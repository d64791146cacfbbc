#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "runtime/byte_stream.h"
#include "runtime/bytes.h"
#include "runtime/text.h"

namespace orvane::provider {

// Base64 of `bytes` in lines of 64 characters, each ended by CR LF, as signed messages are
// written.
Text base64_lines(ByteView bytes);

// The bytes that `text` spells when every character of it is Base64 text: the Base64 alphabet
// with its "=" padding at the end, white space (space, tab, CR, LF), and PEM armour lines
// (lines that start with "-----"). Nothing when any other character appears or the length
// cannot be Base64.
std::optional<Bytes> decode_base64_text(TextView text);
std::optional<Bytes> decode_base64_text(ByteView text);

// Writes bytes as Base64 lines (64 characters, each ended by CR LF) to a sink as they come; the
// text is ASCII, one byte a character.
class Base64LineWriter final : public ByteSink {
 public:
  explicit Base64LineWriter(ByteSink& out) : out_(out) {}
  void write(ByteView bytes) override;
  // Writes the last group, padded, and the last line's CR LF.
  void finish();

 private:
  void emit(std::span<const std::uint8_t> whole_groups);
  void flush();

  // Text goes out to the sink in pieces of about this size.
  static constexpr std::size_t text_capacity = 64 * 1024;

  ByteSink& out_;
  std::uint8_t pending_[3] = {};
  std::size_t pending_count_ = 0;
  std::size_t column_ = 0;
  std::unique_ptr<std::uint8_t[]> text_;
  std::size_t used_ = 0;
};

// A whole line of Base64 text stands for 48 bytes and is 66 characters long, its CR LF included:
// the line that holds a message's byte N starts at character N / 48 * 66.
inline constexpr std::size_t base64_line_bytes = 48;
inline constexpr std::size_t base64_line_characters = 66;

// Decodes Base64 text a piece at a time, as decode_base64_text decodes it whole.
template <typename Unit>
class Base64Decoder {
 public:
  // With `final_zero_allowed`, one zero byte may follow the text at its very end: the spare
  // byte of a file of odd length read into code units.
  explicit Base64Decoder(bool final_zero_allowed = false)
      : final_zero_allowed_(final_zero_allowed) {}
  // Decodes the next piece of text, appending its bytes to `out`; false once the text has shown
  // that it is not Base64 text.
  bool feed(std::span<const Unit> text, Bytes& out);
  // Whether the text may end here; appends the last bytes to `out`.
  bool finish(Bytes& out);

 private:
  bool feed_one(std::uint32_t c, std::uint8_t*& out);

  bool final_zero_allowed_;
  bool failed_ = false;
  bool started_ = false;
  bool line_start_ = true;
  bool in_armour_ = false;
  bool zero_seen_ = false;
  int dashes_ = 0;
  std::uint32_t group_ = 0;
  int digits_ = 0;
  int padding_ = 0;
};

extern template class Base64Decoder<std::uint8_t>;
extern template class Base64Decoder<char16_t>;

}  // namespace orvane::provider
