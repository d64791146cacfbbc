#pragma once

#include <filesystem>

#include "provider/openssl/certificate.h"
#include "provider/openssl/store_folder.h"
#include "provider/openssl/store_root.h"

namespace orvane::provider::openssl {

// A certificate store under a store root: location 2 reads the folder of the store's name
// (My/ is the personal store), location 4 the smart-card tokens.
class OpensslStore final : public Store {
 public:
  explicit OpensslStore(std::shared_ptr<const StoreRoot> root);

  // Reads the store again, so an object can be opened at one location and then another. Only
  // read-only mode exists; other modes, locations or names that are not one folder name fail
  // with E_INVALIDARG.
  void Open(StoreLocation location, const Text& name) override;
  // The certificates of the last Open, in store order; empty before the first.
  std::unique_ptr<CertificateCollection> Certificates() const override;

 private:
  std::shared_ptr<const StoreRoot> root_;
  CertificateList certificates_;
};

// The certificates of `contents`, each with the first of its private keys that matches its
// public key, if any.
CertificateList with_matching_keys(const FolderContents& contents);

}  // namespace orvane::provider::openssl
