#include "tests/support/temp_folder.h"

#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <type_traits>

namespace orvane::testing {

TempFolder::TempFolder() {
  std::random_device random;
  const auto base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    auto candidate =
        base / ("orvane-test-" + std::to_string(random()) + "-" + std::to_string(random()));
    if (std::filesystem::create_directory(candidate)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

Text TempFolder::text(const std::string& name) const {
  const auto path = name.empty() ? path_ : path_ / name;
  // Windows paths are UTF-16 already; elsewhere they are bytes, taken as UTF-8.
  if constexpr (std::is_same_v<std::filesystem::path::value_type, wchar_t>) {
    return path.u16string();
  } else {
    return text_from_utf8(path.string());
  }
}

void write_file(const std::filesystem::path& path, ByteView bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

void write_file(const std::filesystem::path& path, const std::string& bytes) {
  write_file(path, ByteView(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace orvane::testing
