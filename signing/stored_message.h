#pragma once

#include "runtime/platform.h"

namespace orvane::signing {

// A file's exact bytes, held two a code unit, low byte first; a file of odd length leaves the
// last unit's high byte zero and outside `byte_count`.
struct FileBytes {
  Text units;
  std::size_t byte_count = 0;
};

// Reads a file byte-exact through binary channel 2. Failures are the runtime's (53 for a
// missing file).
FileBytes read_file_bytes(FileSystem& files, const Text& path);

// Removes leading and trailing U+0020 code units, and no other white space.
void trim_spaces_in_place(Text& text);

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
