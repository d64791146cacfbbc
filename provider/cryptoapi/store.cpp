#include "provider/cryptoapi/store.h"

#include "provider/crypt_error.h"
#include "provider/cryptoapi/certificate_collection.h"
#include "provider/cryptoapi/platform_error.h"
#include "provider/cryptoapi/smart_card_store.h"
#include "runtime/windows/wide_text.h"

namespace orvane::provider::cryptoapi {
namespace {

windows::StoreHandle open_user_system_store(const Text& name) {
  windows::StoreHandle store(::CertOpenStore(
      CERT_STORE_PROV_SYSTEM_W, 0, 0,
      CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG | CERT_STORE_OPEN_EXISTING_FLAG,
      windows::wide(name)));
  if (!store) throw last_platform_failure();
  return store;
}

// Every certificate of `store`, each with a reference of its own, in store order.
CertificateList certificates_of(HCERTSTORE store) {
  CertificateList certificates;
  PCCERT_CONTEXT context = nullptr;
  while ((context = ::CertEnumCertificatesInStore(store, context)) != nullptr) {
    certificates.push_back(std::make_shared<CryptoapiCertificate>(
        windows::CertificateContextHandle(::CertDuplicateCertificateContext(context))));
  }
  return certificates;
}

}  // namespace

void CryptoapiStore::Open(StoreLocation location, const Text& name) {
  if (name.empty() || name.find(u'\0') != Text::npos) {
    throw crypt_failure(CryptError::invalid_parameter);
  }
  switch (location) {
    case StoreLocation::current_user:
      certificates_ = certificates_of(open_user_system_store(name).get());
      return;
    case StoreLocation::smart_card_user:
      // The cards' own certificates, whatever the store name: a card has no named stores.
      certificates_ = smart_card_certificates();
      return;
  }
  throw crypt_failure(CryptError::invalid_parameter);
}

std::unique_ptr<CertificateCollection> CryptoapiStore::Certificates() const {
  return std::make_unique<CryptoapiCertificateCollection>(certificates_);
}

}  // namespace orvane::provider::cryptoapi
