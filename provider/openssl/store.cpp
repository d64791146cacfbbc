#include "provider/openssl/store.h"

#include <openssl/err.h>

#include <string_view>
#include <unordered_map>

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

void OpensslStore::Open(StoreLocation location, const Text& name) {
  if (!is_folder_name(name)) throw crypt_failure(CryptError::invalid_parameter);
  switch (location) {
    case StoreLocation::current_user:
      certificates_ = root_->personal_certificates(text_to_utf8(name));
      return;
    case StoreLocation::smart_card_user:
      certificates_ = load_smart_card_certificates(root_->folder()).certificates();
      return;
  }
  throw crypt_failure(CryptError::invalid_parameter);
}

std::unique_ptr<CertificateCollection> OpensslStore::Certificates() const {
  return std::make_unique<OpensslCertificateCollection>(certificates_);
}

CertificateList with_matching_keys(const FolderContents& contents) {
  // By public key identity: a store of a thousand certificates and keys matches in one pass,
  // without decoding a single key.
  std::unordered_map<std::string_view, const std::shared_ptr<const StoredKey>*> keys;
  for (std::size_t i = 0; i < contents.private_keys.size(); ++i) {
    keys.emplace(contents.private_key_public_keys[i], &contents.private_keys[i]);
  }
  CertificateList certificates;
  for (std::size_t i = 0; i < contents.certificates.size(); ++i) {
    const auto found = keys.find(contents.certificate_public_keys[i]);
    certificates.push_back(std::make_shared<OpensslCertificate>(
        share(contents.certificates[i].get()),
        found != keys.end() && !found->first.empty() ? *found->second : nullptr));
  }
  return certificates;
}

}  // namespace orvane::provider::openssl
