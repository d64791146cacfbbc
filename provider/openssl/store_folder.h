#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "provider/openssl/handles.h"
#include "provider/openssl/skipped_file.h"
#include "provider/openssl/stored_key.h"

namespace orvane::provider::openssl {

// What one store folder holds, in store order: by file name (byte order), then by position
// within the file.
struct FolderContents {
  std::vector<X509Ptr> certificates;
  std::vector<std::shared_ptr<const StoredKey>> private_keys;
  // The public key identity (see stored_key.h) of each certificate and each private key, in the
  // same orders: a certificate and a key belong together when they are equal.
  std::vector<std::string> certificate_public_keys;
  std::vector<std::string> private_key_public_keys;
  std::vector<SkippedFile> skipped;
};

// What a reader of a store folder needs.
enum class FolderParts { certificates, certificates_and_keys };

// What store files held when they were last read. A long-lived host reads its stores again for
// every call; with this a file is parsed again only when its size, times, inode or mode changed.
// Safe to share between threads.
class StoreFileCache {
 public:
  StoreFileCache();
  ~StoreFileCache();
  StoreFileCache(const StoreFileCache&) = delete;
  StoreFileCache& operator=(const StoreFileCache&) = delete;

  struct Entries;

 private:
  friend FolderContents load_store_folder(const std::filesystem::path&, FolderParts,
                                          StoreFileCache*);
  std::unique_ptr<Entries> entries_;
};

// Reads every file of `folder`: certificates (PEM or DER), unencrypted PKCS #8 private keys
// (PEM or DER) and PKCS #12 files with an empty password. A file that holds a key but that
// group or others can read is skipped whole. A missing folder is empty; a folder that cannot
// be listed fails with E_ACCESSDENIED. With a `cache`, unchanged files are not parsed again.
FolderContents load_store_folder(const std::filesystem::path& folder, FolderParts parts,
                                 StoreFileCache* cache = nullptr);

// A text that changes whenever a file of `folder` is added, removed or changed (its name, size,
// times, inode or mode), and only then: what a reader of the folder compares to know it may
// keep what it made of the folder last time.
std::string folder_state(const std::filesystem::path& folder);

// Whether anyone but the owner of `path` may read it (or its permissions cannot be read): such a
// file cannot hold a secret of the user's any more.
bool group_or_others_can_read(const std::filesystem::path& path);

}  // namespace orvane::provider::openssl
