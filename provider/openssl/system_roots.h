#pragma once

#include <openssl/x509_vfy.h>

#include "provider/openssl/store_root.h"

namespace orvane::provider::openssl {

// Makes `store` find issuers among the system's trusted roots: its hashed root folder, and the
// root bundle of `root`, which is parsed only when an issuer is found nowhere else. Chains that
// end in the store's own roots never pay for reading the bundle. `root` must outlive `store`.
// Returns false when a lookup cannot be added.
bool add_system_roots(X509_STORE* store, const StoreRoot& root);

}  // namespace orvane::provider::openssl
