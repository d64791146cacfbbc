#include "provider/base64.h"

#include <array>
#include <cstdint>
#include <span>

namespace orvane::provider {
namespace {

constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int line_length = 64;

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

int value_of(std::uint32_t c) {
  return c < values.size() ? values[c] : not_base64;
}

bool is_white_space(std::uint32_t c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Whether an armour line ("-----BEGIN PKCS7-----") starts at `at`.
template <typename Unit>
bool armour_starts(std::span<const Unit> text, std::size_t at) {
  if (text.size() - at < 5) return false;
  for (std::size_t i = at; i < at + 5; ++i) {
    if (text[i] != '-') return false;
  }
  return true;
}

// Whether `text` can be Base64 text at all, from its first character that is not white space.
// Callers try a message in several forms, so the forms it is not must be given up on before
// a buffer the size of the message is made for them.
template <typename Unit>
bool may_be_base64(std::span<const Unit> text) {
  for (const Unit unit : text) {
    const auto c = static_cast<std::uint32_t>(unit);
    if (!is_white_space(c)) return value_of(c) != not_base64 || c == '-';
  }
  return true;
}

// One decoder for code units and bytes alike: both are read as unsigned values.
template <typename Unit>
std::optional<Bytes> decode(std::span<const Unit> text) {
  if (!may_be_base64(text)) return std::nullopt;
  Bytes bytes(text.size() / 4 * 3 + 3);
  std::uint8_t* out = bytes.data();
  const Unit* in = text.data();
  const Unit* const end = in + text.size();
  std::uint32_t group = 0;
  int digits = 0;
  int padding = 0;
  bool line_start = true;
  while (in != end) {
    // Most of a message is whole groups of four digits within a line: they take this short way.
    if (digits == 0 && padding == 0) {
      while (end - in >= 4) {
        const int a = value_of(in[0]);
        const int b = value_of(in[1]);
        const int c = value_of(in[2]);
        const int d = value_of(in[3]);
        if ((a | b | c | d) < 0) break;
        const auto whole = static_cast<std::uint32_t>(a << 18 | b << 12 | c << 6 | d);
        out[0] = static_cast<std::uint8_t>(whole >> 16);
        out[1] = static_cast<std::uint8_t>(whole >> 8);
        out[2] = static_cast<std::uint8_t>(whole);
        out += 3;
        in += 4;
        line_start = false;
      }
      if (in == end) break;
    }
    const auto c = static_cast<std::uint32_t>(*in);
    const int value = value_of(c);
    if (value != not_base64 && padding == 0) {
      line_start = false;
      group = group << 6 | static_cast<std::uint32_t>(value);
      if (++digits == 4) {
        out[0] = static_cast<std::uint8_t>(group >> 16);
        out[1] = static_cast<std::uint8_t>(group >> 8);
        out[2] = static_cast<std::uint8_t>(group);
        out += 3;
        group = 0;
        digits = 0;
      }
      ++in;
      continue;
    }
    if (line_start && armour_starts(text, static_cast<std::size_t>(in - text.data()))) {
      while (in != end && *in != '\n' && *in != '\r') ++in;
      continue;
    }
    line_start = c == '\n' || c == '\r';
    if (!is_white_space(c)) {
      if (c != '=') return std::nullopt;  // not Base64, or a digit after the padding
      ++padding;
    }
    ++in;
  }
  // One digit is never a whole byte; padding, when present, must complete the last group.
  if (digits == 1 || padding > 2 || (padding > 0 && digits + padding != 4)) return std::nullopt;
  if (digits >= 2) *out++ = static_cast<std::uint8_t>(group >> (digits * 6 - 8));
  if (digits == 3) *out++ = static_cast<std::uint8_t>(group >> 2);
  bytes.resize(static_cast<std::size_t>(out - bytes.data()));
  return bytes;
}

}  // namespace

Text base64_lines(ByteView bytes) {
  const std::size_t characters = (bytes.size() + 2) / 3 * 4;
  Text text;
  text.reserve(characters + (characters / line_length + 1) * 2);
  int column = 0;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t left = bytes.size() - i;
    const std::uint32_t group = std::uint32_t{bytes[i]} << 16 |
                                (left > 1 ? std::uint32_t{bytes[i + 1]} << 8 : 0) |
                                (left > 2 ? std::uint32_t{bytes[i + 2]} : 0);
    text.push_back(static_cast<char16_t>(alphabet[group >> 18 & 63]));
    text.push_back(static_cast<char16_t>(alphabet[group >> 12 & 63]));
    text.push_back(left > 1 ? static_cast<char16_t>(alphabet[group >> 6 & 63]) : u'=');
    text.push_back(left > 2 ? static_cast<char16_t>(alphabet[group & 63]) : u'=');
    column += 4;
    if (column == line_length) {
      text.append(u"\r\n");
      column = 0;
    }
  }
  if (column != 0) text.append(u"\r\n");
  return text;
}

std::optional<Bytes> decode_base64_text(TextView text) {
  return decode(std::span<const char16_t>(text.data(), text.size()));
}

std::optional<Bytes> decode_base64_text(ByteView text) {
  return decode(text);
}

}  // namespace orvane::provider
