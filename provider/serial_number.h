#pragma once

#include <optional>

#include "runtime/bytes.h"
#include "runtime/text.h"

namespace orvane::provider {

// The serial number as callers compare it: upper-case hexadecimal of the DER INTEGER's content
// octets, two digits an octet, most significant first, a leading 00 octet kept.
Text serial_number_hex(ByteView integer_content);

// The serial-number text of a DER certificate, read from its encoding; nothing when the
// encoding is not a certificate's.
std::optional<Text> certificate_serial_number(ByteView certificate_der);

}  // namespace orvane::provider
