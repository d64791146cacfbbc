// The file system on Windows: the wide-character API for every path, with the system's error
// codes mapped to the runtime's failures as errno is on POSIX.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "runtime/failure.h"
#include "runtime/platform.h"
#include "runtime/windows/device_paths.h"
#include "runtime/windows/file_errors.h"
#include "runtime/windows/file_security.h"
#include "runtime/windows/owned.h"
#include "runtime/windows/wide_text.h"

namespace orvane {
namespace {

using windows::failure_for;
using windows::last_failure;
using windows::UniqueHandle;
using windows::wide;

constexpr DWORD share_all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Refuses a path that cannot name a file: one with a NUL (the system would read only up to
// it) or one that names a device rather than a file on a disk.
void check_path(const Text& path) {
  if (path.find(u'\0') != Text::npos) throw Failure(RuntimeError::bad_file_name_or_number);
  if (windows::is_device_path(path)) throw Failure(RuntimeError::path_file_access_error);
}

// The path as the system takes it past MAX_PATH: in the \\?\ form, which the system does not
// normalise further, so made from the full path that the plain form would have opened. Shorter
// paths go as the caller wrote them.
Text system_path(const Text& path) {
  // Below this the plain form reaches every call, CreateDirectoryW's shorter limit included.
  constexpr std::size_t plain_limit = MAX_PATH - 12;
  if (path.starts_with(u"\\\\?\\")) return path;
  std::vector<wchar_t> full(path.size() + MAX_PATH);
  DWORD length =
      ::GetFullPathNameW(wide(path), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (length >= full.size()) {
    full.resize(length + 1);
    length = ::GetFullPathNameW(wide(path), length + 1, full.data(), nullptr);
  }
  if (length == 0 || length >= full.size() || length < plain_limit) return path;
  const Text whole = windows::text_from_wide(full.data(), length);
  if (whole.starts_with(u"\\\\")) return u"\\\\?\\UNC\\" + whole.substr(2);
  return u"\\\\?\\" + whole;
}

DWORD attributes_of(const Text& path) {
  return path.empty() || path.find(u'\0') != Text::npos || windows::is_device_path(path)
             ? INVALID_FILE_ATTRIBUTES
             : ::GetFileAttributesW(wide(system_path(path)));
}

bool is_folder(const Text& path) {
  const DWORD attributes = attributes_of(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Whatever the name said, what was opened must be a file on a disk: not a pipe, a console or
// a character device, which may never end or may wait for a writer.
void require_disk_file(HANDLE handle) {
  if (::GetFileType(handle) != FILE_TYPE_DISK) throw Failure(RuntimeError::path_file_access_error);
}

class WindowsInputFile final : public InputFile {
 public:
  WindowsInputFile(UniqueHandle handle, std::uint64_t size)
      : handle_(std::move(handle)), size_(size) {}
  std::uint64_t size() const override { return size_; }
  std::size_t read_at(std::uint64_t offset, std::span<std::uint8_t> out) override {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(out.size(), 1u << 30));
    DWORD got = 0;
    if (!::ReadFile(handle_.get(), out.data(), wanted, &got, &at)) {
      if (::GetLastError() == ERROR_HANDLE_EOF) return 0;
      throw last_failure();
    }
    return got;
  }

 private:
  UniqueHandle handle_;
  std::uint64_t size_;
};

// Copies the Mark of the Web of `origin` (its Zone.Identifier stream) onto the file of
// `handle`, whose path is `path`, when `origin` has one. A volume that holds no named streams
// (FAT, and Wine's, which would make a file of the stream's name beside it) cannot carry it:
// the file goes without, as it does when Windows copies a marked file there.
void copy_mark_of_the_web(const Text& origin, HANDLE handle, const Text& path) {
  DWORD volume_flags = 0;
  if (!::GetVolumeInformationByHandleW(handle, nullptr, 0, nullptr, nullptr, &volume_flags, nullptr,
                                       0) ||
      (volume_flags & FILE_NAMED_STREAMS) == 0) {
    return;
  }
  constexpr std::u16string_view stream = u":Zone.Identifier";
  UniqueHandle mark(::CreateFileW(wide(system_path(origin + Text(stream))), GENERIC_READ, share_all,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!mark.valid()) {
    const DWORD error = ::GetLastError();
    // No mark, or a file on a volume without streams: nothing to carry.
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_INVALID_NAME ||
        error == ERROR_INVALID_PARAMETER) {
      return;
    }
    throw failure_for(error);
  }
  UniqueHandle copy(::CreateFileW(wide(system_path(path + Text(stream))), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!copy.valid()) throw last_failure();
  std::uint8_t block[4096];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(mark.get(), block, sizeof block, &got, nullptr)) throw last_failure();
    if (got == 0) break;
    DWORD written = 0;
    if (!::WriteFile(copy.get(), block, got, &written, nullptr) || written != got) {
      throw last_failure();
    }
  }
  if (!copy.close()) throw last_failure();
}

// Writes into a temporary file beside the target and moves it over the target on commit.
class ReplacingOutputFile final : public OutputFile {
 public:
  ReplacingOutputFile(Text target, Text temporary, UniqueHandle handle, bool carries_content,
                      Text origin)
      : target_(std::move(target)),
        temporary_(std::move(temporary)),
        handle_(std::move(handle)),
        carries_content_(carries_content),
        origin_(std::move(origin)) {}
  ~ReplacingOutputFile() override {
    if (!committed_) {
      handle_.close();
      ::DeleteFileW(wide(temporary_));
    }
  }
  void write(ByteView bytes) override {
    while (!bytes.empty()) {
      const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
      DWORD written = 0;
      if (!::WriteFile(handle_.get(), bytes.data(), piece, &written, nullptr)) throw last_failure();
      bytes = bytes.subspan(written);
    }
  }
  void write_at(std::uint64_t offset, ByteView bytes) override {
    move_to(offset, FILE_BEGIN);
    write(bytes);
    // Later writes follow what was written before, as ever.
    move_to(0, FILE_END);
  }
  std::size_t read_back(std::uint64_t offset, std::span<std::uint8_t> out) override {
    move_to(offset, FILE_BEGIN);
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(out.size(), 1u << 30));
    DWORD got = 0;
    const bool read = ::ReadFile(handle_.get(), out.data(), wanted, &got, nullptr);
    move_to(0, FILE_END);
    if (!read) throw last_failure();
    return got;
  }
  void truncate(std::uint64_t size) override {
    move_to(size, FILE_BEGIN);
    if (!::SetEndOfFile(handle_.get())) throw last_failure();
  }
  void retarget(const Text& path) override { target_ = system_path(path); }
  void commit() override { move_into_place(MOVEFILE_REPLACE_EXISTING); }
  // Without MOVEFILE_REPLACE_EXISTING the move fails when the target exists, in one step.
  void commit_as_new() override { move_into_place(0); }

 private:
  void move_to(std::uint64_t offset, DWORD from) {
    LARGE_INTEGER distance{};
    distance.QuadPart = static_cast<LONGLONG>(offset);
    if (!::SetFilePointerEx(handle_.get(), distance, nullptr, from)) throw last_failure();
  }
  void move_into_place(DWORD replace) {
    if (!carries_content_) windows::copy_access_of_own_file(target_, handle_.get());
    // Into the temporary file, so that the file never has its name without its mark.
    if (!origin_.empty()) copy_mark_of_the_web(origin_, handle_.get(), temporary_);
    // The data reaches the disk before the name does, so that not even a crash leaves the
    // target empty; the move itself is written through before it returns.
    if (!::FlushFileBuffers(handle_.get())) throw last_failure();
    if (!handle_.close()) throw last_failure();
    if (!::MoveFileExW(wide(temporary_), wide(target_), replace | MOVEFILE_WRITE_THROUGH)) {
      throw last_failure();
    }
    committed_ = true;
  }

  Text target_;
  Text temporary_;
  UniqueHandle handle_;
  bool carries_content_;
  Text origin_;
  bool committed_ = false;
};

// A short name, the same length wherever it is: a path is limited (MAX_PATH, or the \\?\ form's
// 32,767 characters), and the temporary name must fit wherever the target does.
Text temporary_name_beside(const Text& target) {
  static std::atomic<unsigned> counter{0};
  static const unsigned seed = std::random_device{}();
  const auto separator = target.find_last_of(u"\\/");
  const Text folder = separator == Text::npos ? Text() : target.substr(0, separator + 1);
  char name[32];
  std::snprintf(name, sizeof name, ".orv%08x.tmp",
                seed ^ (counter++ * 2654435761u) ^ static_cast<unsigned>(::GetCurrentProcessId()));
  return folder + text_from_ascii(name);
}

class WindowsFileSystem final : public FileSystem {
 public:
  bool file_exists(const Text& path) override {
    const DWORD attributes = attributes_of(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  }

  bool folder_exists(const Text& path) override { return is_folder(path); }

  void create_folder(const Text& path) override {
    if (path.empty()) throw Failure(RuntimeError::path_not_found);
    check_path(path);
    if (!::CreateDirectoryW(wide(system_path(path)), nullptr)) throw last_failure();
  }

  bool same_file(const Text& first, const Text& second) override {
    BY_HANDLE_FILE_INFORMATION a{};
    BY_HANDLE_FILE_INFORMATION b{};
    return identify(first, a) && identify(second, b) &&
           a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
  }

  bool is_alias(const Text& path) override {
    if (path.empty() || path.find(u'\0') != Text::npos || windows::is_device_path(path)) {
      return false;
    }
    const auto separator = path.find_last_of(u"\\/");
    const Text name = separator == Text::npos ? path : path.substr(separator + 1);
    // Wildcards would find some other file; no file is named so.
    if (name.empty() || name.find_first_of(u"*?") != Text::npos) return false;
    // The system finds the file by its short name as by its long one, and names it by the name
    // its folder holds: the long one.
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW(wide(system_path(path)), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    ::FindClose(search);
    return ::CompareStringOrdinal(wide(name), static_cast<int>(name.size()), found.cFileName, -1,
                                  TRUE) != CSTR_EQUAL;
  }

  std::unique_ptr<InputFile> open_for_reading(const Text& path) override {
    if (path.empty()) throw Failure(RuntimeError::file_not_found);
    check_path(path);
    // Others may go on reading, writing and renaming the file while it is read, as on POSIX.
    // A folder cannot be opened this way: that fails as "access denied", as it does on POSIX.
    UniqueHandle handle(::CreateFileW(wide(system_path(path)), GENERIC_READ, share_all, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle.valid()) throw last_failure();
    require_disk_file(handle.get());
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(handle.get(), &size)) throw last_failure();
    return std::make_unique<WindowsInputFile>(std::move(handle),
                                              static_cast<std::uint64_t>(size.QuadPart));
  }

  // Who may read the result, as Windows can say it. While it is written nobody else can open
  // it at all (no sharing). An output without a content source gets a new file's access (the
  // folder's defaults), or at commit the earlier target's when that was the caller's own file.
  // One that carries another file's content is the caller's alone: "no wider than the source"
  // has no sound general answer between two access lists, and owner-only is never wider.
  std::unique_ptr<OutputFile> open_for_replacing(const Text& path,
                                                 const OutputAccess& access) override {
    if (path.empty()) throw Failure(RuntimeError::path_not_found);
    check_path(path);
    // A folder cannot be replaced: said before anything is written for it.
    if (is_folder(path)) throw Failure(RuntimeError::path_file_access_error);
    return open_for_output_beside(path, access);
  }

  std::unique_ptr<OutputFile> open_for_output_beside(const Text& path,
                                                     const OutputAccess& access) override {
    if (path.empty()) throw Failure(RuntimeError::path_not_found);
    check_path(path);
    const bool carries_content = !access.content_source.empty();
    std::vector<std::uint8_t> owner_only;
    if (carries_content) {
      owner_only = windows::owner_only_security();
      if (owner_only.empty()) throw Failure(RuntimeError::permission_denied);
    }
    SECURITY_ATTRIBUTES security{sizeof(SECURITY_ATTRIBUTES), owner_only.data(), FALSE};
    const Text target = system_path(path);
    for (;;) {
      Text temporary = temporary_name_beside(target);
      // Readable by us, so that what was written can be compared.
      UniqueHandle handle(::CreateFileW(wide(temporary), GENERIC_READ | GENERIC_WRITE | WRITE_DAC,
                                        0, carries_content ? &security : nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
      if (handle.valid()) {
        return std::make_unique<ReplacingOutputFile>(
            target, std::move(temporary), std::move(handle), carries_content, access.origin);
      }
      const DWORD error = ::GetLastError();
      if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) throw failure_for(error);
    }
  }

  void append(const Text& path, ByteView bytes) override {
    if (path.empty()) throw Failure(RuntimeError::path_not_found);
    check_path(path);
    if (bytes.size() > MAXDWORD) throw Failure(RuntimeError::invalid_procedure_call);
    // Append data only, no right to write elsewhere: every write lands at the end of the file
    // as it then is, whoever else appends. The link itself is opened, never what it points to,
    // so that a planted link cannot send the entries into another file.
    UniqueHandle handle(::CreateFileW(
        wide(system_path(path)), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, share_all, nullptr,
        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!handle.valid()) throw last_failure();
    require_disk_file(handle.get());
    BY_HANDLE_FILE_INFORMATION information{};
    if (!::GetFileInformationByHandle(handle.get(), &information)) throw last_failure();
    // A link (symbolic link, junction, any reparse point) or a second name of another file
    // (a hard link) is not a log of our own.
    if ((information.dwFileAttributes &
         (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0 ||
        information.nNumberOfLinks != 1) {
      throw Failure(RuntimeError::path_file_access_error);
    }
    // One write: a disk that is full refuses it whole, before any byte is written.
    DWORD written = 0;
    if (!::WriteFile(handle.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr)) {
      throw last_failure();
    }
    if (written != bytes.size()) throw Failure(RuntimeError::disk_full);
    if (!handle.close()) throw last_failure();
  }

 private:
  // The volume and file index of what `path` names, file or folder; false when it names none.
  static bool identify(const Text& path, BY_HANDLE_FILE_INFORMATION& information) {
    if (path.empty() || path.find(u'\0') != Text::npos || windows::is_device_path(path)) {
      return false;
    }
    UniqueHandle handle(::CreateFileW(wide(system_path(path)), FILE_READ_ATTRIBUTES, share_all,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return handle.valid() && ::GetFileInformationByHandle(handle.get(), &information);
  }
};

}  // namespace

std::shared_ptr<FileSystem> native_file_system() {
  return std::make_shared<WindowsFileSystem>();
}

}  // namespace orvane
