#pragma once

#include <filesystem>

#include "provider/openssl/default_store_root.h"
#include "provider/openssl/store_root.h"
#include "provider/provider.h"

namespace orvane::provider::openssl {

// Creates the OpenSSL back end's objects over the stores under one store root.
class OpensslFactory final : public Factory {
 public:
  // An empty `store_root` means there is nowhere to find stores: every object then fails to
  // be created with failure 429.
  explicit OpensslFactory(std::filesystem::path store_root);

  std::unique_ptr<Store> CreateStore() override;
  std::unique_ptr<Signer> CreateSigner() override;
  std::unique_ptr<SignedData> CreateSignedData(const Policy& policy) override;

 private:
  std::shared_ptr<const StoreRoot> root() const;

  std::shared_ptr<const StoreRoot> root_;
};

}  // namespace orvane::provider::openssl
