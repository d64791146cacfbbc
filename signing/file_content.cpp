#include "signing/file_content.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "runtime/failure.h"

namespace orvane::signing {

// Code units are taken from and written to memory as bytes, low byte first.
static_assert(std::endian::native == std::endian::little);

namespace {

using SharedFile = std::shared_ptr<InputFile>;

// Bytes [begin, end) of a file, then `zeros` zero bytes. A file that got shorter meanwhile fails
// with 62 rather than end early.
class FileRangeReader final : public ByteReader {
 public:
  FileRangeReader(SharedFile file, std::uint64_t begin, std::uint64_t end, std::size_t zeros = 0)
      : file_(std::move(file)), at_(begin), end_(end), zeros_(zeros) {}

  std::size_t read(std::span<std::uint8_t> out) override {
    if (at_ == end_) {
      const std::size_t count = std::min(out.size(), zeros_);
      std::fill_n(out.begin(), count, std::uint8_t{0});
      zeros_ -= count;
      return count;
    }
    const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), end_ - at_));
    const std::size_t got = file_->read_at(at_, out.first(wanted));
    if (got == 0) throw Failure(RuntimeError::input_past_end_of_file);
    at_ += got;
    return got;
  }

 private:
  SharedFile file_;
  std::uint64_t at_;
  std::uint64_t end_;
  std::size_t zeros_;
};

class FileBytes final : public ByteSource {
 public:
  FileBytes(SharedFile file, std::uint64_t begin, std::uint64_t end, std::size_t zeros)
      : file_(std::move(file)), begin_(begin), end_(end), zeros_(zeros) {}
  std::uint64_t size() const override { return end_ - begin_ + zeros_; }
  std::unique_ptr<ByteReader> open() const override {
    return std::make_unique<FileRangeReader>(file_, begin_, end_, zeros_);
  }

 private:
  SharedFile file_;
  std::uint64_t begin_;
  std::uint64_t end_;
  std::size_t zeros_;
};

// A file's text through the code page as code units' bytes, then a trailer's.
class TextFileReader final : public BlockReader {
 public:
  TextFileReader(const SharedFile& file, const CodePage& code_page, TextView trailer)
      : file_(file, 0, file->size()), code_page_(code_page), trailer_(trailer) {}

 private:
  bool refill(Bytes& bytes) override {
    const std::span<std::uint8_t> block = block_.next();
    const std::size_t got = file_.read(block);
    if (got == 0) {
      if (trailer_done_) return false;
      trailer_done_ = true;
      append_units(bytes, trailer_);
      return true;
    }
    units_.resize(got);
    code_page_.decode(ByteView(block.data(), got), units_.data());
    append_units(bytes, units_);
    return true;
  }
  static void append_units(Bytes& bytes, TextView units) {
    if (units.empty()) return;
    const std::size_t start = bytes.size();
    bytes.resize(start + units.size() * 2);
    std::memcpy(bytes.data() + start, units.data(), units.size() * 2);
  }

  FileRangeReader file_;
  const CodePage& code_page_;
  TextView trailer_;
  GrowingBlock<std::uint8_t> block_;
  Text units_;
  bool trailer_done_ = false;
};

class TextFile final : public ByteSource {
 public:
  TextFile(SharedFile file, const CodePage& code_page, Text trailer)
      : file_(std::move(file)), code_page_(code_page), trailer_(std::move(trailer)) {}
  std::uint64_t size() const override { return (file_->size() + trailer_.size()) * 2; }
  std::unique_ptr<ByteReader> open() const override {
    return std::make_unique<TextFileReader>(file_, code_page_, trailer_);
  }

 private:
  SharedFile file_;
  const CodePage& code_page_;
  Text trailer_;
};

// The code units of bytes, two each, low byte first.
class UnitsOfBytes final : public UnitReader {
 public:
  explicit UnitsOfBytes(std::unique_ptr<ByteReader> bytes) : bytes_(std::move(bytes)) {}
  std::size_t read(std::span<char16_t> out) override {
    auto* bytes = reinterpret_cast<std::uint8_t*>(out.data());
    const std::size_t got = read_fully(*bytes_, std::span(bytes, out.size() * 2));
    // An odd last byte is a unit whose high byte is zero.
    if (got % 2 == 1) bytes[got] = 0;
    return (got + 1) / 2;
  }

 private:
  std::unique_ptr<ByteReader> bytes_;
};

// The code units of a file's text through the code page.
class UnitsOfText final : public UnitReader {
 public:
  UnitsOfText(const SharedFile& file, const CodePage& code_page)
      : file_(file, 0, file->size()), code_page_(code_page) {}
  std::size_t read(std::span<char16_t> out) override {
    block_.resize(std::min(out.size(), stream_block_size));
    const std::size_t got = file_.read(block_);
    code_page_.decode(ByteView(block_.data(), got), out.data());
    return got;
  }

 private:
  FileRangeReader file_;
  const CodePage& code_page_;
  Bytes block_;
};

// Which code units of a file read byte-exact are left once the spaces at both ends are trimmed.
struct TrimmedUnits {
  std::uint64_t first = 0;
  std::uint64_t end = 0;
  std::uint64_t count = 0;  // of all the file's units
};

// Fills `block` from `offset`, short only at the end of the file.
void read_block_at(InputFile& file, std::uint64_t offset, Bytes& block) {
  std::size_t filled = 0;
  while (filled < block.size()) {
    const std::size_t got = file.read_at(offset + filled, std::span(block).subspan(filled));
    if (got == 0) break;
    filled += got;
  }
  block.resize(filled);
}

char16_t unit_at(const Bytes& block, std::size_t at) {
  return static_cast<char16_t>(block[at] | (at + 1 < block.size() ? block[at + 1] << 8 : 0));
}

TrimmedUnits trimmed_units(InputFile& file) {
  const std::uint64_t bytes = file.size();
  TrimmedUnits units{0, (bytes + 1) / 2, (bytes + 1) / 2};
  Bytes block(stream_block_size);
  // From the start, then from the end back, a block at a time: nothing of the file is held.
  while (units.first < units.end) {
    const std::uint64_t offset = units.first * 2;
    block.resize(
        static_cast<std::size_t>(std::min<std::uint64_t>(stream_block_size, bytes - offset)));
    read_block_at(file, offset, block);
    if (block.empty()) throw Failure(RuntimeError::input_past_end_of_file);
    std::size_t at = 0;
    while (at < block.size() && unit_at(block, at) == u' ') at += 2;
    units.first += at / 2;
    if (at < block.size()) break;
  }
  while (units.end > units.first) {
    const std::uint64_t back =
        std::min<std::uint64_t>(stream_block_size / 2, units.end - units.first);
    const std::uint64_t offset = (units.end - back) * 2;
    const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(back * 2, bytes - offset));
    block.resize(wanted);
    read_block_at(file, offset, block);
    if (block.size() != wanted) throw Failure(RuntimeError::input_past_end_of_file);
    std::size_t kept = static_cast<std::size_t>(back);
    while (kept > 0 && unit_at(block, (kept - 1) * 2) == u' ') --kept;
    units.end -= back - kept;
    if (kept > 0) break;
  }
  return units;
}

// A stored message file: its code units, trimmed.
class StoredMessageFile final : public provider::MessageText {
 public:
  explicit StoredMessageFile(SharedFile file)
      : file_(std::move(file)), units_(trimmed_units(*file_)) {}
  std::uint64_t size() const override { return units_.end - units_.first; }
  std::unique_ptr<UnitReader> units() const override {
    return std::make_unique<UnitsOfBytes>(unit_bytes());
  }
  std::unique_ptr<ByteReader> unit_bytes() const override { return bytes().open(); }
  std::size_t trimmed_trailing_spaces() const override {
    return static_cast<std::size_t>(units_.count - units_.end);
  }
  // The trimmed units' bytes: a file of odd length ends in the zero byte that fills its last
  // unit, when that unit is kept.
  FileBytes bytes() const {
    const std::uint64_t end = std::min(units_.end * 2, file_->size());
    return FileBytes(file_, units_.first * 2, end, units_.end * 2 > end ? 1 : 0);
  }

 private:
  SharedFile file_;
  TrimmedUnits units_;
};

class TextFileMessage final : public provider::MessageText {
 public:
  TextFileMessage(SharedFile file, const CodePage& code_page)
      : file_(std::move(file)), code_page_(code_page) {}
  std::uint64_t size() const override { return file_->size(); }
  std::unique_ptr<UnitReader> units() const override {
    return std::make_unique<UnitsOfText>(file_, code_page_);
  }
  std::unique_ptr<ByteReader> unit_bytes() const override {
    return std::make_unique<TextFileReader>(file_, code_page_, TextView());
  }

 private:
  SharedFile file_;
  const CodePage& code_page_;
};

SharedFile open_shared(FileSystem& files, const Text& path) {
  return SharedFile(files.open_for_reading(path));
}

}  // namespace

std::shared_ptr<const ByteSource> text_file_content(FileSystem& files, const CodePage& code_page,
                                                    const Text& path, Text trailer) {
  return std::make_shared<TextFile>(open_shared(files, path), code_page, std::move(trailer));
}

std::shared_ptr<const ByteSource> file_bytes_content(FileSystem& files, const Text& path) {
  SharedFile file = open_shared(files, path);
  const std::uint64_t size = file->size();
  return std::make_shared<FileBytes>(std::move(file), 0, size, 0);
}

std::shared_ptr<const ByteSource> legacy_file_content(FileSystem& files, const Text& path) {
  return std::make_shared<FileBytes>(StoredMessageFile(open_shared(files, path)).bytes());
}

std::shared_ptr<const ByteSource> text_content(TextView text) {
  return std::make_shared<MemorySource>(
      ByteView(reinterpret_cast<const std::uint8_t*>(text.data()), text.size() * 2));
}

std::unique_ptr<const provider::MessageText> stored_message_file(FileSystem& files,
                                                                 const Text& path) {
  return std::make_unique<StoredMessageFile>(open_shared(files, path));
}

std::unique_ptr<const provider::MessageText> text_file_message(FileSystem& files,
                                                               const CodePage& code_page,
                                                               const Text& path) {
  return std::make_unique<TextFileMessage>(open_shared(files, path), code_page);
}

}  // namespace orvane::signing
