#pragma once

#include <filesystem>
#include <vector>

#include "provider/store_administration.h"

namespace orvane::provider::openssl {

// As provider::add_crl: into CRL/ below `store_root`, each CRL checked against the
// certificates of Root/ and CA/ and written as PEM, readable by everyone like a certificate.
std::vector<StoredCrl> add_crl(const std::filesystem::path& store_root,
                               const std::filesystem::path& file);

}  // namespace orvane::provider::openssl
