#pragma once

// The demonstration's throwaway PKI in the user's stores: install_demo_pki of
// provider/store_administration.h makes a root and a signer (RSA 2048) at run time, puts them
// into Root and My, and takes them out again when the result goes.

#include "provider/store_administration.h"

namespace orvane::provider::cryptoapi {

DemoPki install_demo_pki(const std::filesystem::path& store_root,
                         const std::filesystem::path& source_folder);

}  // namespace orvane::provider::cryptoapi
