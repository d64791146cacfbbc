#include "provider/openssl/system_roots.h"

namespace orvane::provider::openssl {
namespace {

// Adds every bundle certificate named `subject` to the store and hands back the first, so that
// an issuer with several certificates is found whole from then on.
int bundle_by_subject(X509_LOOKUP* lookup, X509_LOOKUP_TYPE type, const X509_NAME* subject,
                      X509_OBJECT* found) {
  const auto* root = static_cast<const StoreRoot*>(X509_LOOKUP_get_method_data(lookup));
  if (type != X509_LU_X509 || root == nullptr) return 0;
  X509* first = nullptr;
  for (const auto& certificate : root->system_bundle()) {
    if (X509_NAME_cmp(X509_get_subject_name(certificate.get()), subject) != 0) continue;
    X509_STORE_add_cert(X509_LOOKUP_get_store(lookup), certificate.get());
    if (first == nullptr) first = certificate.get();
  }
  if (first == nullptr || X509_OBJECT_set1_X509(found, first) != 1) return 0;
  // Lookups hand back a borrowed certificate, which the store keeps alive; the caller takes
  // its own reference, and the one set1 added goes.
  const X509Ptr added_reference(first);
  return 1;
}

const X509_LOOKUP_METHOD* bundle_lookup_method() {
  static X509_LOOKUP_METHOD* const method = [] {
    X509_LOOKUP_METHOD* made = X509_LOOKUP_meth_new("orvane system root bundle");
    if (made != nullptr) X509_LOOKUP_meth_set_get_by_subject(made, bundle_by_subject);
    return made;
  }();
  return method;
}

}  // namespace

bool add_system_roots(X509_STORE* store, const StoreRoot& root) {
  // The hashed folder first: it reads one issuer at a time.
  X509_LOOKUP* folder = X509_STORE_add_lookup(store, X509_LOOKUP_hash_dir());
  if (folder == nullptr || X509_LOOKUP_add_dir(folder, nullptr, X509_FILETYPE_DEFAULT) != 1) {
    return false;
  }
  const X509_LOOKUP_METHOD* method = bundle_lookup_method();
  X509_LOOKUP* bundle =
      method ? X509_STORE_add_lookup(store, const_cast<X509_LOOKUP_METHOD*>(method)) : nullptr;
  return bundle != nullptr &&
         X509_LOOKUP_set_method_data(bundle, const_cast<StoreRoot*>(&root)) == 1;
}

}  // namespace orvane::provider::openssl
