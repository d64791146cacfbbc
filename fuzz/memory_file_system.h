#pragma once

#include <map>
#include <set>

#include "runtime/file_system.h"

namespace orvane::fuzzing {

// A file system in memory, so that a fuzz target can hand any bytes to code that reads files,
// and let it write, without touching the disk. Paths are separated by "/"; "" and "/" are
// folders from the start, and a name without "/" lies in "". Failures are the runtime's, as
// the native file system gives them.
class MemoryFileSystem final : public FileSystem {
 public:
  void put_file(const Text& path, ByteView bytes);
  void put_folder(const Text& path);
  // The file's bytes, or null when there is none.
  const Bytes* file(const Text& path) const;
  const std::map<Text, Bytes>& files() const { return files_; }

  bool file_exists(const Text& path) override;
  bool folder_exists(const Text& path) override;
  void create_folder(const Text& path) override;
  bool same_file(const Text& first, const Text& second) override;
  // A name in memory is the one name of its file.
  bool is_alias(const Text& path) override;
  std::unique_ptr<InputFile> open_for_reading(const Text& path) override;
  // Files in memory have no access rules: `access` is not kept.
  std::unique_ptr<OutputFile> open_for_replacing(const Text& path,
                                                 const OutputAccess& access) override;
  std::unique_ptr<OutputFile> open_for_output_beside(const Text& path,
                                                     const OutputAccess& access) override;
  void append(const Text& path, ByteView bytes) override;

 private:
  // Fails with 76 when the folder that would hold `path` is missing.
  void require_parent(const Text& path) const;

  std::map<Text, Bytes> files_;
  std::set<Text> folders_{u"", u"/"};
};

}  // namespace orvane::fuzzing
