// The runtime's text conversions on any bytes: the default code page, in both directions, and
// UTF-8, which every path passes through on its way to the system.
#include <cstdint>
#include <cstring>

#include "fuzz/require.h"
#include "runtime/code_page.h"

using orvane::fuzzing::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const orvane::CodePage& code_page = orvane::windows_1252();
  const orvane::ByteView bytes(data, size);

  // Every byte is a character and comes back as itself.
  const orvane::Text text = orvane::decode_text(code_page, bytes);
  require(text.size() == size, "one character per byte");
  const auto encoded = orvane::encode_text_exactly(code_page, text);
  require(encoded && orvane::ByteView(*encoded).size() == size &&
              std::equal(encoded->begin(), encoded->end(), bytes.begin()),
          "every byte round-trips");

  // Any code units: each becomes its own byte when the code page has it, "?" otherwise.
  orvane::Text units(size / 2, u'\0');
  if (!units.empty()) std::memcpy(units.data(), data, units.size() * 2);
  const orvane::Bytes written = orvane::encode_text(code_page, units);
  require(written.size() == units.size(), "one byte per code unit");
  bool all_represented = true;
  for (std::size_t i = 0; i < units.size(); ++i) {
    char16_t back = 0;
    code_page.decode(orvane::ByteView(&written[i], 1), &back);
    const bool represented = back == units[i];
    require(represented || written[i] == '?', "an unrepresentable unit becomes a question mark");
    all_represented = all_represented && represented;
  }
  require(orvane::encode_text_exactly(code_page, units).has_value() == all_represented,
          "an exact encoding exists exactly when every unit is represented");

  // UTF-8: after one conversion, both directions are each other's inverse.
  const std::string_view utf8(reinterpret_cast<const char*>(data), size);
  const orvane::Text from_utf8 = orvane::text_from_utf8(utf8);
  const std::string to_utf8 = orvane::text_to_utf8(from_utf8);
  require(orvane::text_from_utf8(to_utf8) == from_utf8, "UTF-8 round-trips after one pass");
  require(orvane::text_to_utf8(orvane::text_from_utf8(orvane::text_to_utf8(units))) ==
              orvane::text_to_utf8(units),
          "code units through UTF-8 and back are stable");
  return 0;
}
