#include "runtime/file_channels.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "runtime/failure.h"

namespace orvane::file_channels {
namespace {

struct Channel {
  std::unique_ptr<InputFile> input;    // binary read
  std::unique_ptr<OutputFile> output;  // binary write
  Bytes written;                       // everything put so far, written out on close
  // A small window of the input, so that byte-at-a-time reading does not call the system for
  // every byte.
  Bytes window;
  std::uint64_t window_start = 0;
};

constexpr int highest_number = 255;
constexpr std::size_t window_size = 64 * 1024;

thread_local std::array<std::unique_ptr<Channel>, highest_number + 1> channels;

std::unique_ptr<Channel>& slot(int number) {
  if (number < 1 || number > highest_number) throw Failure(RuntimeError::bad_file_name_or_number);
  return channels[static_cast<std::size_t>(number)];
}

Channel& open_channel(int number) {
  auto& channel = slot(number);
  if (!channel) throw Failure(RuntimeError::bad_file_name_or_number);
  return *channel;
}

std::unique_ptr<Channel>& free_slot(int number) {
  auto& channel = slot(number);
  if (channel) throw Failure(RuntimeError::file_already_open);
  return channel;
}

void read_exactly(InputFile& input, std::uint64_t offset, std::span<std::uint8_t> out) {
  while (!out.empty()) {
    const std::size_t got = input.read_at(offset, out);
    if (got == 0) throw Failure(RuntimeError::input_past_end_of_file);
    offset += got;
    out = out.subspan(got);
  }
}

}  // namespace

void open_for_binary_read(FileSystem& files, int number, const Text& path) {
  auto& channel = free_slot(number);
  auto input = files.open_for_reading(path);
  channel = std::make_unique<Channel>();
  channel->input = std::move(input);
}

void open_for_binary_write(FileSystem& files, int number, const Text& path,
                           const OutputAccess& access) {
  auto& channel = free_slot(number);
  auto output = files.open_for_replacing(path, access);
  channel = std::make_unique<Channel>();
  channel->output = std::move(output);
}

std::uint64_t length(int number) {
  Channel& channel = open_channel(number);
  return channel.input ? channel.input->size() : channel.written.size();
}

void get_bytes(int number, std::uint64_t position, std::span<std::uint8_t> out) {
  Channel& channel = open_channel(number);
  if (!channel.input) throw Failure(RuntimeError::bad_file_name_or_number);
  if (position < 1 || position - 1 + out.size() > channel.input->size()) {
    throw Failure(RuntimeError::input_past_end_of_file);
  }
  read_exactly(*channel.input, position - 1, out);
}

std::uint8_t get_byte(int number, std::uint64_t position) {
  Channel& channel = open_channel(number);
  if (!channel.input) throw Failure(RuntimeError::bad_file_name_or_number);
  if (position < 1 || position > channel.input->size()) {
    throw Failure(RuntimeError::input_past_end_of_file);
  }
  const std::uint64_t offset = position - 1;
  if (offset < channel.window_start || offset >= channel.window_start + channel.window.size()) {
    const auto count = std::min<std::uint64_t>(window_size, channel.input->size() - offset);
    channel.window.resize(static_cast<std::size_t>(count));
    read_exactly(*channel.input, offset, channel.window);
    channel.window_start = offset;
  }
  return channel.window[static_cast<std::size_t>(offset - channel.window_start)];
}

void put_bytes(int number, std::uint64_t position, ByteView bytes) {
  Channel& channel = open_channel(number);
  if (!channel.output) throw Failure(RuntimeError::bad_file_name_or_number);
  if (position < 1) throw Failure(RuntimeError::bad_file_name_or_number);
  const auto end = static_cast<std::size_t>(position - 1 + bytes.size());
  if (channel.written.size() < end) channel.written.resize(end);
  std::copy(bytes.begin(), bytes.end(),
            channel.written.begin() + static_cast<std::ptrdiff_t>(position - 1));
}

void put_bytes(int number, std::uint64_t position, Bytes&& bytes) {
  Channel& channel = open_channel(number);
  if (channel.output && position == 1 && channel.written.empty()) {
    channel.written = std::move(bytes);
    return;
  }
  put_bytes(number, position, ByteView(bytes));
}

void put_byte(int number, std::uint64_t position, std::uint8_t byte) {
  put_bytes(number, position, ByteView(&byte, 1));
}

void close(int number) {
  auto& channel = slot(number);
  if (!channel) return;
  // The slot is free again whatever happens below.
  const std::unique_ptr<Channel> closing = std::move(channel);
  if (closing->output) {
    closing->output->write(closing->written);
    closing->output->commit();
  }
}

void abandon(int number) noexcept {
  if (number >= 1 && number <= highest_number) channels[static_cast<std::size_t>(number)].reset();
}

}  // namespace orvane::file_channels
