// The file-based stores under a store root, as `orvane store` and `orvane demo` manage them:
// My/ with its keys, CA/, Root/ and CRL/, and the smart-card tokens. The jobs live in the
// files named for them, as on every back end: store_listing, store_import, store_crls and
// demo_pki; this file answers what the stores are.
#include "provider/store_administration.h"

#include "provider/openssl/default_store_root.h"
#include "provider/openssl/store_safety.h"

namespace orvane::provider {

bool has_store_folders() {
  return true;
}

std::filesystem::path default_store_root() {
  return openssl::default_store_root();
}

std::vector<std::string> refused_store_parts(const std::filesystem::path& store_root) {
  return openssl::refused_store_parts(store_root);
}

}  // namespace orvane::provider
