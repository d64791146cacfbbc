#pragma once

#include "runtime/bytes.h"
#include "runtime/text.h"

namespace orvane::provider {

// What a Text stands for when it is signed: its code units, two bytes each, low byte first.
// A view of the text's own storage, so that a large content is never copied to be hashed; it
// lives as long as the text is not changed.
ByteView content_bytes(TextView text);

// The code units of signed bytes, two bytes each, low byte first; an odd last byte becomes a
// code unit whose high byte is zero.
Text text_from_content_bytes(ByteView bytes);

}  // namespace orvane::provider
