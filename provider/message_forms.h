#pragma once

#include <functional>

#include "runtime/bytes.h"
#include "runtime/code_page.h"
#include "runtime/text.h"

namespace orvane::provider {

// Accepts `der` when it is exactly one encoded signed message, and keeps what it parsed.
using DerParser = std::function<bool(ByteView der)>;

// Finds the encoded message that a message text stands for, trying the forms that callers and
// files produce, in this order:
//  1. every code unit is Base64 text (PEM armour lines and white space allowed);
//  2. every code unit re-encodes through `code_page` (a file read as text), and those bytes
//     are DER or Base64 text;
//  3. the code units' bytes, two each, low byte first (a file read byte-exact), are DER or
//     Base64 text, with one trailing zero byte allowed after either; DER short of the space
//     code units that the reader trims off a file's end is completed with them.
// Returns whether `parse` accepted one of them.
bool parse_message_forms(TextView message, const CodePage& code_page, const DerParser& parse);

}  // namespace orvane::provider
