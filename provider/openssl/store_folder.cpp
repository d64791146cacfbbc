#include "provider/openssl/store_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <iterator>
#include <mutex>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "provider/crypt_error.h"
#include "provider/openssl/pem_text.h"
#include "provider/openssl/pkcs12_iterations.h"
#include "provider/openssl/private_key.h"
#include "provider/openssl/store_safety.h"
#include "runtime/posix/file_descriptor.h"

namespace orvane::provider::openssl {
namespace {

namespace fs = std::filesystem;

// What one file yielded.
struct FileObjects {
  // Whether keys are wanted: turning PKCS #8 into a key is the slow part of reading a store.
  bool read_keys = true;
  std::vector<X509Ptr> certificates;
  std::vector<std::string> certificate_public_keys;
  std::vector<std::shared_ptr<const StoredKey>> private_keys;
  std::vector<std::string> private_key_public_keys;
  std::vector<std::string> problems;
  std::vector<X509CrlPtr> crls;

  void add_certificate(X509Ptr certificate) {
    certificate_public_keys.push_back(public_key_identity(X509_get_X509_PUBKEY(certificate.get())));
    certificates.push_back(std::move(certificate));
  }
  // A private key or a PKCS #12 file, readable or not: what makes permissions matter.
  bool holds_key_material = false;
};

// The whole object at `data`, or nothing when it is not one DER certificate.
X509Ptr certificate_from_der(const unsigned char* data, long length) {
  const unsigned char* cursor = data;
  X509Ptr certificate(d2i_X509(nullptr, &cursor, length));
  return certificate && cursor == data + length ? std::move(certificate) : nullptr;
}

// The whole object at `data`, or nothing when it is not one DER CRL.
X509CrlPtr crl_from_der(const unsigned char* data, long length) {
  const unsigned char* cursor = data;
  X509CrlPtr crl(d2i_X509_CRL(nullptr, &cursor, length));
  return crl && cursor == data + length ? std::move(crl) : nullptr;
}

// The whole object at `data`, or nothing when it is not one unencrypted DER PKCS #8 key.
Pkcs8Ptr pkcs8_from_der(const unsigned char* data, long length) {
  const unsigned char* cursor = data;
  Pkcs8Ptr info(d2i_PKCS8_PRIV_KEY_INFO(nullptr, &cursor, length));
  return info && cursor == data + length ? std::move(info) : nullptr;
}

// Keeps the key encoded: only a signature decodes it.
void add_key(const unsigned char* der, long length, FileObjects& out) {
  out.holds_key_material = true;
  if (!out.read_keys) return;
  const Pkcs8Ptr info = pkcs8_from_der(der, length);
  std::string identity = info ? public_key_identity(info.get()) : std::string();
  if (identity.empty()) {
    out.problems.push_back("a damaged private key");
    return;
  }
  out.private_key_public_keys.push_back(std::move(identity));
  out.private_keys.push_back(std::make_shared<const StoredKey>(
      std::string(reinterpret_cast<const char*>(der), static_cast<std::size_t>(length))));
}

void read_pem(const std::string& bytes, FileObjects& out) {
  for_each_pem_block(bytes, [&out](const PemBlock& block) {
    const std::string_view kind(block.label);
    if (kind == "CERTIFICATE" || kind == "X509 CERTIFICATE") {
      if (auto certificate = certificate_from_der(block.data, block.length)) {
        out.add_certificate(std::move(certificate));
      } else {
        out.problems.push_back("a damaged certificate");
      }
    } else if (kind == "X509 CRL") {
      if (auto crl = crl_from_der(block.data, block.length)) {
        out.crls.push_back(std::move(crl));
      } else {
        out.problems.push_back("a damaged CRL");
      }
    } else if (kind == "PRIVATE KEY") {
      add_key(block.data, block.length, out);
    } else if (kind == "ENCRYPTED PRIVATE KEY") {
      out.holds_key_material = true;
      out.problems.push_back("an encrypted private key, which the store cannot open");
    }
  });
}

void read_pkcs12(PKCS12* pkcs12, FileObjects& out) {
  out.holds_key_material = true;
  EVP_PKEY* key = nullptr;
  X509* certificate = nullptr;
  STACK_OF(X509)* authorities = nullptr;
  if (!pkcs12_iterations_bounded(pkcs12, "")) {
    out.problems.push_back("a PKCS #12 file that asks for too many iterations of its password");
    return;
  }
  if (PKCS12_parse(pkcs12, "", &key, &certificate, &authorities) != 1) {
    out.problems.push_back("a PKCS #12 file that needs a password");
    return;
  }
  EvpPkeyPtr owned_key(key);
  X509Ptr owned_certificate(certificate);
  const X509StackPtr owned_authorities(authorities);
  if (owned_key && out.read_keys) {
    out.private_key_public_keys.push_back(public_key_identity(owned_key.get()));
    out.private_keys.push_back(std::make_shared<const StoredKey>(std::move(owned_key)));
  }
  if (owned_certificate) out.add_certificate(std::move(owned_certificate));
  for (int i = 0; i < sk_X509_num(authorities); ++i) {
    out.add_certificate(share(sk_X509_value(authorities, i)));
  }
}

void read_der(const std::string& bytes, FileObjects& out) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto length = static_cast<long>(bytes.size());
  if (auto certificate = certificate_from_der(data, length)) {
    out.add_certificate(std::move(certificate));
  } else if (pkcs8_from_der(data, length)) {
    add_key(data, length, out);
  } else if (auto crl = crl_from_der(data, length)) {
    out.crls.push_back(std::move(crl));
  } else {
    const unsigned char* cursor = data;
    const Pkcs12Ptr pkcs12(d2i_PKCS12(nullptr, &cursor, length));
    if (pkcs12) {
      read_pkcs12(pkcs12.get(), out);
    } else {
      out.problems.push_back("neither a certificate, a private key nor a PKCS #12 file");
    }
  }
  ERR_clear_error();
}

FileObjects read_store_file(int descriptor, bool read_keys) {
  FileObjects objects;
  objects.read_keys = read_keys;
  const auto bytes = read_opened(descriptor, static_cast<std::size_t>(INT_MAX));
  if (!bytes) {
    objects.problems.push_back("cannot be read");
  } else if (bytes->find("-----BEGIN ") != std::string::npos) {
    read_pem(*bytes, objects);
  } else {
    read_der(*bytes, objects);
  }
  return objects;
}

// The names of the regular files of the opened folder, or of what links to one.
std::vector<std::string> files_in_name_order(int folder) {
  posix::FileDescriptor listing(::dup(folder));
  posix::DirectoryStream directory(listing.valid() ? ::fdopendir(listing.get()) : nullptr);
  if (!directory) throw crypt_failure(CryptError::access_denied);
  // The directory stream owns the descriptor now.
  [[maybe_unused]] const int owned_by_stream = listing.release();
  std::vector<std::string> files;
  while (const dirent* entry = ::readdir(directory.get())) {
    struct stat info {};
    if (::fstatat(folder, entry->d_name, &info, 0) == 0 && S_ISREG(info.st_mode)) {
      files.emplace_back(entry->d_name);
    }
  }
  // Compared as bytes, so the order is the same on every machine.
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

// A file as it was when last read: any change to it shows in one of these.
struct FileState {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  mode_t mode = 0;
  timespec modified{};
  timespec changed{};

  bool operator==(const FileState& other) const {
    return device == other.device && inode == other.inode && size == other.size &&
           mode == other.mode && modified.tv_sec == other.modified.tv_sec &&
           modified.tv_nsec == other.modified.tv_nsec && changed.tv_sec == other.changed.tv_sec &&
           changed.tv_nsec == other.changed.tv_nsec;
  }
};

struct StoreFileCache::Entries {
  struct Entry {
    FileState state;
    std::shared_ptr<const FileObjects> objects;
  };
  std::mutex mutex;
  std::unordered_map<std::string, Entry> by_path;
};

StoreFileCache::StoreFileCache() : entries_(std::make_unique<Entries>()) {}
StoreFileCache::~StoreFileCache() = default;

namespace {

std::optional<FileState> state_of(int descriptor) {
  struct stat info {};
  if (::fstat(descriptor, &info) != 0) return std::nullopt;
  return FileState{info.st_dev,  info.st_ino,  info.st_size,
                   info.st_mode, info.st_mtim, info.st_ctim};
}

// The file's objects: as cached when the file is unchanged and was read with its keys if they
// are wanted; read again otherwise.
std::shared_ptr<const FileObjects> objects_of(const fs::path& path, int descriptor, bool read_keys,
                                              StoreFileCache::Entries* cache) {
  if (cache == nullptr) {
    return std::make_shared<FileObjects>(read_store_file(descriptor, read_keys));
  }
  const auto state = state_of(descriptor);
  {
    const std::lock_guard lock(cache->mutex);
    const auto found = cache->by_path.find(path.native());
    if (state && found != cache->by_path.end() && found->second.state == *state &&
        (found->second.objects->read_keys || !read_keys)) {
      return found->second.objects;
    }
  }
  auto objects = std::make_shared<const FileObjects>(read_store_file(descriptor, read_keys));
  if (state) {
    const std::lock_guard lock(cache->mutex);
    cache->by_path[path.native()] = {*state, objects};
  }
  return objects;
}

}  // namespace

FolderContents load_store_folder(const fs::path& store_root, const std::string& name,
                                 FolderParts parts, StoreFileCache* cache) {
  const OpenedPart root = open_store_root(store_root);
  const OpenedPart folder = open_store_folder(root, store_root, name);
  if (folder.state() == OpenedPart::State::unreadable) {
    throw crypt_failure(CryptError::access_denied);
  }
  // A folder that others could have changed holds nothing of the user's; the command says why.
  if (!folder.usable()) return {};
  const fs::path folder_path = store_root / name;
  FolderContents contents;
  for (const auto& file_name : files_in_name_order(folder.descriptor())) {
    const OpenedPart file = open_store_file(folder, folder_path, file_name, StoreFileKind::entry);
    if (file.state() == OpenedPart::State::refused) {
      contents.skipped.push_back({file.path(), file.reason()});
      continue;
    }
    if (!file.usable()) continue;  // gone since the folder was listed
    const auto objects =
        objects_of(file.path(), file.descriptor(), parts == FolderParts::certificates_and_keys,
                   cache ? cache->entries_.get() : nullptr);
    // Keys that others could have copied are not the user's own any more.
    if (objects->holds_key_material && others_can_read(file.descriptor())) {
      contents.skipped.push_back(
          {file.path(), "holds a private key that group or others can read"});
      continue;
    }
    for (const auto& problem : objects->problems)
      contents.skipped.push_back({file.path(), problem});
    for (std::size_t i = 0; i < objects->certificates.size(); ++i) {
      contents.certificates.push_back(share(objects->certificates[i].get()));
      contents.certificate_public_keys.push_back(objects->certificate_public_keys[i]);
    }
    for (const auto& crl : objects->crls) contents.crls.push_back(share(crl.get()));
    contents.private_keys.insert(contents.private_keys.end(), objects->private_keys.begin(),
                                 objects->private_keys.end());
    contents.private_key_public_keys.insert(contents.private_key_public_keys.end(),
                                            objects->private_key_public_keys.begin(),
                                            objects->private_key_public_keys.end());
  }
  return contents;
}

std::string folder_state(const fs::path& store_root, const std::string& name) {
  const fs::path folder = store_root / name;
  std::string state;
  const auto append = [&state](long long field) {
    state.append(reinterpret_cast<const char*>(&field), sizeof field);
  };
  const auto append_stat = [&append](const struct stat& info) {
    for (const long long field :
         {static_cast<long long>(info.st_dev), static_cast<long long>(info.st_ino),
          static_cast<long long>(info.st_size), static_cast<long long>(info.st_mode),
          static_cast<long long>(info.st_uid), static_cast<long long>(info.st_mtim.tv_sec),
          static_cast<long long>(info.st_mtim.tv_nsec), static_cast<long long>(info.st_ctim.tv_sec),
          static_cast<long long>(info.st_ctim.tv_nsec)}) {
      append(field);
    }
  };
  // Who may change the root and the folder decides whether they are used at all.
  struct stat own {};
  if (::stat(store_root.c_str(), &own) == 0) append_stat(own);
  if (::lstat(folder.c_str(), &own) == 0) append_stat(own);
  // Straight from the system, names relative to the folder: a long-lived host asks this of a
  // store of thousands of files on every call.
  const posix::DirectoryStream directory(::opendir(folder.c_str()));
  if (!directory) return state + (errno == ENOENT ? "" : "\1");
  std::vector<std::pair<std::string, struct stat>> files;
  while (const dirent* entry = ::readdir(directory.get())) {
    struct stat info {};
    if (::fstatat(::dirfd(directory.get()), entry->d_name, &info, 0) == 0 &&
        S_ISREG(info.st_mode)) {
      files.emplace_back(entry->d_name, info);
    }
  }
  std::sort(files.begin(), files.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& [file_name, file_info] : files) {
    state += file_name;
    state.push_back('\0');
    append_stat(file_info);
  }
  return state;
}

}  // namespace orvane::provider::openssl
