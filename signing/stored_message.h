#pragma once

#include "runtime/platform.h"

namespace orvane::signing {

// Reads a stored message file byte-exact through binary channel 2: its bytes taken two at a
// time, low byte first, as code units (a file of odd length gains a zero high byte), with
// leading and trailing U+0020 removed. Failures are the runtime's (53 for a missing file).
Text read_stored_message(FileSystem& files, const Text& path);

// Writes restored content through binary channel 1 to `output_name`, replacing any earlier
// file whole: one byte per character through the code page when it can represent every
// character, so a signed file comes back byte for byte; otherwise two bytes per character, low
// byte first. Refuses (75) to write over `message_file`, the message the content came from,
// and gives the output no wider access than that file has.
void write_restored_content(const Platform& platform, const Text& output_name, TextView text,
                            const Text& message_file);

}  // namespace orvane::signing
