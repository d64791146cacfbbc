#include "provider/openssl/store.h"

#include <openssl/err.h>

#include "provider/crypt_error.h"
#include "provider/openssl/certificate_collection.h"
#include "provider/openssl/smart_card_store.h"
#include "provider/openssl/store_folder.h"

namespace orvane::provider::openssl {
namespace {

// A store name is one folder below the store root, never a way out of it.
bool is_folder_name(const Text& name) {
  if (name.empty() || name == u"." || name == u"..") return false;
  for (const char16_t c : name) {
    if (c == u'/' || c == u'\\' || c == u'\0') return false;
  }
  return true;
}

}  // namespace

OpensslStore::OpensslStore(std::shared_ptr<const StoreRoot> root) : root_(std::move(root)) {}

void OpensslStore::Open(StoreLocation location, const Text& name, StoreOpenMode mode) {
  if (mode != StoreOpenMode::read_only || !is_folder_name(name)) {
    throw crypt_failure(CryptError::invalid_parameter);
  }
  switch (location) {
    case StoreLocation::current_user:
      certificates_ = load_personal_certificates(root_->folder() / text_to_utf8(name));
      return;
    case StoreLocation::smart_card_user:
      certificates_ = load_smart_card_certificates(root_->folder()).certificates();
      return;
  }
  throw crypt_failure(CryptError::invalid_parameter);
}

std::unique_ptr<CertificateCollection> OpensslStore::Certificates() const {
  return std::make_unique<OpensslCertificateCollection>(certificates_, root_);
}

CertificateList load_personal_certificates(const std::filesystem::path& folder) {
  return with_matching_keys(load_store_folder(folder, FolderParts::certificates_and_keys));
}

CertificateList with_matching_keys(const FolderContents& contents) {
  CertificateList certificates;
  for (const auto& x509 : contents.certificates) {
    EvpPkeyPtr matching_key;
    for (const auto& key : contents.private_keys) {
      if (EVP_PKEY_eq(X509_get0_pubkey(x509.get()), key.get()) == 1) {
        matching_key = share(key.get());
        break;
      }
    }
    certificates.push_back(
        std::make_shared<OpensslCertificate>(share(x509.get()), std::move(matching_key)));
  }
  ERR_clear_error();
  return certificates;
}

}  // namespace orvane::provider::openssl
