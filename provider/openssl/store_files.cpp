#include "provider/openssl/store_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <random>

#include "provider/openssl/store_safety.h"
#include "runtime/posix/file_descriptor.h"

namespace orvane::provider::openssl {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void fail(const std::string& what, const fs::path& path, const std::error_code& error,
                       const std::string& remedy) {
  throw StoreError("cannot " + what + " " + path.string() + " (" + error.message() +
                   "): " + remedy);
}

std::error_code last_error() {
  return {errno, std::generic_category()};
}

const std::string other_store = "or choose another store with --store DIR";

void created_or_there(int result, const fs::path& folder) {
  if (result == 0 || errno == EEXIST) return;
  fail("create the store folder", folder, last_error(),
       "check that its parent folder exists and is yours, " + other_store);
}

// The opened part, or a StoreError that says why it cannot be written into.
void writable_part(const OpenedPart& part, const fs::path& folder) {
  switch (part.state()) {
    case OpenedPart::State::usable:
      return;
    case OpenedPart::State::refused:
      throw StoreError(part.refusal());
    case OpenedPart::State::missing:
    case OpenedPart::State::unreadable:
      break;
  }
  throw StoreError(folder.string() + " is not a folder that you can open: move it away, " +
                   other_store);
}

bool holds(const fs::path& path, std::string_view bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  const std::string existing((std::istreambuf_iterator<char>(in)), {});
  return existing == bytes;
}

}  // namespace

fs::path make_store_folder(const fs::path& store_root, const std::string& name, FolderUse use) {
  if (store_root.empty()) {
    throw StoreError("no store folder is known: pass --store DIR or set ORVANE_STORE_DIR");
  }
  std::error_code error;
  if (store_root.has_parent_path()) fs::create_directories(store_root.parent_path(), error);
  created_or_there(::mkdir(store_root.c_str(), 0700), store_root);
  const OpenedPart root = open_store_root(store_root);
  writable_part(root, store_root);
  const fs::path folder = store_root / name;
  // The umask may only take permissions away from 0700, never add any.
  created_or_there(::mkdirat(root.descriptor(), name.c_str(), 0700), folder);
  const OpenedPart opened = open_store_folder(root, store_root, name);
  writable_part(opened, folder);
  if (use == FolderUse::keys && others_can_look_into(opened)) {
    throw StoreError(folder.string() +
                     " can be read or entered by group or others, so keys imported there would "
                     "not be yours alone: run `chmod 700 " +
                     folder.string() + "`");
  }
  return folder;
}

void replace_store_file(const fs::path& target, std::string_view bytes, FileAccess access) {
  std::random_device random;
  // Hidden, and unique to this writer. (Built by appending: GCC 12 at -O3 warns wrongly about
  // a literal joined to a temporary string.)
  std::string name = ".";
  name += target.filename().string();
  name += '.';
  name += std::to_string(random());
  const fs::path temporary = target.parent_path() / name;
  // Owner-only from its first byte, whatever the umask: a key must never be readable by others,
  // not even for a moment. Only a certificate is opened up, once it is whole.
  posix::FileDescriptor file(
      ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  std::error_code error;
  if (!file.valid()) fail("write", target, last_error(), "check that its folder is yours");
  for (std::size_t written = 0; !error && written < bytes.size();) {
    const ssize_t count = ::write(file.get(), bytes.data() + written, bytes.size() - written);
    if (count < 0 && errno != EINTR) error = last_error();
    if (count > 0) written += static_cast<std::size_t>(count);
  }
  const mode_t mode = access == FileAccess::owner_only ? 0600 : 0644;
  if (!error && ::fchmod(file.get(), mode) != 0) error = last_error();
  if (file.close() != 0 && !error) error = last_error();
  if (!error) fs::rename(temporary, target, error);
  if (error) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    fail("write", target, error, "check that its folder exists, is yours and has room");
  }
}

fs::path write_store_file(const fs::path& folder, const std::string& stem,
                          const std::string& extension, std::string_view bytes, FileAccess access) {
  for (int number = 1;; ++number) {
    std::string name = stem;
    if (number > 1) name += '-' + std::to_string(number);
    const fs::path target = folder / (name + extension);
    std::error_code error;
    if (!fs::exists(target, error)) {
      replace_store_file(target, bytes, access);
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
