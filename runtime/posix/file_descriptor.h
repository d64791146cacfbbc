#pragma once

// The owners of POSIX file descriptors and directory streams: each closed once, when it goes or
// is reset, on every path.

#include <dirent.h>
#include <unistd.h>

#include <memory>
#include <utility>

namespace orvane::posix {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) noexcept : fd_(fd) {}
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    if (this != &other) reset(std::exchange(other.fd_, -1));
    return *this;
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() { reset(); }

  int get() const noexcept { return fd_; }
  bool valid() const noexcept { return fd_ >= 0; }
  [[nodiscard]] int release() noexcept { return std::exchange(fd_, -1); }
  // Closes now, reporting the error that a deferred write may only show here: 0, or -1 with
  // errno set.
  int close() noexcept {
    const int fd = std::exchange(fd_, -1);
    return fd >= 0 ? ::close(fd) : 0;
  }
  void reset(int fd = -1) noexcept {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_;
};

struct CloseDirectory {
  void operator()(DIR* directory) const noexcept { ::closedir(directory); }
};
// A directory stream; it closes the descriptor it was opened on.
using DirectoryStream = std::unique_ptr<DIR, CloseDirectory>;

}  // namespace orvane::posix
