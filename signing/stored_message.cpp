#include "signing/stored_message.h"

#include <bit>
#include <cstring>

#include "runtime/failure.h"
#include "runtime/file_channels.h"

namespace orvane::signing {

// Code units are taken from and written to memory as bytes, low byte first.
static_assert(std::endian::native == std::endian::little);

namespace {

constexpr int write_channel = 1;
constexpr int read_channel = 2;

}  // namespace

void trim_spaces_in_place(Text& text) {
  const auto first = text.find_first_not_of(u' ');
  if (first == Text::npos) {
    text.clear();
    return;
  }
  text.erase(text.find_last_not_of(u' ') + 1);
  text.erase(0, first);
}

FileBytes read_file_bytes(FileSystem& files, const Text& path) {
  file_channels::open_for_binary_read(files, read_channel, path);
  const std::uint64_t length = file_channels::length(read_channel);
  // The buffer is one byte longer than the file and that byte stays zero: a file of odd length
  // ends in a code unit of its last byte and a zero high byte.
  FileBytes file;
  file.units.reserve(static_cast<std::size_t>((length + 1) / 2));
  advise_large_buffer(file.units.data(), file.units.capacity() * sizeof(char16_t));
  file.units.resize(static_cast<std::size_t>((length + 1) / 2));
  file.byte_count = static_cast<std::size_t>(length);
  file_channels::get_bytes(
      read_channel, 1,
      std::span(reinterpret_cast<std::uint8_t*>(file.units.data()), file.byte_count));
  file_channels::close(read_channel);
  return file;
}

Text read_stored_message(FileSystem& files, const Text& path) {
  Text message = read_file_bytes(files, path).units;
  trim_spaces_in_place(message);
  return message;
}

void write_restored_content(const Platform& platform, const Text& output_name, TextView text,
                            const Text& message_file) {
  if (platform.files->same_file(output_name, message_file)) {
    throw Failure(RuntimeError::path_file_access_error);
  }
  Bytes bytes;
  if (auto single = encode_text_exactly(*platform.code_page, text)) {
    bytes = std::move(*single);
  } else {
    bytes.resize(text.size() * 2);
    std::memcpy(bytes.data(), text.data(), bytes.size());
  }
  file_channels::open_for_binary_write(*platform.files, write_channel, output_name,
                                       {.content_source = message_file});
  file_channels::put_bytes(write_channel, 1, std::move(bytes));
  file_channels::close(write_channel);
}

}  // namespace orvane::signing
