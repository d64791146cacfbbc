#pragma once

#include <filesystem>
#include <string>

#include "tests/support/openssl_pki/test_pki.h"

namespace orvane::test_pki {

// The cipher of the encrypted part: PBES2 with AES-256, or RC2 with 40 bits as exporters before
// OpenSSL 3 wrote it.
enum class PartCipher { aes_256, legacy_rc2 };

// Writes to `file` a PKCS #12 file under `password` whose one part, encrypted with `cipher` at
// 2,048 iterations, holds `signer`'s certificate and its key shrouded with `key_iterations`.
// Exporters put the key in a plain part; every reader finds it in an encrypted one too.
void write_pkcs12_with_key_in_encrypted_part(const TestCertificate& signer,
                                             const std::filesystem::path& file,
                                             const std::string& password, PartCipher cipher,
                                             int key_iterations);

}  // namespace orvane::test_pki
