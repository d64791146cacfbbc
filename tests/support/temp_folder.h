#pragma once

#include <filesystem>
#include <string>

#include "runtime/bytes.h"
#include "runtime/text.h"

namespace orvane::testing {

// A folder of its own for one test, removed with everything in it at the end.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The path of `name` inside the folder, as the component takes paths.
  Text text(const std::string& name = {}) const;

 private:
  std::filesystem::path path_;
};

void write_file(const std::filesystem::path& path, ByteView bytes);
void write_file(const std::filesystem::path& path, const std::string& bytes);
std::string read_file(const std::filesystem::path& path);

}  // namespace orvane::testing
