#pragma once

// Putting certificates and keys into the file-based stores: what `orvane store import` and
// `orvane store trust` do. Free of OpenSSL headers.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "provider/openssl/store_files.h"
#include "provider/openssl/store_listing.h"

namespace orvane::provider::openssl {

// A certificate that an import wrote (or found already there, byte for byte).
struct StoredCertificate {
  CertificateSummary summary;
  std::filesystem::path certificate_file;
  // Its private key's file (owner-only, unencrypted PKCS #8), or empty when none came with it.
  std::filesystem::path key_file;
  // As in a store listing, judged once the import is done.
  bool trusted = false;
  std::string why_not_trusted;
  // What the person should know about it though it was stored, or empty.
  std::string warning;
};

// What one import put where.
struct ImportResult {
  // Into My/: the certificates that came with their keys, or every certificate of a file
  // that holds no key.
  std::vector<StoredCertificate> personal;
  // Into CA/: the other certificates of a file with keys, the chain that came along.
  std::vector<StoredCertificate> authorities;
};

// Imports `file` (a PKCS #12 file, protected or not, or PEM / DER certificates with their
// keys) into the store under `store_root`, creating its folders owner-only. Keys are written
// unencrypted, readable by the owner only, since the store reads no encrypted key. A key must
// match a certificate of the file or of My/. Throws StoreError, with what to do; a file that
// cannot be read, or whose password is wrong, leaves the store untouched.
ImportResult import_into_store(const std::filesystem::path& store_root,
                               const std::filesystem::path& file,
                               const std::optional<std::string>& password);

// Puts the self-signed certificates of `file` (PEM or DER) into Root/, so that chains ending
// in them are trusted; one that is not marked as a certificate authority is trusted too (it
// may be a signer's own), with a warning. Throws StoreError when the file holds none.
std::vector<StoredCertificate> trust_roots(const std::filesystem::path& store_root,
                                           const std::filesystem::path& file);

}  // namespace orvane::provider::openssl
