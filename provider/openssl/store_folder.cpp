#include "provider/openssl/store_folder.h"

#include <openssl/err.h>
#include <openssl/pem.h>

#include <algorithm>
#include <climits>
#include <fstream>
#include <iterator>
#include <optional>
#include <string_view>

#include "provider/crypt_error.h"
#include "provider/openssl/pem_text.h"

namespace orvane::provider::openssl {
namespace {

namespace fs = std::filesystem;

// What one file yielded.
struct FileObjects {
  // Whether keys are wanted: turning PKCS #8 into a key is the slow part of reading a store.
  bool read_keys = true;
  std::vector<X509Ptr> certificates;
  std::vector<EvpPkeyPtr> private_keys;
  std::vector<std::string> problems;
  // A private key or a PKCS #12 file, readable or not: what makes permissions matter.
  bool holds_key_material = false;
};

// The whole object at `data`, or nothing when it is not one DER certificate.
X509Ptr certificate_from_der(const unsigned char* data, long length) {
  const unsigned char* cursor = data;
  X509Ptr certificate(d2i_X509(nullptr, &cursor, length));
  return certificate && cursor == data + length ? std::move(certificate) : nullptr;
}

// The whole object at `data`, or nothing when it is not one unencrypted DER PKCS #8 key.
Pkcs8Ptr pkcs8_from_der(const unsigned char* data, long length) {
  const unsigned char* cursor = data;
  Pkcs8Ptr info(d2i_PKCS8_PRIV_KEY_INFO(nullptr, &cursor, length));
  return info && cursor == data + length ? std::move(info) : nullptr;
}

void add_key(const PKCS8_PRIV_KEY_INFO* info, FileObjects& out) {
  out.holds_key_material = true;
  if (!out.read_keys) return;
  if (EvpPkeyPtr key{info ? EVP_PKCS82PKEY(info) : nullptr}) {
    out.private_keys.push_back(std::move(key));
  } else {
    out.problems.push_back("a damaged private key");
  }
}

void read_pem(const std::string& bytes, FileObjects& out) {
  for_each_pem_block(bytes, [&out](const PemBlock& block) {
    const std::string_view kind(block.label);
    if (kind == "CERTIFICATE" || kind == "X509 CERTIFICATE") {
      if (auto certificate = certificate_from_der(block.data, block.length)) {
        out.certificates.push_back(std::move(certificate));
      } else {
        out.problems.push_back("a damaged certificate");
      }
    } else if (kind == "PRIVATE KEY") {
      add_key(pkcs8_from_der(block.data, block.length).get(), out);
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
  if (PKCS12_parse(pkcs12, "", &key, &certificate, &authorities) != 1) {
    out.problems.push_back("a PKCS #12 file that needs a password");
    return;
  }
  EvpPkeyPtr owned_key(key);
  X509Ptr owned_certificate(certificate);
  const X509StackPtr owned_authorities(authorities);
  if (owned_key && out.read_keys) out.private_keys.push_back(std::move(owned_key));
  if (owned_certificate) out.certificates.push_back(std::move(owned_certificate));
  for (int i = 0; i < sk_X509_num(authorities); ++i) {
    out.certificates.push_back(share(sk_X509_value(authorities, i)));
  }
}

void read_der(const std::string& bytes, FileObjects& out) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto length = static_cast<long>(bytes.size());
  if (auto certificate = certificate_from_der(data, length)) {
    out.certificates.push_back(std::move(certificate));
  } else if (const auto info = pkcs8_from_der(data, length)) {
    add_key(info.get(), out);
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

// The whole file, or nothing when it cannot be read or is too large for a store file.
std::optional<std::string> read_whole_file(const fs::path& path) {
  std::error_code error;
  const auto size = fs::file_size(path, error);
  if (error || size > static_cast<std::uintmax_t>(INT_MAX)) return std::nullopt;
  std::ifstream file(path, std::ios::binary);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  if (!file.read(bytes.data(), static_cast<std::streamsize>(size))) return std::nullopt;
  return bytes;
}

FileObjects read_store_file(const fs::path& path, bool read_keys) {
  FileObjects objects;
  objects.read_keys = read_keys;
  const auto bytes = read_whole_file(path);
  if (!bytes) {
    objects.problems.push_back("cannot be read");
  } else if (bytes->find("-----BEGIN ") != std::string::npos) {
    read_pem(*bytes, objects);
  } else {
    read_der(*bytes, objects);
  }
  return objects;
}

std::vector<fs::path> files_in_name_order(const fs::path& folder) {
  std::error_code error;
  fs::directory_iterator entries(folder, error);
  if (error) {
    if (!fs::exists(folder)) return {};
    throw crypt_failure(CryptError::access_denied);
  }
  std::vector<fs::path> files;
  for (const auto& entry : entries) {
    if (entry.is_regular_file(error)) files.push_back(entry.path());
  }
  // Native file names compared as bytes, so the order is the same on every machine.
  std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
    return a.filename().native() < b.filename().native();
  });
  return files;
}

}  // namespace

bool group_or_others_can_read(const fs::path& path) {
  std::error_code error;
  const auto permissions = fs::status(path, error).permissions();
  return error ||
         (permissions & (fs::perms::group_read | fs::perms::others_read)) != fs::perms::none;
}

FolderContents load_store_folder(const fs::path& folder, FolderParts parts) {
  FolderContents contents;
  for (const auto& path : files_in_name_order(folder)) {
    FileObjects objects = read_store_file(path, parts == FolderParts::certificates_and_keys);
    // Keys that others could have copied are not the user's own any more.
    if (objects.holds_key_material && group_or_others_can_read(path)) {
      contents.skipped.push_back({path, "holds a private key that group or others can read"});
      continue;
    }
    for (auto& problem : objects.problems) contents.skipped.push_back({path, std::move(problem)});
    std::move(objects.certificates.begin(), objects.certificates.end(),
              std::back_inserter(contents.certificates));
    std::move(objects.private_keys.begin(), objects.private_keys.end(),
              std::back_inserter(contents.private_keys));
  }
  return contents;
}

}  // namespace orvane::provider::openssl
