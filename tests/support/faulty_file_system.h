#pragma once

#include <memory>
#include <optional>
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
    return real_->file_exists(path);
  }
  bool folder_exists(const Text& path) override { return real_->folder_exists(path); }
  void create_folder(const Text& path) override { real_->create_folder(path); }
  bool same_file(const Text& first, const Text& second) override {
    return real_->same_file(first, second);
  }
  std::unique_ptr<InputFile> open_for_reading(const Text& path) override {
    return real_->open_for_reading(path);
  }
  std::unique_ptr<OutputFile> open_for_replacing(const Text& path) override {
    auto real = real_->open_for_replacing(path);
    if (!write_error_) return real;
    return std::make_unique<FailingOutputFile>(std::move(real), *write_error_);
  }
  void append(const Text& path, ByteView bytes) override {
    appends_.push_back({path, std::string(bytes.begin(), bytes.end())});
    if (append_error_) throw Failure(*append_error_);
    real_->append(path, bytes);
  }

 private:
  class FailingOutputFile final : public OutputFile {
   public:
    FailingOutputFile(std::unique_ptr<OutputFile> real, RuntimeError error)
        : real_(std::move(real)), error_(error) {}
    void write(ByteView bytes) override {
      real_->write(bytes.first(bytes.size() / 2));
      throw Failure(error_);
    }
    void commit() override { throw Failure(error_); }

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
};

}  // namespace orvane::testing
