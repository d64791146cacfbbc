#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "provider/openssl/handles.h"
#include "provider/openssl/private_key.h"
#include "provider/openssl/revocation_handles.h"
#include "provider/openssl/skipped_file.h"

namespace orvane::provider::openssl {

// What one store folder holds, in store order: by file name (byte order), then by position
// within the file.
struct FolderContents {
  std::vector<X509Ptr> certificates;
  std::vector<std::shared_ptr<const StoredKey>> private_keys;
  // The public key identity (see private_key.h) of each certificate and each private key, in the
  // same orders: a certificate and a key belong together when they are equal.
  std::vector<std::string> certificate_public_keys;
  std::vector<std::string> private_key_public_keys;
  std::vector<SkippedFile> skipped;
  // The CRLs of the folder (PEM or DER), whoever signed them.
  std::vector<X509CrlPtr> crls;
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
  friend FolderContents load_store_folder(const std::filesystem::path&, const std::string&,
                                          FolderParts, StoreFileCache*);
  std::unique_ptr<Entries> entries_;
};

// Reads every file of the folder `name` of `store_root`: certificates and CRLs (PEM or DER),
// unencrypted PKCS #8 private keys (PEM or DER) and PKCS #12 files with an empty password. A
// file that holds a key but that group or others can read is skipped whole, as is one that
// others could change (see store_safety.h). A missing folder is empty, and so is one that
// others could change, or one below such a root; a folder that cannot be listed fails with
// E_ACCESSDENIED. With a `cache`, unchanged files are not parsed again.
FolderContents load_store_folder(const std::filesystem::path& store_root, const std::string& name,
                                 FolderParts parts, StoreFileCache* cache = nullptr);

// A text that changes whenever the store root or its folder `name` changes owner or mode, or a
// file of the folder is added, removed or changed (its name, size, times, inode, owner or
// mode), and only then: what a reader of the folder compares to know it may keep what it made
// of the folder last time.
std::string folder_state(const std::filesystem::path& store_root, const std::string& name);

}  // namespace orvane::provider::openssl
