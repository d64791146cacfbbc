#pragma once

// Bytes and code units that pass a block at a time: files of any size are signed, verified and
// restored through these without ever being held whole.

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "runtime/bytes.h"
#include "runtime/text.h"

namespace orvane {

// How much a stream passes at once: large enough that calls cost nothing beside the work on the
// bytes, small enough to stay in the processor's caches.
inline constexpr std::size_t stream_block_size = 256 * 1024;

// Reads bytes in order.
class ByteReader {
 public:
  virtual ~ByteReader() = default;
  // Fills the front of `out` with the next bytes and returns how many; 0 only at the end.
  // Fails with the runtime's failures (57 Device I/O error, 62 Input past end of file, ...).
  virtual std::size_t read(std::span<std::uint8_t> out) = 0;
};

// Reads code units in order.
class UnitReader {
 public:
  virtual ~UnitReader() = default;
  // As ByteReader::read, in code units.
  virtual std::size_t read(std::span<char16_t> out) = 0;
};

// Bytes that can be read from the start as often as a reader needs them: a signature is made
// over them in one pass, and an attached message sometimes needs a second.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // How many bytes every reading yields.
  virtual std::uint64_t size() const = 0;
  // A reader from the first byte. A reading fails (62) rather than end early when the bytes
  // behind the source got fewer than size(), and stops at size() when they got more.
  virtual std::unique_ptr<ByteReader> open() const = 0;
};

// Where bytes go, in order.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void write(ByteView bytes) = 0;
};

// A sink whose bytes can be written again: for a writer whose first bytes depend on its last.
class RewritableSink : public ByteSink {
 public:
  // Writes `bytes` over bytes already written, from `offset`.
  virtual void write_at(std::uint64_t offset, ByteView bytes) = 0;
  // Keeps the first `size` bytes written; the next write() follows them.
  virtual void truncate(std::uint64_t size) = 0;
};

// Bytes in memory, read where they lie: the bytes must outlive the source and its readers.
class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(ByteView bytes) : bytes_(bytes) {}
  std::uint64_t size() const override { return bytes_.size(); }
  std::unique_ptr<ByteReader> open() const override;

 private:
  ByteView bytes_;
};

// A reader of bytes in memory.
class MemoryReader final : public ByteReader {
 public:
  explicit MemoryReader(ByteView bytes) : rest_(bytes) {}
  std::size_t read(std::span<std::uint8_t> out) override;

 private:
  ByteView rest_;
};

// A reader of code units in memory.
class MemoryUnitReader final : public UnitReader {
 public:
  explicit MemoryUnitReader(TextView units) : rest_(units) {}
  std::size_t read(std::span<char16_t> out) override;

 private:
  TextView rest_;
};

// Bytes collected in memory.
class MemorySink final : public RewritableSink {
 public:
  void write(ByteView bytes) override;
  void write_at(std::uint64_t offset, ByteView bytes) override;
  void truncate(std::uint64_t size) override;
  const Bytes& bytes() const { return bytes_; }
  Bytes take() { return std::move(bytes_); }

 private:
  Bytes bytes_;
};

// A buffer for reading a stream a block at a time that starts small and doubles up to
// stream_block_size: a short stream costs little, a long one is read in whole blocks.
template <typename T>
class GrowingBlock {
 public:
  std::span<T> next() {
    if (buffer_.size() < stream_block_size) {
      buffer_.resize(buffer_.empty() ? 4096 : buffer_.size() * 2);
    }
    return buffer_;
  }

 private:
  std::vector<T> buffer_;
};

// A reader that makes its bytes a block at a time (decoding, converting) and serves them from a
// buffer.
class BlockReader : public ByteReader {
 public:
  std::size_t read(std::span<std::uint8_t> out) final;

 protected:
  // Appends the next bytes to `bytes`; false at the end.
  virtual bool refill(Bytes& bytes) = 0;

 private:
  Bytes bytes_;
  std::size_t taken_ = 0;
};

// Fills `out` whole unless the reader ends first; returns how many bytes it read.
std::size_t read_fully(ByteReader& reader, std::span<std::uint8_t> out);

// Every byte of `source`, for sources known to be small.
Bytes read_all(const ByteSource& source);

}  // namespace orvane
