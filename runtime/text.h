#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orvane {

// The contents of a BSTR. Behaviour that callers see (envelopes, trimming, byte pairs) is
// defined on these 16-bit code units, so the core never holds such values as UTF-8.
using Text = std::u16string;
using TextView = std::u16string_view;

// Widens 7-bit text; a byte above 0x7F becomes the code unit of the same value.
Text text_from_ascii(std::string_view ascii);

// UTF-8 to code units; an invalid sequence becomes U+FFFD.
Text text_from_utf8(std::string_view utf8);

// Code units to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string text_to_utf8(TextView text);

// Removes leading and trailing U+0020 only: tabs and line breaks stay.
TextView trim_spaces(TextView text);

// The number in decimal, with a minus sign when negative.
Text decimal_text(std::int64_t number);

}  // namespace orvane
