// The demonstration's throwaway PKI in file-based stores: install_demo_pki of
// provider/store_administration.h makes a root and a signer (EC P-256) at run time and stores
// them under the store root as `orvane store trust` and `orvane store import` would.
#include <ctime>
#include <stdexcept>

#include "provider/openssl/certificate_issuer.h"
#include "provider/openssl/pem_text.h"
#include "provider/openssl/store_files.h"
#include "provider/store_administration.h"

namespace orvane::provider {

DemoPki install_demo_pki(const std::filesystem::path& store_root,
                         const std::filesystem::path& source_folder) {
  using namespace openssl;
  constexpr std::int64_t day = 24 * 60 * 60;
  const std::int64_t now = std::time(nullptr);
  const KeyedCertificate root = issue_certificate(
      {"Orvane Demo", "Orvane Demo Root", random_serial_hex(8), true, now - day, now + 3650 * day},
      make_ec_key(), nullptr);
  const KeyedCertificate signer =
      issue_certificate({"Orvane Demo", "Orvane Demo Signer", random_serial_hex(8), false,
                         now - day, now + 365 * day},
                        make_ec_key(), &root);

  std::filesystem::create_directories(source_folder);
  DemoPki pki;
  pki.root_file = write_store_file(source_folder, "root", ".pem",
                                   certificate_pem(root.certificate.get()), FileAccess::everyone);
  pki.signer_file = write_store_file(
      source_folder, "signer", ".pem",
      certificate_pem(signer.certificate.get()) + private_key_pem(signer.key.get()),
      FileAccess::owner_only);
  pki.root = trust_roots(store_root, pki.root_file).at(0);
  const ImportResult imported = import_into_store(store_root, pki.signer_file, std::nullopt);
  if (imported.personal.size() != 1 || imported.personal[0].key_file.empty()) {
    throw std::runtime_error("the demonstration signer did not reach the store with its key");
  }
  pki.signer = imported.personal[0];
  return pki;
}

}  // namespace orvane::provider
