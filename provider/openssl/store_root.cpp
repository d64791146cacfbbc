#include "provider/openssl/store_root.h"

#include <openssl/err.h>

#include "provider/openssl/chain_verification.h"
#include "provider/openssl/store.h"

namespace orvane::provider::openssl {

StoreRoot::StoreRoot(std::filesystem::path folder) : folder_(std::move(folder)) {}

const std::vector<X509Ptr>& StoreRoot::system_bundle() const {
  std::call_once(bundle_read_, [this] {
    const X509StorePtr reader(X509_STORE_new());
    X509_LOOKUP* file = reader ? X509_STORE_add_lookup(reader.get(), X509_LOOKUP_file()) : nullptr;
    // A machine without a bundle has no system roots of this kind; that is no failure.
    if (file == nullptr || X509_LOOKUP_load_file(file, nullptr, X509_FILETYPE_DEFAULT) != 1) {
      ERR_clear_error();
      return;
    }
    STACK_OF(X509_OBJECT)* objects = X509_STORE_get0_objects(reader.get());
    for (int i = 0; i < sk_X509_OBJECT_num(objects); ++i) {
      if (X509* certificate = X509_OBJECT_get0_X509(sk_X509_OBJECT_value(objects, i))) {
        bundle_.push_back(share(certificate));
      }
    }
  });
  return bundle_;
}

FolderContents StoreRoot::load_folder(const std::string& name, FolderParts parts) const {
  return load_store_folder(folder_, name, parts, &files_);
}

CertificateList StoreRoot::personal_certificates(const std::string& name) const {
  std::string state = folder_state(folder_, name);
  {
    const std::lock_guard lock(personal_mutex_);
    const auto found = personal_.find(name);
    if (found != personal_.end() && found->second.state == state) {
      return found->second.certificates;
    }
  }
  CertificateList certificates = with_matching_keys(
      load_store_folder(folder_, name, FolderParts::certificates_and_keys, &files_));
  const std::lock_guard lock(personal_mutex_);
  personal_[name] = {std::move(state), certificates};
  return certificates;
}

std::shared_ptr<const TrustMaterial> StoreRoot::trust(
    const std::function<TrustMaterial()>& make) const {
  std::string state;
  for (const char* name : {"Root", "CA", "CRL", "My"}) state += folder_state(folder_, name) + '\1';
  {
    const std::lock_guard lock(trust_mutex_);
    if (trust_ && trust_state_ == state) return trust_;
  }
  auto made = std::make_shared<const TrustMaterial>(make());
  const std::lock_guard lock(trust_mutex_);
  trust_state_ = std::move(state);
  trust_ = made;
  return made;
}

}  // namespace orvane::provider::openssl
