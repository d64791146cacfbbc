#pragma once

// Putting certificates and keys into the file-based stores: import_into_store and trust_roots
// of provider/store_administration.h. A PKCS #12 file, protected or not, or PEM / DER
// certificates with their keys; keys are written unencrypted (the store reads no encrypted
// key), readable by the owner only, and must match a certificate of the file or of My/; other
// certificates of a file with keys go to CA/.

#include "provider/openssl/store_files.h"
#include "provider/store_administration.h"

namespace orvane::provider::openssl {

ImportResult import_into_store(const std::filesystem::path& store_root,
                               const std::filesystem::path& file,
                               const std::optional<std::string>& password);
std::vector<StoredCertificate> trust_roots(const std::filesystem::path& store_root,
                                           const std::filesystem::path& file);

}  // namespace orvane::provider::openssl
