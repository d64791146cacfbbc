#include "runtime/code_page.h"

#include <array>
#include <cstring>

namespace orvane {
namespace {

// Bytes 0x80 to 0x9F of Windows-1252; the unassigned five keep their own value.
constexpr std::array<char16_t, 32> high_controls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

class Windows1252 final : public CodePage {
 public:
  Windows1252() {
    for (unsigned b = 0; b < 256; ++b) {
      to_unicode_[b] = (b >= 0x80 && b < 0xA0) ? high_controls[b - 0x80] : static_cast<char16_t>(b);
    }
  }

  void decode(ByteView bytes, char16_t* out) const override {
    // Whole files pass through here, and they are mostly ASCII: runs of bytes below 0x80 widen
    // without a table, eight at a time, in a loop the compiler vectorises.
    const std::uint8_t* in = bytes.data();
    const std::uint8_t* const end = in + bytes.size();
    while (end - in >= 8) {
      std::uint64_t word;
      std::memcpy(&word, in, sizeof word);
      if ((word & 0x8080808080808080u) == 0) {
        for (int i = 0; i < 8; ++i) out[i] = in[i];
      } else {
        for (int i = 0; i < 8; ++i) out[i] = to_unicode_[in[i]];
      }
      in += 8;
      out += 8;
    }
    while (in != end) *out++ = to_unicode_[*in++];
  }

  std::size_t encode(TextView text, std::uint8_t* out, std::uint8_t replacement) const override {
    std::size_t replaced = 0;
    // As in decode, runs of ASCII narrow eight at a time without a look at each code unit.
    const char16_t* in = text.data();
    const char16_t* const end = in + text.size();
    while (end - in >= 8) {
      std::uint64_t words[2];
      std::memcpy(words, in, sizeof words);
      if (((words[0] | words[1]) & 0xFF80FF80FF80FF80u) == 0) {
        for (int i = 0; i < 8; ++i) out[i] = static_cast<std::uint8_t>(in[i]);
      } else {
        for (int i = 0; i < 8; ++i) out[i] = encode_one(in[i], replacement, replaced);
      }
      in += 8;
      out += 8;
    }
    while (in != end) *out++ = encode_one(*in++, replacement, replaced);
    return replaced;
  }

 private:
  static std::uint8_t encode_one(char16_t c, std::uint8_t replacement, std::size_t& replaced) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<std::uint8_t>(c);
    const auto byte = from_high_control(c);
    if (!byte) ++replaced;
    return byte.value_or(replacement);
  }

  static std::optional<std::uint8_t> from_high_control(char16_t c) {
    // Most code units outside the Latin-1 range are none of these 32: one comparison tells.
    if (c > 0x2122 || (c > 0x9D && c < 0x0152)) return std::nullopt;
    for (std::size_t i = 0; i < high_controls.size(); ++i) {
      if (high_controls[i] == c) return static_cast<std::uint8_t>(0x80 + i);
    }
    return std::nullopt;
  }

  std::array<char16_t, 256> to_unicode_{};
};

}  // namespace

const CodePage& windows_1252() {
  static const Windows1252 code_page;
  return code_page;
}

Text decode_text(const CodePage& code_page, ByteView bytes) {
  Text text(bytes.size(), u'\0');
  code_page.decode(bytes, text.data());
  return text;
}

Bytes encode_text(const CodePage& code_page, TextView text) {
  Bytes bytes(text.size());
  code_page.encode(text, bytes.data(), '?');
  return bytes;
}

std::optional<Bytes> encode_text_exactly(const CodePage& code_page, TextView text) {
  Bytes bytes;
  bytes.reserve(text.size());
  // In pieces, and the buffer filled only as they go, so that a text that is not one (a message
  // read byte-exact, say) is given up on early rather than encoded to its end.
  constexpr std::size_t piece = 4096;
  for (std::size_t at = 0; at < text.size(); at += piece) {
    const TextView part = text.substr(at, piece);
    bytes.resize(at + part.size());
    if (code_page.encode(part, bytes.data() + at, '?') != 0) return std::nullopt;
  }
  return bytes;
}

}  // namespace orvane
