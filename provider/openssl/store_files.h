#pragma once

// Writing into the file-based stores: owner-only folders and key files, whole-file
// replacement. Free of OpenSSL headers.

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

#include "provider/store_administration.h"

namespace orvane::provider::openssl {

// What a store folder will hold.
enum class FolderUse { certificates, keys };

// The folder `name` below `store_root`, created (with the store root) owner-only when missing.
// Throws StoreError when it cannot be made, when it or the root is one that others could
// change (see store_safety.h), or, for keys, when group or others may read or enter it.
std::filesystem::path make_store_folder(const std::filesystem::path& store_root,
                                        const std::string& name, FolderUse use);

// Who may read a file written into a store.
enum class FileAccess { owner_only, everyone };

// Replaces `target` with a file that holds `bytes`, through a temporary file in its folder that
// is owner-only from its first byte until it is whole. Throws StoreError.
void replace_store_file(const std::filesystem::path& target, std::string_view bytes,
                        FileAccess access);

// Writes `bytes` into `folder` as `stem` + `extension` and returns its path. A file of that
// name that already holds exactly these bytes is kept; one that holds others is never
// replaced: the name takes "-2", "-3", ... instead. The file appears whole or not at all, and
// is owner-only from its first byte until it is whole. Throws StoreError.
std::filesystem::path write_store_file(const std::filesystem::path& folder, const std::string& stem,
                                       const std::string& extension, std::string_view bytes,
                                       FileAccess access);

// The whole file. Throws StoreError, naming `what` ("the PKCS #12 file"), when it cannot be read.
std::string read_whole_file(const std::filesystem::path& path, const std::string& what);

}  // namespace orvane::provider::openssl
