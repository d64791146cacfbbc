#pragma once

#include "provider/provider.h"

namespace orvane::provider::cryptoapi {

// Creates the CryptoAPI back end's objects over the platform's certificate stores.
class CryptoapiFactory final : public Factory {
 public:
  std::unique_ptr<Store> CreateStore() override;
  std::unique_ptr<Signer> CreateSigner() override;
  std::unique_ptr<SignedData> CreateSignedData(const Policy& policy = {}) override;
};

}  // namespace orvane::provider::cryptoapi
