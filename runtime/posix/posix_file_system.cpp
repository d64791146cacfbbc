// The file system on POSIX: plain system calls, with errno mapped to the runtime's failures.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <random>
#include <string>

#include "runtime/failure.h"
#include "runtime/platform.h"
#include "runtime/posix/file_descriptor.h"

namespace orvane {
namespace {

using posix::FileDescriptor;

std::string native_path(const Text& path) {
  if (path.find(u'\0') != Text::npos) throw Failure(RuntimeError::bad_file_name_or_number);
  return text_to_utf8(path);
}

// A folder to make files in by name, even one that we may search and write but not list.
#ifdef O_PATH
constexpr int folder_flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int folder_flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

std::string parent_of(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool is_folder(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The runtime failure for an errno met while working on `path`.
Failure failure_for(int error, const std::string& path) {
  switch (error) {
    case ENOENT:
      return Failure(is_folder(parent_of(path)) ? RuntimeError::file_not_found
                                                : RuntimeError::path_not_found);
    case ENOTDIR:
      return Failure(RuntimeError::path_not_found);
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
      return Failure(RuntimeError::permission_denied);
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return Failure(RuntimeError::disk_full);
    case EEXIST:
      return Failure(RuntimeError::file_already_exists);
    case EISDIR:
    case EBUSY:
      return Failure(RuntimeError::path_file_access_error);
    case ENAMETOOLONG:
    case EINVAL:
    case ELOOP:
      return Failure(RuntimeError::bad_file_name_or_number);
    default:
      return Failure(RuntimeError::device_io_error);
  }
}

// Writes the whole of `bytes`; `written` counts what reached the file, also when it fails.
void write_all(int fd, ByteView bytes, const std::string& path, std::size_t& written) {
  while (written < bytes.size()) {
    const ssize_t count = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (count < 0) {
      if (errno == EINTR) continue;
      throw failure_for(errno, path);
    }
    written += static_cast<std::size_t>(count);
  }
}

// Cuts off the `count` bytes that a failed append wrote, as on a disk that filled up, so that
// no partial entry stays; but only while they still end the file, so that an entry another
// writer appended since is never touched.
void remove_partial_append(int fd, std::size_t count) {
  const off_t end_of_ours = ::lseek(fd, 0, SEEK_CUR);
  struct stat info {};
  if (count == 0 || end_of_ours < 0 || ::fstat(fd, &info) != 0 || info.st_size != end_of_ours) {
    return;
  }
  [[maybe_unused]] const int ignored = ::ftruncate(fd, end_of_ours - static_cast<off_t>(count));
}

class PosixInputFile final : public InputFile {
 public:
  PosixInputFile(int fd, std::uint64_t size, std::string path)
      : fd_(fd), size_(size), path_(std::move(path)) {}
  std::uint64_t size() const override { return size_; }
  std::size_t read_at(std::uint64_t offset, std::span<std::uint8_t> out) override {
    for (;;) {
      const ssize_t got = ::pread(fd_.get(), out.data(), out.size(), static_cast<off_t>(offset));
      if (got >= 0) return static_cast<std::size_t>(got);
      if (errno != EINTR) throw failure_for(errno, path_);
    }
  }

 private:
  FileDescriptor fd_;
  std::uint64_t size_;
  std::string path_;
};

// The mode a new file gets here: 0666 less the umask. The umask is read without changing it,
// since another thread may create a file meanwhile; only where the system does not show it is
// it set and restored.
mode_t default_new_file_mode() {
  if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
    char line[256];
    unsigned mask = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, status) != nullptr) {
      found = std::sscanf(line, "Umask: %o", &mask) == 1;
    }
    std::fclose(status);
    if (found) return 0666 & ~static_cast<mode_t>(mask);
  }
  const mode_t mask = ::umask(077);
  ::umask(mask);
  return 0666 & ~mask;
}

// Permission bits of the file whose content an output carries, taken when the output is
// opened; owner-only when it cannot be examined.
struct SourceAccess {
  mode_t permissions = 0600;
  gid_t group = static_cast<gid_t>(-1);
};

SourceAccess source_access(const std::string& source) {
  struct stat info {};
  if (::stat(source.c_str(), &info) != 0) return {};
  return {info.st_mode & 0777, info.st_gid};
}

// The final mode of a replacement: like the earlier target when that was a regular file of the
// caller's (not one that another user planted, nor a link), else like a new file; then no
// wider than the content's source. Permission bits only.
mode_t replacement_mode(const std::string& target, int fd,
                        const std::optional<SourceAccess>& source) {
  struct stat existing {};
  mode_t mode = ::lstat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode) &&
                        existing.st_uid == ::geteuid()
                    ? existing.st_mode & 0777
                    : default_new_file_mode();
  if (!source) return mode;
  struct stat own {};
  // Group access means another group's members when the output is not in the source's group.
  const bool same_group = ::fstat(fd, &own) == 0 && own.st_gid == source->group;
  return mode & (0700 | (source->permissions & (same_group ? 0077 : 0007)));
}

// Writes into an owner-only temporary file beside the target and renames it over the target on
// commit. The temporary file is reached through its folder, so that only its own short name
// counts against the system's limits, never a path longer than the target's.
class ReplacingOutputFile final : public OutputFile {
 public:
  ReplacingOutputFile(std::string target, FileDescriptor folder, std::string temporary, int fd,
                      std::optional<SourceAccess> source)
      : target_(std::move(target)),
        folder_(std::move(folder)),
        temporary_(std::move(temporary)),
        fd_(fd),
        source_(source) {}
  ~ReplacingOutputFile() override {
    if (!committed_) {
      fd_.reset();
      ::unlinkat(folder_.get(), temporary_.c_str(), 0);
    }
  }
  void write(ByteView bytes) override {
    std::size_t written = 0;
    write_all(fd_.get(), bytes, target_, written);
  }
  void write_at(std::uint64_t offset, ByteView bytes) override {
    for (std::size_t written = 0; written < bytes.size();) {
      const ssize_t count = ::pwrite(fd_.get(), bytes.data() + written, bytes.size() - written,
                                     static_cast<off_t>(offset + written));
      if (count < 0) {
        if (errno == EINTR) continue;
        throw failure_for(errno, target_);
      }
      written += static_cast<std::size_t>(count);
    }
  }
  std::size_t read_back(std::uint64_t offset, std::span<std::uint8_t> out) override {
    for (;;) {
      const ssize_t got = ::pread(fd_.get(), out.data(), out.size(), static_cast<off_t>(offset));
      if (got >= 0) return static_cast<std::size_t>(got);
      if (errno != EINTR) throw failure_for(errno, target_);
    }
  }
  void truncate(std::uint64_t size) override {
    if (::ftruncate(fd_.get(), static_cast<off_t>(size)) != 0 ||
        ::lseek(fd_.get(), static_cast<off_t>(size), SEEK_SET) < 0) {
      throw failure_for(errno, target_);
    }
  }
  void retarget(const Text& path) override { target_ = native_path(path); }
  void commit() override {
    prepare();
    if (::renameat(folder_.get(), temporary_.c_str(), AT_FDCWD, target_.c_str()) != 0) {
      throw failure_for(errno, target_);
    }
    committed_ = true;
  }
  void commit_as_new() override {
    prepare();
    // In one step, so that a file made meanwhile is never replaced; a file system that cannot
    // rename so takes a second name, which fails as well when the target exists.
#ifdef RENAME_NOREPLACE
    if (::renameat2(folder_.get(), temporary_.c_str(), AT_FDCWD, target_.c_str(),
                    RENAME_NOREPLACE) == 0) {
      committed_ = true;
      return;
    }
    if (errno != EINVAL && errno != ENOSYS) throw failure_for(errno, target_);
#endif
    if (::linkat(folder_.get(), temporary_.c_str(), AT_FDCWD, target_.c_str(), 0) != 0) {
      throw failure_for(errno, target_);
    }
    ::unlinkat(folder_.get(), temporary_.c_str(), 0);
    committed_ = true;
  }

 private:
  void prepare() {
    // Should this fail, the file stays owner-only: the safe side.
    ::fchmod(fd_.get(), replacement_mode(target_, fd_.get(), source_));
    // The data reaches the disk before the name does, so that not even a crash leaves the
    // target empty.
    if (::fdatasync(fd_.get()) != 0 && errno != EINVAL) throw failure_for(errno, target_);
    if (fd_.close() != 0) throw failure_for(errno, target_);
  }

  std::string target_;
  FileDescriptor folder_;
  std::string temporary_;
  FileDescriptor fd_;
  std::optional<SourceAccess> source_;
  bool committed_ = false;
};

// A short name, the same length wherever it is: a name that fits a folder's limit there.
std::string temporary_name() {
  static std::atomic<unsigned> counter{0};
  static const unsigned seed = std::random_device{}();
  char name[32];
  std::snprintf(name, sizeof name, ".orvane-%08x.tmp", seed ^ (counter++ * 2654435761u));
  return name;
}

class PosixFileSystem final : public FileSystem {
 public:
  bool file_exists(const Text& path) override {
    struct stat info {};
    return !path.empty() && ::stat(native_path(path).c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
  }

  bool folder_exists(const Text& path) override {
    return !path.empty() && is_folder(native_path(path));
  }

  void create_folder(const Text& path) override {
    if (path.empty()) throw Failure(RuntimeError::path_not_found);
    const std::string native = native_path(path);
    if (::mkdir(native.c_str(), 0777) != 0) {
      throw errno == ENOENT ? Failure(RuntimeError::path_not_found) : failure_for(errno, native);
    }
  }

  bool same_file(const Text& first, const Text& second) override {
    struct stat a {};
    struct stat b {};
    return !first.empty() && !second.empty() && ::stat(native_path(first).c_str(), &a) == 0 &&
           ::stat(native_path(second).c_str(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
  }

  bool is_alias(const Text& path) override {
    struct stat info {};
    if (path.empty() || ::stat(native_path(path).c_str(), &info) != 0) return false;
    const std::string native = native_path(path);
    const auto slash = native.find_last_of('/');
    const std::string name = slash == std::string::npos ? native : native.substr(slash + 1);
    if (name.empty()) return false;
    // A folder that cannot be listed shows no other name.
    posix::DirectoryStream folder(::opendir(parent_of(native).c_str()));
    if (!folder) return false;
    while (const dirent* entry = ::readdir(folder.get())) {
      if (name == entry->d_name) return false;
    }
    return true;
  }

  std::unique_ptr<InputFile> open_for_reading(const Text& path) override {
    if (path.empty()) throw Failure(RuntimeError::file_not_found);
    const std::string native = native_path(path);
    // Non-blocking, so that a named pipe without a writer cannot hold the call; it is refused
    // below anyway. Reads of a regular file never block.
    FileDescriptor fd(::open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) throw failure_for(errno, native);
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) throw failure_for(errno, native);
    if (S_ISDIR(info.st_mode)) throw Failure(RuntimeError::permission_denied);
    // A pipe or a device has no whole content to read: it may never end.
    if (!S_ISREG(info.st_mode)) throw Failure(RuntimeError::path_file_access_error);
    return std::make_unique<PosixInputFile>(fd.release(), static_cast<std::uint64_t>(info.st_size),
                                            native);
  }

  std::unique_ptr<OutputFile> open_for_replacing(const Text& path,
                                                 const OutputAccess& access) override {
    if (path.empty()) throw Failure(RuntimeError::path_not_found);
    // A folder cannot be replaced: said before anything is written for it.
    if (is_folder(native_path(path))) throw Failure(RuntimeError::path_file_access_error);
    return open_for_output_beside(path, access);
  }

  std::unique_ptr<OutputFile> open_for_output_beside(const Text& path,
                                                     const OutputAccess& access) override {
    if (path.empty()) throw Failure(RuntimeError::path_not_found);
    const std::string native = native_path(path);
    std::optional<SourceAccess> source;
    if (!access.content_source.empty()) source = source_access(native_path(access.content_source));
    FileDescriptor folder(::open(parent_of(native).c_str(), folder_flags));
    if (folder.get() < 0) {
      throw errno == ENOENT ? Failure(RuntimeError::path_not_found) : failure_for(errno, native);
    }
    for (;;) {
      std::string temporary = temporary_name();
      // Owner-only from the start: a reader who opened it now would keep reading what follows.
      // Readable by us, so that what was written can be compared.
      const int fd =
          ::openat(folder.get(), temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
      if (fd >= 0) {
        return std::make_unique<ReplacingOutputFile>(native, std::move(folder),
                                                     std::move(temporary), fd, source);
      }
      if (errno == EEXIST) continue;
      throw failure_for(errno, native);
    }
  }

  void append(const Text& path, ByteView bytes) override {
    if (path.empty()) throw Failure(RuntimeError::path_not_found);
    const std::string native = native_path(path);
    // Another user who can write the folder may have planted a link to a file of the caller's:
    // neither a symbolic link nor a second name of a file is followed.
    FileDescriptor fd(::open(
        native.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW, 0666));
    if (fd.get() < 0) throw failure_for(errno, native);
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) throw failure_for(errno, native);
    if (!S_ISREG(info.st_mode) || info.st_nlink != 1) {
      throw Failure(RuntimeError::path_file_access_error);
    }
    std::size_t written = 0;
    try {
      write_all(fd.get(), bytes, native, written);
    } catch (const Failure&) {
      remove_partial_append(fd.get(), written);
      throw;
    }
    if (fd.close() != 0) throw failure_for(errno, native);
  }
};

}  // namespace

std::shared_ptr<FileSystem> native_file_system() {
  return std::make_shared<PosixFileSystem>();
}

}  // namespace orvane
