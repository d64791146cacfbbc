#include "provider/base64.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <span>

namespace orvane::provider {
namespace {

constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::size_t line_length = 64;

constexpr int not_base64 = -1;

constexpr std::array<std::int8_t, 256> make_values() {
  std::array<std::int8_t, 256> values{};
  for (auto& value : values) value = not_base64;
  for (int i = 0; i < 64; ++i) {
    values[static_cast<unsigned char>(alphabet[i])] = static_cast<std::int8_t>(i);
  }
  return values;
}
constexpr std::array<std::int8_t, 256> values = make_values();

// The two characters of every 12 bits, first in the low byte: a group of three bytes is two
// look-ups.
constexpr std::array<std::uint16_t, 4096> make_pairs() {
  std::array<std::uint16_t, 4096> pairs{};
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    pairs[i] = static_cast<std::uint16_t>(static_cast<unsigned char>(alphabet[i >> 6]) |
                                          static_cast<unsigned char>(alphabet[i & 63]) << 8);
  }
  return pairs;
}
constexpr std::array<std::uint16_t, 4096> pairs = make_pairs();

int value_of(std::uint32_t c) {
  return c < values.size() ? values[c] : not_base64;
}

bool is_white_space(std::uint32_t c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

void put_group(std::uint32_t group, std::uint8_t*& out) {
  out[0] = static_cast<std::uint8_t>(group >> 16);
  out[1] = static_cast<std::uint8_t>(group >> 8);
  out[2] = static_cast<std::uint8_t>(group);
  out += 3;
}

template <typename Unit>
std::optional<Bytes> decode_whole(std::span<const Unit> text) {
  Base64Decoder<Unit> decoder;
  Bytes bytes;
  if (!decoder.feed(text, bytes) || !decoder.finish(bytes)) return std::nullopt;
  return bytes;
}

}  // namespace

template <typename Unit>
bool Base64Decoder<Unit>::feed(std::span<const Unit> text, Bytes& bytes) {
  if (failed_) return false;
  const std::size_t start = bytes.size();
  bytes.resize(start + text.size() / 4 * 3 + 3);
  std::uint8_t* out = bytes.data() + start;
  const Unit* in = text.data();
  const Unit* const end = in + text.size();
  while (in != end) {
    // Most of a message is whole groups of four digits within a line: they take this short way.
    if (digits_ == 0 && padding_ == 0 && dashes_ == 0 && !in_armour_ && !zero_seen_) {
      for (;;) {
        if (end - in >= 4) {
          const int a = value_of(in[0]);
          const int b = value_of(in[1]);
          const int c = value_of(in[2]);
          const int d = value_of(in[3]);
          if ((a | b | c | d) >= 0) {
            put_group(static_cast<std::uint32_t>(a << 18 | b << 12 | c << 6 | d), out);
            in += 4;
            started_ = true;
            line_start_ = false;
            continue;
          }
        }
        // A line's end between whole groups, as the slow way takes it.
        if (end - in >= 2 && in[0] == '\r' && in[1] == '\n') {
          in += 2;
          line_start_ = true;
          continue;
        }
        break;
      }
      if (in == end) break;
    }
    if (!feed_one(static_cast<std::uint32_t>(*in++), out)) {
      failed_ = true;
      bytes.resize(start);
      return false;
    }
  }
  bytes.resize(static_cast<std::size_t>(out - bytes.data()));
  return true;
}

template <typename Unit>
bool Base64Decoder<Unit>::feed_one(std::uint32_t c, std::uint8_t*& out) {
  if (zero_seen_) return false;  // the zero was not the last byte after all
  if (in_armour_) {
    // An armour line ("-----BEGIN PKCS7-----") is passed over to its end.
    if (c == '\n' || c == '\r') {
      in_armour_ = false;
      line_start_ = true;
    }
    return true;
  }
  if (dashes_ > 0) {
    if (c != '-') return false;  // a "-" that does not start an armour line
    if (++dashes_ == 5) {
      dashes_ = 0;
      in_armour_ = true;
    }
    return true;
  }
  if (c == 0 && final_zero_allowed_) {
    zero_seen_ = true;
    return true;
  }
  const int value = value_of(c);
  // The forms a text is not must be given up on at its first character.
  if (!started_ && !is_white_space(c)) {
    started_ = true;
    if (value == not_base64 && c != '-') return false;
  }
  if (value != not_base64 && padding_ == 0) {
    line_start_ = false;
    group_ = group_ << 6 | static_cast<std::uint32_t>(value);
    if (++digits_ == 4) {
      put_group(group_, out);
      group_ = 0;
      digits_ = 0;
    }
    return true;
  }
  if (line_start_ && c == '-') {
    dashes_ = 1;
    return true;
  }
  line_start_ = c == '\n' || c == '\r';
  if (!is_white_space(c)) {
    if (c != '=') return false;  // not Base64, or a digit after the padding
    ++padding_;
  }
  return true;
}

template <typename Unit>
bool Base64Decoder<Unit>::finish(Bytes& bytes) {
  // One digit is never a whole byte; padding, when present, must complete the last group.
  if (failed_ || dashes_ > 0 || digits_ == 1 || padding_ > 2 ||
      (padding_ > 0 && digits_ + padding_ != 4)) {
    return false;
  }
  if (digits_ >= 2) bytes.push_back(static_cast<std::uint8_t>(group_ >> (digits_ * 6 - 8)));
  if (digits_ == 3) bytes.push_back(static_cast<std::uint8_t>(group_ >> 2));
  digits_ = 0;
  return true;
}

template class Base64Decoder<std::uint8_t>;
template class Base64Decoder<char16_t>;

void Base64LineWriter::write(ByteView bytes) {
  if (pending_count_ > 0) {
    while (pending_count_ < 3 && !bytes.empty()) {
      pending_[pending_count_++] = bytes.front();
      bytes = bytes.subspan(1);
    }
    if (pending_count_ < 3) return;
    emit(pending_);
    pending_count_ = 0;
  }
  const std::size_t whole = bytes.size() / 3 * 3;
  emit(bytes.first(whole));
  for (std::size_t i = whole; i < bytes.size(); ++i) pending_[pending_count_++] = bytes[i];
}

void Base64LineWriter::emit(std::span<const std::uint8_t> whole_groups) {
  if (!text_) text_ = std::make_unique_for_overwrite<std::uint8_t[]>(text_capacity);
  const std::uint8_t* in = whole_groups.data();
  const std::uint8_t* const end = in + whole_groups.size();
  while (in != end) {
    // Room for a whole line and its line end, whatever the column.
    if (text_capacity - used_ < line_length + 2) flush();
    std::uint8_t* out = text_.get() + used_;
    for (; in != end && column_ < line_length; in += 3, out += 4, column_ += 4) {
      const auto group = static_cast<std::uint32_t>(in[0] << 16 | in[1] << 8 | in[2]);
      const std::uint16_t first = pairs[group >> 12];
      const std::uint16_t second = pairs[group & 0xFFF];
      std::memcpy(out, &first, 2);
      std::memcpy(out + 2, &second, 2);
    }
    if (column_ == line_length) {
      out[0] = '\r';
      out[1] = '\n';
      out += 2;
      column_ = 0;
    }
    used_ = static_cast<std::size_t>(out - text_.get());
  }
}

void Base64LineWriter::flush() {
  if (used_ > 0) out_.write(ByteView(text_.get(), used_));
  used_ = 0;
}

void Base64LineWriter::finish() {
  if (pending_count_ > 0) {
    const std::uint8_t last[3] = {pending_[0], pending_count_ > 1 ? pending_[1] : std::uint8_t{0},
                                  0};
    emit(last);
    // The characters past the last byte are padding.
    text_[used_ - 1 - (column_ == 0 ? 2 : 0)] = '=';
    if (pending_count_ == 1) text_[used_ - 2 - (column_ == 0 ? 2 : 0)] = '=';
    pending_count_ = 0;
  }
  if (column_ != 0) {
    if (text_capacity - used_ < 2) flush();
    text_[used_++] = '\r';
    text_[used_++] = '\n';
    column_ = 0;
  }
  flush();
}

Text base64_lines(ByteView bytes) {
  MemorySink sink;
  Base64LineWriter writer(sink);
  writer.write(bytes);
  writer.finish();
  return Text(sink.bytes().begin(), sink.bytes().end());
}

std::optional<Bytes> decode_base64_text(TextView text) {
  return decode_whole(std::span<const char16_t>(text.data(), text.size()));
}

std::optional<Bytes> decode_base64_text(ByteView text) {
  return decode_whole(text);
}

}  // namespace orvane::provider
