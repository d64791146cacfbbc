#pragma once

#include <filesystem>

#include "provider/openssl/certificate.h"

namespace orvane::provider::openssl {

// The certificates of the smart-card user store (location 4), each with its token key. No
// token is read yet, so the store opens and holds no certificate; PKCS #11 tokens plug in
// here without changing the store or its callers.
CertificateList load_smart_card_certificates(const std::filesystem::path& store_root);

}  // namespace orvane::provider::openssl
