#include "provider/cryptoapi/factory.h"

#include "provider/cryptoapi/signed_data.h"
#include "provider/cryptoapi/signer.h"
#include "provider/cryptoapi/store.h"

namespace orvane::provider {
namespace cryptoapi {

std::unique_ptr<Store> CryptoapiFactory::CreateStore() {
  return std::make_unique<CryptoapiStore>();
}

std::unique_ptr<Signer> CryptoapiFactory::CreateSigner() {
  return std::make_unique<CryptoapiSigner>();
}

std::unique_ptr<SignedData> CryptoapiFactory::CreateSignedData(const Policy& policy) {
  return std::make_unique<CryptoapiSignedData>(policy);
}

}  // namespace cryptoapi

// The platform's stores are the only ones: `store_root` has no meaning here.
std::shared_ptr<Factory> default_factory(const std::filesystem::path&) {
  return std::make_shared<cryptoapi::CryptoapiFactory>();
}

}  // namespace orvane::provider
