#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "provider/openssl/handles.h"
#include "provider/openssl/skipped_file.h"

namespace orvane::provider::openssl {

// What one store folder holds, in store order: by file name (byte order), then by position
// within the file.
struct FolderContents {
  std::vector<X509Ptr> certificates;
  std::vector<EvpPkeyPtr> private_keys;
  std::vector<SkippedFile> skipped;
};

// What a reader of a store folder needs.
enum class FolderParts { certificates, certificates_and_keys };

// Reads every file of `folder`: certificates (PEM or DER), unencrypted PKCS #8 private keys
// (PEM or DER) and PKCS #12 files with an empty password. A file that holds a key but that
// group or others can read is skipped whole. A missing folder is empty; a folder that cannot
// be listed fails with E_ACCESSDENIED.
FolderContents load_store_folder(const std::filesystem::path& folder, FolderParts parts);

// Whether anyone but the owner of `path` may read it (or its permissions cannot be read): such a
// file cannot hold a secret of the user's any more.
bool group_or_others_can_read(const std::filesystem::path& path);

}  // namespace orvane::provider::openssl
