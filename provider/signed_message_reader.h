#pragma once

#include "provider/ber_input.h"
#include "provider/message_reading.h"

namespace orvane::provider {

// Reads one ContentInfo from `input`: a signed-data message's content goes to `receiver` as it
// passes, and the rest is returned, DER outside (the ContentInfo, its [0], the SignedData and
// the encapsulated content info re-encoded with definite lengths, without the content) and every
// other field as it stands. A ContentInfo of another type is returned whole. Nothing may follow
// it but, with `final_zero_allowed`, one zero byte. Fails with NotAMessage.
Bytes read_signed_message(BerInput& input, MessageReceiver& receiver, bool final_zero_allowed);

// What the parts of a message besides its content may come to, held in memory.
inline constexpr std::size_t message_parts_limit = 32 * 1024 * 1024;

}  // namespace orvane::provider
