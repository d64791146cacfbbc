#pragma once

// The demonstration's throwaway PKI in file-based stores: install_demo_pki of
// provider/store_administration.h makes a root and a signer (EC P-256) at run time and stores
// them under the store root as `orvane store trust` and `orvane store import` would.

#include "provider/store_administration.h"

namespace orvane::provider::openssl {

DemoPki install_demo_pki(const std::filesystem::path& store_root,
                         const std::filesystem::path& source_folder);

}  // namespace orvane::provider::openssl
