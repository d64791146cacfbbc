#include "runtime/byte_stream.h"

#include <algorithm>
#include <cstring>

#include "runtime/failure.h"

namespace orvane {

std::unique_ptr<ByteReader> MemorySource::open() const {
  return std::make_unique<MemoryReader>(bytes_);
}

std::size_t MemoryReader::read(std::span<std::uint8_t> out) {
  const std::size_t count = std::min(out.size(), rest_.size());
  if (count == 0) return 0;
  std::memcpy(out.data(), rest_.data(), count);
  rest_ = rest_.subspan(count);
  return count;
}

std::size_t MemoryUnitReader::read(std::span<char16_t> out) {
  const std::size_t count = std::min(out.size(), rest_.size());
  std::copy_n(rest_.data(), count, out.data());
  rest_.remove_prefix(count);
  return count;
}

void MemorySink::write(ByteView bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
}

void MemorySink::write_at(std::uint64_t offset, ByteView bytes) {
  if (offset > bytes_.size() || bytes.size() > bytes_.size() - offset) {
    throw Failure(RuntimeError::invalid_procedure_call);
  }
  std::copy(bytes.begin(), bytes.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(offset));
}

void MemorySink::truncate(std::uint64_t size) {
  if (size < bytes_.size()) bytes_.resize(static_cast<std::size_t>(size));
}

std::size_t BlockReader::read(std::span<std::uint8_t> out) {
  while (taken_ == bytes_.size()) {
    bytes_.clear();
    taken_ = 0;
    if (!refill(bytes_)) return 0;
  }
  const std::size_t count = std::min(out.size(), bytes_.size() - taken_);
  if (count > 0) std::memcpy(out.data(), bytes_.data() + taken_, count);
  taken_ += count;
  return count;
}

std::size_t read_fully(ByteReader& reader, std::span<std::uint8_t> out) {
  std::size_t filled = 0;
  while (filled < out.size()) {
    const std::size_t got = reader.read(out.subspan(filled));
    if (got == 0) break;
    filled += got;
  }
  return filled;
}

Bytes read_all(const ByteSource& source) {
  Bytes bytes(static_cast<std::size_t>(source.size()));
  const auto reader = source.open();
  if (read_fully(*reader, bytes) != bytes.size())
    throw Failure(RuntimeError::input_past_end_of_file);
  return bytes;
}

}  // namespace orvane
