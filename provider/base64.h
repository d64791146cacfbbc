#pragma once

#include <optional>

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

}  // namespace orvane::provider
