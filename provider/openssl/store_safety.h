#pragma once

// Which parts of a store may be used. A store root, its folders My/, Root/, CA/ and pins/, and
// its pkcs11.conf decide which keys sign, which roots are trusted and which code is loaded, so
// none of them is used when anyone but the caller (or root) could have changed it: when group
// or others can write it, or another user owns it. Each part is opened once and judged by
// what was opened, never by its path again.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "runtime/posix/file_descriptor.h"

namespace orvane::provider::openssl {

// An open file or folder of the store, closed when this ends.
class OpenedPart {
 public:
  enum class State {
    usable,      // open, and only the caller or root could have changed it
    missing,     // nothing of that name
    refused,     // there, but not used: `refusal` says why
    unreadable,  // there, but cannot be opened (not a folder, no permission)
  };

  OpenedPart() = default;
  OpenedPart(State state, int descriptor, std::filesystem::path path = {}, std::string why = {});

  State state() const { return state_; }
  bool usable() const { return state_ == State::usable; }
  // The descriptor of a usable part, else -1.
  int descriptor() const { return descriptor_.get(); }
  // The part's path; for a part below one that is not usable, that part's.
  const std::filesystem::path& path() const { return path_; }
  // Why a refused part is not used, and what to do.
  const std::string& reason() const { return why_; }
  // The same as one line that names the part.
  std::string refusal() const { return path_.string() + " is not used: " + why_; }

 private:
  State state_ = State::missing;
  posix::FileDescriptor descriptor_;
  std::filesystem::path path_;
  std::string why_;
};

// The store root, following a symbolic link to it (the caller chose the path).
OpenedPart open_store_root(const std::filesystem::path& store_root);

// The folder `name` (My, Root, CA, pins) of an opened `root`, never through a symbolic link.
// A part below a root that is not usable is not usable either.
OpenedPart open_store_folder(const OpenedPart& root, const std::filesystem::path& store_root,
                             const std::string& name);

// What a file of the store is, and so how it is opened and judged.
enum class StoreFileKind {
  entry,    // a certificate or key of a store folder: a symbolic link to it is followed
  setting,  // pkcs11.conf: never through a symbolic link
  secret,   // a PIN file: never through a symbolic link, and the caller's own file (even for
            // root) that group and others have no permission on at all
};

// The regular file `name` of an opened store folder, opened without waiting on a FIFO and
// judged as `kind` says.
OpenedPart open_store_file(const OpenedPart& folder, const std::filesystem::path& folder_path,
                           const std::string& name, StoreFileKind kind);

// Whether group or others may read or enter the opened folder: keys written there would not be
// the user's alone.
bool others_can_look_into(const OpenedPart& folder);

// Whether group or others may read the opened file: a key there is not the user's alone.
bool others_can_read(int descriptor);

// Everything left to read from `descriptor`, or nothing when it cannot be read or holds more
// than `limit` bytes.
std::optional<std::string> read_opened(int descriptor, std::size_t limit);

// As provider::refused_store_parts: the root alone when it is refused, since then nothing
// below it is read.
std::vector<std::string> refused_store_parts(const std::filesystem::path& store_root);

}  // namespace orvane::provider::openssl
