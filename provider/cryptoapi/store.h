#pragma once

#include "provider/cryptoapi/certificate.h"

namespace orvane::provider::cryptoapi {

// A certificate store of the platform: location 2 the current user's system store of the
// name given ("My" is the personal store), location 4 the certificates of inserted smart
// cards.
class CryptoapiStore final : public Store {
 public:
  // Reads the store again, so an object can be opened at one location and then another. Other
  // locations or an empty name fail with E_INVALIDARG, a store that does not exist with the
  // platform's code.
  void Open(StoreLocation location, const Text& name) override;
  // The certificates of the last Open, in store order; empty before the first.
  std::unique_ptr<CertificateCollection> Certificates() const override;

 private:
  CertificateList certificates_;
};

}  // namespace orvane::provider::cryptoapi
