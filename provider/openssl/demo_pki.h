#pragma once

// A throwaway PKI for the demonstration: a root and a signer, made at run time. Free of
// OpenSSL headers.

#include <filesystem>

#include "provider/openssl/store_import.h"

namespace orvane::provider::openssl {

// The demonstration PKI's files and what the store made of them.
struct DemoPki {
  // The root certificate (PEM), and the signer's certificate with its key (PEM, owner-only).
  std::filesystem::path root_file;
  std::filesystem::path signer_file;
  // As `orvane store trust` and `orvane store import` stored them.
  StoredCertificate root;
  StoredCertificate signer;
};

// Makes a root and a signer certificate (EC P-256, random serial numbers, valid from a day ago
// for a year), writes them into `source_folder`, and then installs them under `store_root`
// exactly as `orvane store trust` and `orvane store import` would. Throws std::runtime_error
// when a key or certificate cannot be made, StoreError when a file cannot be written.
DemoPki install_demo_pki(const std::filesystem::path& store_root,
                         const std::filesystem::path& source_folder);

}  // namespace orvane::provider::openssl
