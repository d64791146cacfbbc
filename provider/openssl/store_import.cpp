// Putting certificates and keys into the file-based stores: import_into_store and trust_roots
// of provider/store_administration.h. A PKCS #12 file, protected or not, or PEM / DER
// certificates with their keys; keys are written unencrypted (the store reads no encrypted
// key), readable by the owner only, and must match a certificate of the file or of My/; other
// certificates of a file with keys go to CA/.
#include <openssl/err.h>

#include <algorithm>

#include "provider/crypt_error.h"
#include "provider/openssl/certificate.h"
#include "provider/openssl/certificate_summary.h"
#include "provider/openssl/chain_verification.h"
#include "provider/openssl/key_material.h"
#include "provider/openssl/pem_text.h"
#include "provider/openssl/store_files.h"
#include "provider/openssl/store_folder.h"
#include "provider/store_administration.h"
#include "runtime/failure.h"

namespace orvane::provider::openssl {
namespace {

namespace fs = std::filesystem;

// A certificate of the file with the key that goes with it, if any.
struct Placement {
  X509* certificate;
  EVP_PKEY* key;
};

EVP_PKEY* matching_key(X509* certificate, const std::vector<EvpPkeyPtr>& keys) {
  for (const auto& key : keys) {
    if (EVP_PKEY_eq(X509_get0_pubkey(certificate), key.get()) == 1) return key.get();
  }
  return nullptr;
}

// The certificates of My/ that a key without its certificate may belong to.
std::vector<X509Ptr> personal_certificates(const fs::path& store_root) {
  try {
    return load_store_folder(store_root, "My", FolderParts::certificates).certificates;
  } catch (const Failure&) {
    return {};
  }
}

std::string file_stem(X509* certificate) {
  return text_to_utf8(serial_number_text(certificate));
}

StoredCertificate store_certificate(const fs::path& folder, X509* certificate, EVP_PKEY* key) {
  StoredCertificate stored{summarize(certificate), {}, {}, false, {}, {}, {}};
  // The key first: a certificate must not look usable before its key is there.
  if (key != nullptr) {
    stored.key_file = write_store_file(folder, file_stem(certificate), ".key", private_key_pem(key),
                                       FileAccess::owner_only);
  }
  stored.certificate_file = write_store_file(folder, file_stem(certificate), ".pem",
                                             certificate_pem(certificate), FileAccess::everyone);
  return stored;
}

void judge_trust(const fs::path& store_root, std::vector<StoredCertificate>& stored,
                 const std::vector<X509*>& certificates) {
  const StoreRoot root(store_root);
  try {
    const TrustMaterial& trust = *load_trust(root);
    for (std::size_t i = 0; i < stored.size(); ++i) {
      if (const auto error = chain_error(certificates[i], trust, {})) {
        stored[i].why_not_trusted = text_to_utf8(crypt_error_text(*error));
        stored[i].chain_fault = *error;
      } else {
        stored[i].trusted = true;
      }
    }
  } catch (const Failure&) {
    for (auto& certificate : stored)
      certificate.why_not_trusted = "the trust folders cannot be read";
  }
  ERR_clear_error();
}

}  // namespace

}  // namespace orvane::provider::openssl

namespace orvane::provider {

ImportResult import_into_store(const std::filesystem::path& store_root,
                               const std::filesystem::path& file,
                               const std::optional<std::string>& password) {
  using namespace openssl;
  const KeyMaterial material = read_key_material(read_whole_file(file, "the file to import"), file,
                                                 password, MaterialParts::certificates_and_keys);

  std::vector<Placement> personal;
  std::vector<X509*> authorities;
  std::vector<const EVP_PKEY*> placed_keys;
  for (const auto& certificate : material.certificates) {
    EVP_PKEY* key = matching_key(certificate.get(), material.private_keys);
    if (key != nullptr || material.private_keys.empty()) {
      personal.push_back({certificate.get(), key});
      placed_keys.push_back(key);
    } else {
      authorities.push_back(certificate.get());
    }
  }
  // A key alone may join its certificate, imported earlier.
  const auto earlier = personal_certificates(store_root);
  for (const auto& key : material.private_keys) {
    if (std::find(placed_keys.begin(), placed_keys.end(), key.get()) != placed_keys.end()) continue;
    const auto owner = std::find_if(earlier.begin(), earlier.end(), [&](const X509Ptr& c) {
      return EVP_PKEY_eq(X509_get0_pubkey(c.get()), key.get()) == 1;
    });
    if (owner == earlier.end()) {
      throw StoreError(file.string() +
                       " holds a private key that matches none of its certificates nor any of "
                       "My/: put the certificate into the same file, or import it first");
    }
    personal.push_back({owner->get(), key.get()});
  }
  ERR_clear_error();

  ImportResult result;
  const fs::path my = make_store_folder(store_root, "My", FolderUse::keys);
  std::vector<X509*> personal_x509;
  for (const auto& placement : personal) {
    result.personal.push_back(store_certificate(my, placement.certificate, placement.key));
    personal_x509.push_back(placement.certificate);
  }
  if (!authorities.empty()) {
    const fs::path ca = make_store_folder(store_root, "CA", FolderUse::certificates);
    for (X509* authority : authorities) {
      result.authorities.push_back(store_certificate(ca, authority, nullptr));
    }
  }
  judge_trust(store_root, result.personal, personal_x509);
  judge_trust(store_root, result.authorities, authorities);
  return result;
}

std::vector<StoredCertificate> trust_roots(const std::filesystem::path& store_root,
                                           const std::filesystem::path& file) {
  using namespace openssl;
  const KeyMaterial material = read_key_material(read_whole_file(file, "the root certificate"),
                                                 file, std::nullopt, MaterialParts::certificates);
  std::vector<X509*> roots;
  for (const auto& certificate : material.certificates) {
    if (is_root(certificate.get())) roots.push_back(certificate.get());
  }
  ERR_clear_error();
  if (roots.empty()) {
    const std::string issuer =
        material.certificates.empty() ? "" : summarize(material.certificates[0].get()).issuer;
    throw StoreError(file.string() +
                     " holds no root certificate (one that signs itself): trust "
                     "the root at the top of its chain" +
                     (issuer.empty() ? "" : ", " + issuer));
  }
  const fs::path folder = make_store_folder(store_root, "Root", FolderUse::certificates);
  std::vector<StoredCertificate> stored;
  for (X509* root : roots) {
    stored.push_back(store_certificate(folder, root, nullptr));
    if (X509_check_ca(root) == 0) {
      stored.back().warning =
          stored.back().summary.serial +
          " is not marked as a certificate authority (CA:FALSE), yet is now trusted as a root: "
          "whatever it signed verifies, itself included; make sure that is what you want";
    }
  }
  ERR_clear_error();
  judge_trust(store_root, stored, roots);
  return stored;
}

}  // namespace orvane::provider
