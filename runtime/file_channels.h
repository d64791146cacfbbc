#pragma once

#include <cstdint>
#include <span>

#include "runtime/file_system.h"

namespace orvane::file_channels {

// The runtime's numbered binary file channels (numbers 1 to 255). Like the runtime's own, they
// belong to the thread: an object called on one thread never sees another thread's channels.
// Positions are 1-based. A channel that is not open fails with 52 "Bad file name or number".

// Opens `path` for binary reading; a missing file fails with 53. Fails with 55 when the number
// is already open.
void open_for_binary_read(FileSystem& files, int number, const Text& path);

// Opens `path` for binary writing, readable as `access` says. The file is replaced whole when
// the channel is closed, so a write that fails part way leaves any earlier file as it was.
void open_for_binary_write(FileSystem& files, int number, const Text& path,
                           const OutputAccess& access);

// Length of the file in bytes.
std::uint64_t length(int number);

// Reads out.size() bytes from `position`; reading past the end fails with 62.
void get_bytes(int number, std::uint64_t position, std::span<std::uint8_t> out);
std::uint8_t get_byte(int number, std::uint64_t position);

// Writes bytes at `position`; a gap before it is filled with zero bytes.
void put_bytes(int number, std::uint64_t position, ByteView bytes);
void put_byte(int number, std::uint64_t position, std::uint8_t byte);
// Writes a whole buffer at `position`, taking it over rather than copying it when nothing was
// written before: restored files can be large.
void put_bytes(int number, std::uint64_t position, Bytes&& bytes);

// Closes the channel; a write channel replaces its file now. Closing a channel that is not
// open is no failure.
void close(int number);

// Closes the channel and drops what a write channel has not yet written; for failure paths,
// which must leave no partial file behind. No failure when the channel is not open.
void abandon(int number) noexcept;

}  // namespace orvane::file_channels
