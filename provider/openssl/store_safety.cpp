#include "provider/openssl/store_safety.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace orvane::provider::openssl {
namespace {

namespace fs = std::filesystem;

// Why someone besides the caller could have changed what a part holds; empty when no one but
// the caller or root could. The one rule of every store part.
std::string others_can_change(const struct stat& info) {
  if (info.st_uid != ::geteuid() && info.st_uid != 0) {
    return "user " + std::to_string(info.st_uid) + " owns it: use a store of your own";
  }
  if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) return "group or others can write it";
  return {};
}

// Why a file cannot hold the caller's secret; empty when it can. Root is no exception here: a
// PIN that another user wrote is theirs to know.
std::string not_the_callers_alone(const struct stat& info) {
  if (info.st_uid != ::geteuid()) {
    return "user " + std::to_string(info.st_uid) + " owns it: it must be your own file";
  }
  if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0) return "group or others have permissions on it";
  return {};
}

OpenedPart refused(const fs::path& path, const std::string& why) {
  return {OpenedPart::State::refused, -1, path, why};
}

OpenedPart failed_to_open(const fs::path& path, int parent, const std::string& name) {
  const int error = errno;
  if (error == ENOENT) return {OpenedPart::State::missing, -1, path};
  struct stat info {};
  if (parent >= 0 && ::fstatat(parent, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
      S_ISLNK(info.st_mode)) {
    return refused(path, "it is a symbolic link: put the folder or file itself there");
  }
  return {OpenedPart::State::unreadable, -1, path};
}

// The opened `descriptor` as a part of the store; closed unless usable.
OpenedPart judged(int descriptor, const fs::path& path, bool regular_file, bool secret) {
  OpenedPart part(OpenedPart::State::usable, descriptor, path);
  struct stat info {};
  if (::fstat(descriptor, &info) != 0) return {OpenedPart::State::unreadable, -1, path};
  if (regular_file && !S_ISREG(info.st_mode)) return refused(path, "it is not a regular file");
  const std::string why = secret ? not_the_callers_alone(info) : others_can_change(info);
  if (why.empty()) return part;
  if (!why.starts_with("group")) return refused(path, why);
  return refused(path, why + " (chmod " + (secret ? "600 " : "go-w ") + path.string() + ")");
}

OpenedPart not_below(const OpenedPart& parent) {
  return {parent.state(), -1, parent.path(), parent.reason()};
}

}  // namespace

OpenedPart::OpenedPart(State state, int descriptor, fs::path path, std::string why)
    : state_(state), descriptor_(descriptor), path_(std::move(path)), why_(std::move(why)) {}

OpenedPart open_store_root(const fs::path& store_root) {
  const int descriptor = ::open(store_root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) return failed_to_open(store_root, -1, {});
  return judged(descriptor, store_root, false, false);
}

OpenedPart open_store_folder(const OpenedPart& root, const fs::path& store_root,
                             const std::string& name) {
  if (!root.usable()) return not_below(root);
  const int descriptor =
      ::openat(root.descriptor(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  const fs::path path = store_root / name;
  if (descriptor < 0) return failed_to_open(path, root.descriptor(), name);
  return judged(descriptor, path, false, false);
}

OpenedPart open_store_file(const OpenedPart& folder, const fs::path& folder_path,
                           const std::string& name, StoreFileKind kind) {
  if (!folder.usable()) return not_below(folder);
  const int links = kind == StoreFileKind::entry ? 0 : O_NOFOLLOW;
  const int descriptor =
      ::openat(folder.descriptor(), name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | links);
  const fs::path path = folder_path / name;
  if (descriptor < 0) return failed_to_open(path, folder.descriptor(), name);
  return judged(descriptor, path, true, kind == StoreFileKind::secret);
}

bool others_can_look_into(const OpenedPart& folder) {
  struct stat info {};
  return ::fstat(folder.descriptor(), &info) != 0 || (info.st_mode & (S_IRWXG | S_IRWXO)) != 0;
}

bool others_can_read(int descriptor) {
  struct stat info {};
  return ::fstat(descriptor, &info) != 0 || (info.st_mode & (S_IRGRP | S_IROTH)) != 0;
}

std::optional<std::string> read_opened(int descriptor, std::size_t limit) {
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const ssize_t count = ::read(descriptor, buffer, sizeof buffer);
    if (count == 0) return bytes;
    if (count < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (bytes.size() + static_cast<std::size_t>(count) > limit) return std::nullopt;
    bytes.append(buffer, static_cast<std::size_t>(count));
  }
}

std::vector<std::string> refused_store_parts(const fs::path& store_root) {
  const OpenedPart root = open_store_root(store_root);
  if (root.state() == OpenedPart::State::refused) return {root.refusal()};
  std::vector<std::string> refusals;
  for (const char* name : {"My", "Root", "CA", "CRL", "cache", "pins"}) {
    const OpenedPart part = open_store_folder(root, store_root, name);
    if (part.state() == OpenedPart::State::refused) refusals.push_back(part.refusal());
  }
  const OpenedPart configuration =
      open_store_file(root, store_root, "pkcs11.conf", StoreFileKind::setting);
  if (configuration.state() == OpenedPart::State::refused) {
    refusals.push_back(configuration.refusal());
  }
  return refusals;
}

}  // namespace orvane::provider::openssl
