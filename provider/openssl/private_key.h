#pragma once

#include <mutex>
#include <string>

#include "provider/openssl/handles.h"

namespace orvane::provider::openssl {

// A private key as a store holds it. OpenSSL takes about a millisecond to decode a key, so a key
// of a store folder stays encoded until a signature needs it: a store of a thousand keys is read
// in milliseconds, and only the signer's key is ever decoded.
class StoredKey {
 public:
  // A key still encoded, as unencrypted PKCS #8 DER.
  explicit StoredKey(std::string pkcs8_der);
  // A key decoded already (from a PKCS #12 file or a token).
  explicit StoredKey(EvpPkeyPtr key);

  // The key, decoded on first use; null when it cannot be decoded.
  EVP_PKEY* get() const;

 private:
  std::string der_;
  mutable std::once_flag decoded_;
  mutable EvpPkeyPtr key_;
};

// What identifies a public key, comparable between certificates and keys: the algorithm, the
// curve for EC, and the key material (EC point, RSA modulus). Empty when it cannot be read.
std::string public_key_identity(X509_PUBKEY* key);

// The identity of the public half of a PKCS #8 key, read from its encoding where it says it
// (RSA, and EC keys that carry their public point) and decoded otherwise.
std::string public_key_identity(const PKCS8_PRIV_KEY_INFO* key);

// The identity of a decoded key's public half.
std::string public_key_identity(EVP_PKEY* key);

}  // namespace orvane::provider::openssl
