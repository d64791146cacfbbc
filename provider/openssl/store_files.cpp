#include "provider/openssl/store_files.h"

#include <fstream>
#include <iterator>
#include <random>

namespace orvane::provider::openssl {
namespace {

namespace fs = std::filesystem;

constexpr auto owner_only_folder = fs::perms::owner_all;
constexpr auto owner_only_file = fs::perms::owner_read | fs::perms::owner_write;
constexpr auto readable_file = owner_only_file | fs::perms::group_read | fs::perms::others_read;

[[noreturn]] void fail(const std::string& what, const fs::path& path, const std::error_code& error,
                       const std::string& remedy) {
  throw StoreError("cannot " + what + " " + path.string() + " (" + error.message() +
                   "): " + remedy);
}

// Creates `folder` if it is missing, owner-only; an existing folder is left as it is.
void ensure_folder(const fs::path& folder) {
  std::error_code error;
  if (fs::is_directory(folder, error)) return;
  if (fs::exists(folder, error)) {
    throw StoreError(folder.string() +
                     " is not a folder: move it away, or choose another store with --store DIR");
  }
  fs::create_directories(folder, error);
  if (!error) fs::permissions(folder, owner_only_folder, error);
  if (error) {
    fail("create the store folder", folder, error,
         "check that its parent folder exists and is yours, or choose another store with "
         "--store DIR");
  }
}

bool holds(const fs::path& path, std::string_view bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  const std::string existing((std::istreambuf_iterator<char>(in)), {});
  return existing == bytes;
}

void write_replacing(const fs::path& target, std::string_view bytes, FileAccess access) {
  std::random_device random;
  // Hidden, and unique to this writer. (Built by appending: GCC 12 at -O3 warns wrongly about
  // a literal joined to a temporary string.)
  std::string name = ".";
  name += target.filename().string();
  name += '.';
  name += std::to_string(random());
  const fs::path temporary = target.parent_path() / name;
  std::error_code error;
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    // Permissions first: a key must never be readable by others, not even for a moment.
    if (out) {
      fs::permissions(temporary, access == FileAccess::owner_only ? owner_only_file : readable_file,
                      error);
    }
    if (out && !error) out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (out) out.close();
    // The stream does not say why; the remedy below covers what usually is.
    if (!out && !error) error = std::make_error_code(std::errc::io_error);
  }
  if (!error) fs::rename(temporary, target, error);
  if (error) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    fail("write", target, error, "check that its folder exists, is yours and has room");
  }
}

}  // namespace

fs::path make_store_folder(const fs::path& store_root, const std::string& name) {
  if (store_root.empty()) {
    throw StoreError("no store folder is known: pass --store DIR or set ORVANE_STORE_DIR");
  }
  ensure_folder(store_root);
  ensure_folder(store_root / name);
  return store_root / name;
}

fs::path write_store_file(const fs::path& folder, const std::string& stem,
                          const std::string& extension, std::string_view bytes, FileAccess access) {
  for (int number = 1;; ++number) {
    std::string name = stem;
    if (number > 1) name += '-' + std::to_string(number);
    const fs::path target = folder / (name + extension);
    std::error_code error;
    if (!fs::exists(target, error)) {
      write_replacing(target, bytes, access);
      return target;
    }
    if (holds(target, bytes)) return target;
  }
}

std::string read_whole_file(const fs::path& path, const std::string& what) {
  std::error_code error;
  if (!fs::is_regular_file(path, error)) {
    throw StoreError(path.string() + " is not a file: check the path of " + what);
  }
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  if (in.bad() || !in.is_open()) {
    throw StoreError("cannot read " + path.string() + ": check that " + what + " is readable");
  }
  return bytes;
}

}  // namespace orvane::provider::openssl
