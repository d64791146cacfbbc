#pragma once

// What the Sign methods sign and verify, read from files a block at a time: a file of any size
// is never held whole.

#include <memory>

#include "provider/provider.h"
#include "runtime/platform.h"

namespace orvane::signing {

// A file's text as the text reader reads it, one character per byte through the code page,
// taken as code units two bytes each, low byte first; then the code units of `trailer`. The
// file is opened here (its failures are the runtime's), and its length then is what every
// reading yields.
std::shared_ptr<const ByteSource> text_file_content(FileSystem& files, const CodePage& code_page,
                                                    const Text& path, Text trailer = {});

// A file's exact bytes.
std::shared_ptr<const ByteSource> file_bytes_content(FileSystem& files, const Text& path);

// A file's bytes as the old component signed them: with one zero byte more for an odd length,
// then without the code units U+0020 at either end.
std::shared_ptr<const ByteSource> legacy_file_content(FileSystem& files, const Text& path);

// The code units of `text`, two bytes each, low byte first; the text must outlive the source.
std::shared_ptr<const ByteSource> text_content(TextView text);

// A stored message file read byte-exact: its bytes taken two at a time, low byte first, as code
// units (a file of odd length gains a zero high byte), with leading and trailing U+0020 removed.
std::unique_ptr<const provider::MessageText> stored_message_file(FileSystem& files,
                                                                 const Text& path);

// A message file read as text through the code page, one character per byte.
std::unique_ptr<const provider::MessageText> text_file_message(FileSystem& files,
                                                               const CodePage& code_page,
                                                               const Text& path);

}  // namespace orvane::signing
