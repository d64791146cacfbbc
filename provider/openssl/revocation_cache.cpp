#include "provider/openssl/revocation_cache.h"

#include <openssl/evp.h>

#include <cstdio>

#include "provider/openssl/store_files.h"
#include "provider/openssl/store_safety.h"

namespace orvane::provider::openssl {
namespace {

namespace fs = std::filesystem;

constexpr const char* folder_name = "cache";
// Larger than any CRL that a fetch accepts.
constexpr std::size_t entry_limit = 64 * 1024 * 1024;

// A file name for `key` (a URL and what was asked of it) that holds none of its characters.
std::string file_name(const std::string& key) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(key.data(), key.size(), digest, &length, EVP_sha256(), nullptr) != 1) return {};
  std::string name;
  for (unsigned int i = 0; i < length; ++i) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02x", digest[i]);
    name += hex;
  }
  return name + ".der";
}

}  // namespace

RevocationCache::RevocationCache(fs::path store_root) {
  std::error_code error;
  if (!store_root.empty() && fs::is_directory(store_root, error))
    store_root_ = std::move(store_root);
}

bool RevocationCache::present() const {
  std::error_code error;
  return !store_root_.empty() && fs::is_directory(store_root_ / folder_name, error);
}

std::optional<std::string> RevocationCache::read(const std::string& key) const {
  const std::string name = file_name(key);
  if (store_root_.empty() || name.empty()) return std::nullopt;
  const OpenedPart root = open_store_root(store_root_);
  const OpenedPart folder = open_store_folder(root, store_root_, folder_name);
  if (!folder.usable()) return std::nullopt;
  const OpenedPart file =
      open_store_file(folder, store_root_ / folder_name, name, StoreFileKind::entry);
  if (!file.usable()) return std::nullopt;
  return read_opened(file.descriptor(), entry_limit);
}

void RevocationCache::write(const std::string& key, std::string_view bytes) const {
  const std::string name = file_name(key);
  if (store_root_.empty() || name.empty()) return;
  try {
    const fs::path folder = make_store_folder(store_root_, folder_name, FolderUse::certificates);
    replace_store_file(folder / name, bytes, FileAccess::owner_only);
  } catch (const std::exception&) {
    // Not kept: the next verification asks the server again.
  }
}

}  // namespace orvane::provider::openssl
