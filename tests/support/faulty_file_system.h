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
    return real_->open_for_replacing(path);
  }
  void append(const Text& path, ByteView bytes) override {
    appends_.push_back({path, std::string(bytes.begin(), bytes.end())});
    if (append_error_) throw Failure(*append_error_);
    real_->append(path, bytes);
  }

 private:
  std::shared_ptr<FileSystem> real_;
  int file_exists_failures_ = 0;
  RuntimeError file_exists_error_ = RuntimeError::device_io_error;
  std::optional<RuntimeError> append_error_;
  std::vector<Append> appends_;
};

}  // namespace orvane::testing
