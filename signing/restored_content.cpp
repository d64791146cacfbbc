#include "signing/restored_content.h"

#include <algorithm>
#include <cstring>

#include "signing/envelope.h"

namespace orvane::signing {
namespace {

// The units the envelope's split looks at: its extension field as a writer of paths makes it
// (up to the longest path Windows takes), and the length's digits.
constexpr std::size_t tail_units = 32 * 1024 + 64;

// Whether one of the four code units in `word` is `unit`.
bool holds_unit(std::uint64_t word, char16_t unit) {
  constexpr std::uint64_t ones = 0x0001000100010001;
  const std::uint64_t x = word ^ (ones * unit);
  return ((x - ones) & ~x & (ones << 15)) != 0;
}

}  // namespace

RestoredContent::RestoredContent(const Platform& platform, Text base, Text message_file,
                                 bool two_bytes, ExistingFile existing)
    : platform_(platform),
      base_(std::move(base)),
      message_file_(std::move(message_file)),
      two_bytes_(two_bytes),
      existing_(existing) {}

void RestoredContent::restart() {
  output_.reset();
  failure_.reset();
  odd_byte_.reset();
  tail_.clear();
  length_ = 0;
  dot_seen_ = false;
  separator_after_dot_ = false;
  first_wide_.reset();
}

void RestoredContent::keep_failure() {
  if (!failure_) failure_ = current_failure();
  output_.reset();
}

void RestoredContent::write(ByteView bytes) {
  // Bytes come in pairs, low byte first, as code units; a pair may span two writes.
  units_.clear();
  if (odd_byte_ && !bytes.empty()) {
    units_.push_back(static_cast<char16_t>(*odd_byte_ | bytes.front() << 8));
    odd_byte_.reset();
    bytes = bytes.subspan(1);
  }
  const std::size_t start = units_.size();
  units_.resize(start + bytes.size() / 2);
  if (bytes.size() >= 2) std::memcpy(units_.data() + start, bytes.data(), bytes.size() / 2 * 2);
  if (bytes.size() % 2 == 1) odd_byte_ = bytes.back();
  write_units(units_);
}

void RestoredContent::write_units(TextView units) {
  follow_envelope_end(units);
  const std::uint64_t at = length_;
  length_ += units.size();
  if (failure_) return;
  try {
    write_out(units, at);
  } catch (...) {
    keep_failure();
  }
}

void RestoredContent::follow_envelope_end(TextView units) {
  // Where the block's last "." and last path separator are: only what follows the last "." can
  // still be the extension field. Four units at a time, most of which hold neither.
  std::ptrdiff_t dot = -1;
  std::ptrdiff_t separator = -1;
  const auto note = [&](std::size_t i) {
    const char16_t c = units[i];
    if (c == u'.') dot = static_cast<std::ptrdiff_t>(i);
    if (c == u'/' || c == u'\\') separator = static_cast<std::ptrdiff_t>(i);
  };
  std::size_t i = 0;
  for (; i + 4 <= units.size(); i += 4) {
    std::uint64_t word;
    std::memcpy(&word, units.data() + i, sizeof word);
    if (holds_unit(word, u'.') || holds_unit(word, u'/') || holds_unit(word, u'\\')) {
      for (std::size_t j = i; j < i + 4; ++j) note(j);
    }
  }
  for (; i < units.size(); ++i) note(i);
  if (dot >= 0) {
    dot_seen_ = true;
    last_dot_ = length_ + static_cast<std::uint64_t>(dot);
    separator_after_dot_ = false;
  }
  if (separator > dot) separator_after_dot_ = true;
  if (units.size() >= tail_units) {
    tail_.assign(units.substr(units.size() - tail_units));
  } else {
    tail_.insert(tail_.end(), units.begin(), units.end());
    if (tail_.size() > 2 * tail_units) tail_.erase(0, tail_.size() - tail_units);
  }
}

void RestoredContent::write_out(TextView units, std::uint64_t at) {
  if (!output_) {
    output_ = platform_.files->open_for_output_beside(
        base_, {.content_source = message_file_, .origin = message_file_});
  }
  if (two_bytes_) {
    output_->write(ByteView(reinterpret_cast<const std::uint8_t*>(units.data()), units.size() * 2));
    return;
  }
  encoded_.resize(units.size());
  if (platform_.code_page->encode(units, encoded_.data(), '?') != 0 && !first_wide_) {
    for (std::size_t i = 0; i < units.size(); ++i) {
      std::uint8_t byte = 0;
      if (platform_.code_page->encode(units.substr(i, 1), &byte, '?') != 0) {
        first_wide_ = at + i;
        break;
      }
    }
  }
  output_->write(encoded_);
}

void RestoredContent::finish() {
  if (odd_byte_) {
    // An odd last byte is a code unit whose high byte is zero.
    const char16_t last = *odd_byte_;
    odd_byte_.reset();
    write_units(TextView(&last, 1));
  }
  const EnvelopeEnd end =
      split_envelope_end(tail_, length_, dot_seen_ ? last_dot_ : ~std::uint64_t{0});
  text_length_ = end.text_length;
  if (end.extension) {
    extension_ = Text(*end.extension);
  } else if (separator_after_dot_) {
    // The writer met a dot in a folder name: no extension.
    extension_ = u"/";
  } else {
    // An extension of tens of thousands of characters: no file system takes such a name.
    throw Failure(RuntimeError::invalid_procedure_call);
  }
  if (failure_ || needs_two_bytes()) return;
  try {
    output_->truncate(two_bytes_ ? text_length_ * 2 : text_length_);
  } catch (...) {
    keep_failure();
  }
}

bool RestoredContent::needs_two_bytes() const {
  return !two_bytes_ && first_wide_ && *first_wide_ < text_length_;
}

bool RestoredContent::holds_restored_bytes(const Text& path) const {
  try {
    const auto existing = platform_.files->open_for_reading(path);
    if (existing->size() != (two_bytes_ ? text_length_ * 2 : text_length_)) return false;
    // Block by block, so that a large file is never held whole.
    constexpr std::size_t block = 64 * 1024;
    Bytes ours(block);
    Bytes theirs(block);
    for (std::uint64_t at = 0; at < existing->size();) {
      const std::size_t wanted =
          static_cast<std::size_t>(std::min<std::uint64_t>(block, existing->size() - at));
      for (std::size_t got = 0, more = 0; got < wanted; got += more) {
        more = output_->read_back(at + got, std::span(ours).subspan(got, wanted - got));
        if (more == 0) return false;
      }
      for (std::size_t got = 0, more = 0; got < wanted; got += more) {
        more = existing->read_at(at + got, std::span(theirs).subspan(got, wanted - got));
        if (more == 0) return false;
      }
      if (std::memcmp(ours.data(), theirs.data(), wanted) != 0) return false;
      at += wanted;
    }
    return true;
  } catch (const Failure&) {
    // What cannot be read is not known to be ours.
    return false;
  }
}

void RestoredContent::commit(const Text& output_name) {
  FileSystem& files = *platform_.files;
  if (files.same_file(output_name, message_file_)) {
    throw Failure(RuntimeError::path_file_access_error);
  }
  // The signer named 'QUARTE~1.PDF', not 'Quarterly board report.pdf', which that alias opens.
  if (files.is_alias(output_name)) throw Failure(RuntimeError::file_already_exists);
  if (failure_) throw *failure_;
  output_->retarget(output_name);
  if (existing_ == ExistingFile::replace) {
    output_->commit();
  } else if (!files.file_exists(output_name)) {
    // Not over a file made since it was looked for, either.
    output_->commit_as_new();
  } else if (!holds_restored_bytes(output_name)) {
    throw Failure(RuntimeError::file_already_exists);
  }
  // Otherwise restored before: verifying the same message again is no failure.
  output_.reset();
}

}  // namespace orvane::signing
