#include "provider/openssl/smart_card_store.h"

namespace orvane::provider::openssl {

CertificateList load_smart_card_certificates(const std::filesystem::path&) {
  return {};
}

}  // namespace orvane::provider::openssl
