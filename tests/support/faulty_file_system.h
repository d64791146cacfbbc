#pragma once

#include <algorithm>
#include <filesystem>
#include <limits>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "runtime/failure.h"
#include "runtime/file_system.h"

namespace orvane::testing {

// The native file system, with failures that a real disk does not produce on demand, and a
// record of every append.
class FaultyFileSystem final : public FileSystem {
 public:
  explicit FaultyFileSystem(std::shared_ptr<FileSystem> real) : real_(std::move(real)) {}

  // The next `count` existence checks of files fail with `error`.
  void fail_file_exists(int count, RuntimeError error) {
    file_exists_failures_ = count;
    file_exists_error_ = error;
  }
  // Every append fails with `error`, until cleared with nullopt.
  void fail_appends(std::optional<RuntimeError> error) { append_error_ = error; }
  // Every replacement fails with `error` once it has written half of what it was given, as a
  // disk that fills up does; until cleared with nullopt.
  void fail_writes(std::optional<RuntimeError> error) { write_error_ = error; }

  // Nothing in `folder` can be written any more, as when it became read-only: replacements,
  // appends and new folders there fail with 70. Reading still works.
  void make_read_only(const Text& folder) { read_only_.insert(folder); }
  // The next existence check of `path` answers as the disk does, and then the file is gone, as
  // when another program removes it between the check and the open.
  void vanish_after_check(const Text& path) { vanishing_ = path; }
  // The disk has room for `bytes` more: a replacement writes what fits, then fails with 61; an
  // append that does not fit fails whole, as the native file system leaves it.
  void fill_up_after(std::uint64_t bytes) { room_ = bytes; }
  // Files opened from now on report a size larger than any memory, as a damaged file system may.
  void report_huge_sizes() { huge_sizes_ = true; }
  // `path` names its file through an alias, as an 8.3 short name does on Windows.
  void make_alias(const Text& path) { aliases_.insert(path); }

  struct Append {
    Text path;
    std::string bytes;
  };
  const std::vector<Append>& appends() const { return appends_; }

  bool file_exists(const Text& path) override {
    if (file_exists_failures_ > 0) {
      --file_exists_failures_;
      throw Failure(file_exists_error_);
    }
    const bool exists = real_->file_exists(path);
    if (vanishing_ == path) {
      vanishing_.reset();
      std::filesystem::remove(text_to_utf8(path));
    }
    return exists;
  }
  bool folder_exists(const Text& path) override { return real_->folder_exists(path); }
  void create_folder(const Text& path) override {
    refuse_if_read_only(path);
    real_->create_folder(path);
  }
  bool same_file(const Text& first, const Text& second) override {
    return real_->same_file(first, second);
  }
  bool is_alias(const Text& path) override {
    return aliases_.contains(path) || real_->is_alias(path);
  }
  std::unique_ptr<InputFile> open_for_reading(const Text& path) override {
    auto real = real_->open_for_reading(path);
    if (!huge_sizes_) return real;
    return std::make_unique<HugeInputFile>(std::move(real));
  }
  std::unique_ptr<OutputFile> open_for_replacing(const Text& path,
                                                 const OutputAccess& access) override {
    refuse_if_read_only(path);
    return faulty(real_->open_for_replacing(path, access));
  }
  std::unique_ptr<OutputFile> open_for_output_beside(const Text& path,
                                                     const OutputAccess& access) override {
    refuse_if_read_only(path);
    return faulty(real_->open_for_output_beside(path, access));
  }
  void append(const Text& path, ByteView bytes) override {
    appends_.push_back({path, std::string(bytes.begin(), bytes.end())});
    if (append_error_) throw Failure(*append_error_);
    refuse_if_read_only(path);
    if (room_) {
      if (bytes.size() > *room_) throw Failure(RuntimeError::disk_full);
      *room_ -= bytes.size();
    }
    real_->append(path, bytes);
  }

 private:
  void refuse_if_read_only(const Text& path) const {
    for (const Text& folder : read_only_) {
      if (path.starts_with(folder + u"/")) throw Failure(RuntimeError::permission_denied);
    }
  }

  std::unique_ptr<OutputFile> faulty(std::unique_ptr<OutputFile> real) {
    if (write_error_) return std::make_unique<FailingOutputFile>(std::move(real), *write_error_);
    if (room_) return std::make_unique<FillingOutputFile>(std::move(real), *room_);
    return real;
  }

  class HugeInputFile final : public InputFile {
   public:
    explicit HugeInputFile(std::unique_ptr<InputFile> real) : real_(std::move(real)) {}
    std::uint64_t size() const override { return std::numeric_limits<std::uint64_t>::max() / 2; }
    std::size_t read_at(std::uint64_t offset, std::span<std::uint8_t> out) override {
      return real_->read_at(offset, out);
    }

   private:
    std::unique_ptr<InputFile> real_;
  };

  class FillingOutputFile final : public OutputFile {
   public:
    FillingOutputFile(std::unique_ptr<OutputFile> real, std::uint64_t& room)
        : real_(std::move(real)), room_(room) {}
    void write(ByteView bytes) override {
      const auto fits = static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size(), room_));
      real_->write(bytes.first(fits));
      room_ -= fits;
      if (fits < bytes.size()) throw Failure(RuntimeError::disk_full);
    }
    void write_at(std::uint64_t offset, ByteView bytes) override { real_->write_at(offset, bytes); }
    void truncate(std::uint64_t size) override { real_->truncate(size); }
    void retarget(const Text& path) override { real_->retarget(path); }
    void commit() override { real_->commit(); }
    void commit_as_new() override { real_->commit_as_new(); }
    std::size_t read_back(std::uint64_t offset, std::span<std::uint8_t> out) override {
      return real_->read_back(offset, out);
    }

   private:
    std::unique_ptr<OutputFile> real_;
    std::uint64_t& room_;
  };

  class FailingOutputFile final : public OutputFile {
   public:
    FailingOutputFile(std::unique_ptr<OutputFile> real, RuntimeError error)
        : real_(std::move(real)), error_(error) {}
    void write(ByteView bytes) override {
      real_->write(bytes.first(bytes.size() / 2));
      throw Failure(error_);
    }
    void write_at(std::uint64_t, ByteView) override { throw Failure(error_); }
    void truncate(std::uint64_t) override { throw Failure(error_); }
    void retarget(const Text& path) override { real_->retarget(path); }
    void commit() override { throw Failure(error_); }
    void commit_as_new() override { throw Failure(error_); }
    std::size_t read_back(std::uint64_t offset, std::span<std::uint8_t> out) override {
      return real_->read_back(offset, out);
    }

   private:
    std::unique_ptr<OutputFile> real_;
    RuntimeError error_;
  };

  std::shared_ptr<FileSystem> real_;
  int file_exists_failures_ = 0;
  RuntimeError file_exists_error_ = RuntimeError::device_io_error;
  std::optional<RuntimeError> append_error_;
  std::optional<RuntimeError> write_error_;
  std::vector<Append> appends_;
  std::set<Text> read_only_;
  std::set<Text> aliases_;
  std::optional<Text> vanishing_;
  std::optional<std::uint64_t> room_;
  bool huge_sizes_ = false;
};

}  // namespace orvane::testing
