#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "runtime/bytes.h"
#include "runtime/text.h"

namespace orvane {

// A single-byte code page: one character per byte, as the system's text reader and writer
// use it. Bulk operations, because whole files pass through them.
class CodePage {
 public:
  virtual ~CodePage() = default;

  // Writes the character of each byte to `out`, which has room for bytes.size() code units.
  virtual void decode(ByteView bytes, char16_t* out) const = 0;

  // Writes the byte of each code unit to `out`, which has room for text.size() bytes; a code
  // unit the code page cannot represent becomes `replacement`. Returns how many did.
  virtual std::size_t encode(TextView text, std::uint8_t* out, std::uint8_t replacement) const = 0;
};

// Windows-1252, with the five bytes that it leaves unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D)
// mapped to the code units of the same value, so that every byte round-trips.
const CodePage& windows_1252();

// The text of `bytes`, one character per byte.
Text decode_text(const CodePage& code_page, ByteView bytes);

// The bytes of `text`, with "?" for each character the code page cannot represent.
Bytes encode_text(const CodePage& code_page, TextView text);

// The bytes of `text`, or nothing when a character cannot be represented.
std::optional<Bytes> encode_text_exactly(const CodePage& code_page, TextView text);

}  // namespace orvane
