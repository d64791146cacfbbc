#include "runtime/text_stream.h"

#include <algorithm>

#include "runtime/failure.h"

namespace orvane {
namespace {

constexpr std::size_t chunk_size = 1 << 20;

}  // namespace

Text read_text_file(FileSystem& files, const CodePage& code_page, const Text& path,
                    std::size_t room_after) {
  const auto file = files.open_for_reading(path);
  // Decoded straight into the text, sized once: a whole file is held once, not twice.
  Text text;
  text.reserve(static_cast<std::size_t>(file->size()) + room_after);
  advise_large_buffer(text.data(), text.capacity() * sizeof(char16_t));
  text.resize(static_cast<std::size_t>(file->size()));
  Bytes chunk(std::min<std::uint64_t>(chunk_size, file->size() + 1));
  std::size_t length = 0;
  for (;;) {
    const std::size_t got = file->read_at(length, chunk);
    if (got == 0) break;
    // A file that grew since it was opened is read to its end all the same.
    if (length + got > text.size()) text.resize(length + got);
    code_page.decode(ByteView(chunk.data(), got), text.data() + length);
    length += got;
  }
  text.resize(length);
  return text;
}

TextFileWriter::TextFileWriter(FileSystem& files, const CodePage& code_page, Text path,
                               std::unique_ptr<OutputFile> replacement)
    : files_(&files),
      code_page_(&code_page),
      path_(std::move(path)),
      replacement_(std::move(replacement)) {}

TextFileWriter TextFileWriter::create(FileSystem& files, const CodePage& code_page,
                                      const Text& path, const OutputAccess& access) {
  return TextFileWriter(files, code_page, path, files.open_for_replacing(path, access));
}

TextFileWriter TextFileWriter::open_for_append(FileSystem& files, const CodePage& code_page,
                                               const Text& path) {
  return TextFileWriter(files, code_page, path, nullptr);
}

void TextFileWriter::write(TextView text) {
  // Large texts go out in pieces, so that a signed message is never held twice.
  while (!text.empty()) {
    const std::size_t count = std::min(text.size(), chunk_size);
    const std::size_t start = pending_.size();
    pending_.resize(start + count);
    code_page_->encode(text.substr(0, count), pending_.data() + start, '?');
    text.remove_prefix(count);
    if (replacement_ && pending_.size() >= chunk_size) {
      replacement_->write(pending_);
      pending_.clear();
    }
  }
}

void TextFileWriter::write_line(TextView text) {
  write(text);
  write(u"\r\n");
}

void TextFileWriter::close() {
  if (replacement_) {
    replacement_->write(pending_);
    replacement_->commit();
    replacement_.reset();
  } else {
    files_->append(path_, pending_);
  }
  pending_.clear();
}

}  // namespace orvane
