// Putting certificates and keys into the user's stores: import_into_store and trust_roots of
// provider/store_administration.h. A PKCS #12 file goes to the personal store (My) with its
// keys, each in a container of its own that cannot export it, and the chain that came along
// to the intermediate authorities (CA); roots go to the trusted roots (Root). A store root
// means nothing here.
#include "provider/cryptoapi/certificate.h"
#include "provider/cryptoapi/certificate_summary.h"
#include "provider/cryptoapi/chain_verification.h"
#include "provider/cryptoapi/key_material.h"
#include "provider/cryptoapi/store_crls.h"
#include "provider/cryptoapi/store_files.h"
#include "provider/store_administration.h"
#include "runtime/program.h"

namespace orvane::provider::cryptoapi {
namespace {

namespace fs = std::filesystem;
using windows::CertificateContextHandle;
using windows::StoreHandle;

// The certificates of a PEM or DER file.
std::vector<CertificateContextHandle> certificates_in(const std::vector<BYTE>& bytes,
                                                      const std::string& file) {
  std::vector<CertificateContextHandle> certificates;
  const auto add = [&certificates](const BYTE* der, std::size_t size) {
    CertificateContextHandle certificate(
        ::CertCreateCertificateContext(X509_ASN_ENCODING, der, static_cast<DWORD>(size)));
    if (certificate) certificates.push_back(std::move(certificate));
  };
  for (const auto& der : pem_blocks(bytes, "CERTIFICATE")) add(der.data(), der.size());
  if (certificates.empty()) add(bytes.data(), bytes.size());
  if (certificates.empty()) {
    throw StoreError(file + " holds no certificate (PEM or DER): check the file");
  }
  return certificates;
}

}  // namespace

}  // namespace orvane::provider::cryptoapi

namespace orvane::provider {

ImportResult import_into_store(const std::filesystem::path&, const std::filesystem::path& file,
                               const std::optional<std::string>& password) {
  using namespace cryptoapi;
  KeyMaterial material =
      read_key_material(read_whole_file(file, "the file to import"), file, password);
  if (material.with_key().empty()) {
    throw StoreError(path_to_utf8(file) +
                     " holds no private key: import a PKCS #12 file with the key, or "
                     "trust a root with `orvane store trust`");
  }

  const StoreHandle personal = open_writable(L"My");
  std::vector<CertificateContextHandle> personal_added;
  for (const auto& certificate : material.with_key()) {
    personal_added.push_back(add_to(personal.get(), certificate.get(), personal_store));
  }
  material.keep();
  std::vector<CertificateContextHandle> authorities_added;
  if (!material.others().empty()) {
    const StoreHandle authorities = open_writable(L"CA");
    for (const auto& certificate : material.others()) {
      authorities_added.push_back(add_to(authorities.get(), certificate.get(), authorities_store));
    }
  }

  ImportResult result;
  for (const auto& certificate : personal_added) {
    KeyContainer container;
    const std::string key = container_of(certificate.get(), container)
                                ? "key container " + utf8(container.name)
                                : std::string("its key storage provider");
    result.personal.push_back(stored_as(certificate.get(), personal_store, key));
  }
  for (const auto& certificate : authorities_added) {
    result.authorities.push_back(stored_as(certificate.get(), authorities_store, {}));
  }
  return result;
}

std::vector<StoredCertificate> trust_roots(const std::filesystem::path&,
                                           const std::filesystem::path& file) {
  using namespace cryptoapi;
  const std::string name = path_to_utf8(file);
  const auto certificates = certificates_in(read_whole_file(file, "the root certificate"), name);
  std::vector<PCCERT_CONTEXT> roots;
  for (const auto& certificate : certificates) {
    if (is_root(certificate.get())) roots.push_back(certificate.get());
  }
  if (roots.empty()) {
    throw StoreError(name +
                     " holds no root certificate (one that signs itself): trust the root at "
                     "the top of its chain, " +
                     summarize(certificates.front().get()).issuer);
  }
  const StoreHandle store = open_writable(L"Root");
  std::vector<StoredCertificate> stored;
  for (PCCERT_CONTEXT root : roots) {
    const CertificateContextHandle added = add_to(store.get(), root, root_store);
    stored.push_back(stored_as(added.get(), root_store, {}));
    if (!is_certificate_authority(root)) {
      stored.back().warning =
          stored.back().summary.serial +
          " is not marked as a certificate authority (CA:FALSE), yet is now trusted as a root: "
          "whatever it signed verifies, itself included; make sure that is what you want";
    }
  }
  return stored;
}

}  // namespace orvane::provider
