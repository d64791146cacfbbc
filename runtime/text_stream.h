#pragma once

#include <cstddef>
#include <memory>
#include <optional>

#include "runtime/platform.h"

namespace orvane {

// Reads the whole file as text, one character per byte through the code page. An empty file
// reads as an empty text. `room_after` code units are reserved beyond it, for a caller that
// appends to a large text without moving it.
Text read_text_file(FileSystem& files, const CodePage& code_page, const Text& path,
                    std::size_t room_after = 0);

// A text file being written, one byte per character through the code page ("?" for a
// character it cannot represent). Nothing reaches the disk before close(); a writer destroyed
// without close() leaves the file system as it found it.
class TextFileWriter {
 public:
  // A new file that replaces any file of that name whole, readable as `access` says. Fails at
  // once when the folder is missing or cannot be written.
  static TextFileWriter create(FileSystem& files, const CodePage& code_page, const Text& path,
                               const OutputAccess& access);
  // Writes to the end of `path`, created when missing; everything written goes out as one
  // append on close().
  static TextFileWriter open_for_append(FileSystem& files, const CodePage& code_page,
                                        const Text& path);

  void write(TextView text);
  // Writes the text and a CR LF line end, whatever the platform.
  void write_line(TextView text);
  void close();

 private:
  TextFileWriter(FileSystem& files, const CodePage& code_page, Text path,
                 std::unique_ptr<OutputFile> replacement);

  FileSystem* files_;
  const CodePage* code_page_;
  Text path_;
  std::unique_ptr<OutputFile> replacement_;  // null when appending
  Bytes pending_;
};

}  // namespace orvane
