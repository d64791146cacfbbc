// The user's Windows certificate stores, as `orvane store` and `orvane demo` manage them:
// the personal store (My) with its keys, the intermediate authorities (CA) and the trusted
// roots (Root). The jobs live in the files named for them, as on every back end:
// store_listing, store_import, store_crls and demo_pki; this file answers what the stores are.
#include "provider/store_administration.h"

namespace orvane::provider {

bool has_store_folders() {
  return false;
}

// There are no store folders: a store root means nothing here.
std::filesystem::path default_store_root() {
  return {};
}

// The platform guards its stores itself.
std::vector<std::string> refused_store_parts(const std::filesystem::path&) {
  return {};
}

}  // namespace orvane::provider
