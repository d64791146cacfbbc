#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "provider/openssl/handles.h"

namespace orvane::provider::openssl {

// The certificate as PEM text. Throws std::runtime_error when it cannot be encoded.
std::string certificate_pem(X509* certificate);

// The private key as unencrypted PKCS #8 PEM text, the only key form the store reads. Throws
// std::runtime_error when it cannot be encoded.
std::string private_key_pem(EVP_PKEY* key);

// One block of PEM text, valid while the visitor runs.
struct PemBlock {
  const char* label;    // "CERTIFICATE", "PRIVATE KEY", ...
  const char* headers;  // "Proc-Type: 4,ENCRYPTED" and the like; empty for most blocks
  const unsigned char* data;
  long length;
};

// Calls `visit` for each PEM block of `text`, in order, skipping anything between blocks.
// Exceptions from `visit` pass through.
void for_each_pem_block(std::string_view text, const std::function<void(const PemBlock&)>& visit);

}  // namespace orvane::provider::openssl
