// The file-based stores' administration, as the neutral interface names it.
#include "provider/store_administration.h"

#include "provider/openssl/default_store_root.h"
#include "provider/openssl/demo_pki.h"
#include "provider/openssl/store_crls.h"
#include "provider/openssl/store_import.h"
#include "provider/openssl/store_listing.h"
#include "provider/openssl/store_safety.h"

namespace orvane::provider {

bool has_store_folders() {
  return true;
}

std::filesystem::path default_store_root() {
  return openssl::default_store_root();
}

StoreListing list_stores(const std::filesystem::path& store_root) {
  return openssl::list_stores(store_root);
}

ImportResult import_into_store(const std::filesystem::path& store_root,
                               const std::filesystem::path& file,
                               const std::optional<std::string>& password) {
  return openssl::import_into_store(store_root, file, password);
}

std::vector<StoredCertificate> trust_roots(const std::filesystem::path& store_root,
                                           const std::filesystem::path& file) {
  return openssl::trust_roots(store_root, file);
}

std::vector<StoredCrl> add_crl(const std::filesystem::path& store_root,
                               const std::filesystem::path& file) {
  return openssl::add_crl(store_root, file);
}

DemoPki install_demo_pki(const std::filesystem::path& store_root,
                         const std::filesystem::path& source_folder) {
  return openssl::install_demo_pki(store_root, source_folder);
}

std::vector<std::string> refused_store_parts(const std::filesystem::path& store_root) {
  return openssl::refused_store_parts(store_root);
}

}  // namespace orvane::provider
