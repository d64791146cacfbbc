#include "fuzz/memory_file_system.h"

#include <algorithm>

#include "runtime/failure.h"

namespace orvane::fuzzing {
namespace {

std::size_t read_from(const Bytes& bytes, std::uint64_t offset, std::span<std::uint8_t> out) {
  if (offset >= bytes.size()) return 0;
  const auto count = std::min<std::size_t>(out.size(), bytes.size() - offset);
  std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), count, out.begin());
  return count;
}

class MemoryInputFile final : public InputFile {
 public:
  explicit MemoryInputFile(Bytes bytes) : bytes_(std::move(bytes)) {}
  std::uint64_t size() const override { return bytes_.size(); }
  std::size_t read_at(std::uint64_t offset, std::span<std::uint8_t> out) override {
    return read_from(bytes_, offset, out);
  }

 private:
  Bytes bytes_;
};

class MemoryOutputFile final : public OutputFile {
 public:
  MemoryOutputFile(MemoryFileSystem& files, Text path) : files_(files), path_(std::move(path)) {}
  void write(ByteView bytes) override { written_.write(bytes); }
  void write_at(std::uint64_t offset, ByteView bytes) override { written_.write_at(offset, bytes); }
  void truncate(std::uint64_t size) override { written_.truncate(size); }
  void retarget(const Text& path) override { path_ = path; }
  void commit() override { files_.put_file(path_, written_.bytes()); }
  void commit_as_new() override {
    if (files_.file(path_) != nullptr || files_.folder_exists(path_)) {
      throw Failure(RuntimeError::file_already_exists);
    }
    commit();
  }
  std::size_t read_back(std::uint64_t offset, std::span<std::uint8_t> out) override {
    return read_from(written_.bytes(), offset, out);
  }

 private:
  MemoryFileSystem& files_;
  Text path_;
  MemorySink written_;
};

}  // namespace

void MemoryFileSystem::put_file(const Text& path, ByteView bytes) {
  files_[path] = Bytes(bytes.begin(), bytes.end());
}

void MemoryFileSystem::put_folder(const Text& path) {
  folders_.insert(path);
}

const Bytes* MemoryFileSystem::file(const Text& path) const {
  const auto found = files_.find(path);
  return found == files_.end() ? nullptr : &found->second;
}

bool MemoryFileSystem::file_exists(const Text& path) {
  return files_.contains(path);
}

bool MemoryFileSystem::folder_exists(const Text& path) {
  return !path.empty() && folders_.contains(path);
}

void MemoryFileSystem::require_parent(const Text& path) const {
  const auto slash = path.rfind(u'/');
  const Text parent =
      slash == Text::npos ? Text() : path.substr(0, std::max<std::size_t>(slash, 1));
  if (!folders_.contains(parent)) throw Failure(RuntimeError::path_not_found);
}

void MemoryFileSystem::create_folder(const Text& path) {
  if (path.empty()) throw Failure(RuntimeError::path_not_found);
  if (folders_.contains(path) || files_.contains(path)) {
    throw Failure(RuntimeError::file_already_exists);
  }
  require_parent(path);
  folders_.insert(path);
}

bool MemoryFileSystem::same_file(const Text& first, const Text& second) {
  return first == second && files_.contains(first);
}

bool MemoryFileSystem::is_alias(const Text& /*path*/) {
  return false;
}

std::unique_ptr<InputFile> MemoryFileSystem::open_for_reading(const Text& path) {
  if (folders_.contains(path)) throw Failure(RuntimeError::permission_denied);
  const Bytes* bytes = file(path);
  if (bytes == nullptr) throw Failure(RuntimeError::file_not_found);
  return std::make_unique<MemoryInputFile>(*bytes);
}

std::unique_ptr<OutputFile> MemoryFileSystem::open_for_replacing(const Text& path,
                                                                 const OutputAccess& /*access*/) {
  if (path.empty()) throw Failure(RuntimeError::path_not_found);
  if (folders_.contains(path)) throw Failure(RuntimeError::path_file_access_error);
  return open_for_output_beside(path, {});
}

std::unique_ptr<OutputFile> MemoryFileSystem::open_for_output_beside(
    const Text& path, const OutputAccess& /*access*/) {
  if (path.empty()) throw Failure(RuntimeError::path_not_found);
  require_parent(path);
  return std::make_unique<MemoryOutputFile>(*this, path);
}

void MemoryFileSystem::append(const Text& path, ByteView bytes) {
  if (path.empty()) throw Failure(RuntimeError::path_not_found);
  if (folders_.contains(path)) throw Failure(RuntimeError::path_file_access_error);
  require_parent(path);
  Bytes& file = files_[path];
  file.insert(file.end(), bytes.begin(), bytes.end());
}

}  // namespace orvane::fuzzing
