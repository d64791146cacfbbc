#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "provider/openssl/handles.h"

namespace orvane::provider::openssl {

// The certificates and private keys of a file that someone hands to the store.
struct KeyMaterial {
  std::vector<X509Ptr> certificates;
  std::vector<EvpPkeyPtr> private_keys;
};

// What to take from a file.
enum class MaterialParts { certificates, certificates_and_keys };

// Reads `bytes`, the contents of `file`: a PKCS #12 file, PEM text holding certificates and
// private keys (PKCS #8, encrypted or not, or the traditional RSA and EC forms), or one DER
// certificate. `password` opens a protected PKCS #12 file or an encrypted key. Throws
// StoreError with what to do when the file is of another kind, needs a password that was not
// given, or the password is wrong.
KeyMaterial read_key_material(const std::string& bytes, const std::filesystem::path& file,
                              const std::optional<std::string>& password, MaterialParts parts);

}  // namespace orvane::provider::openssl
