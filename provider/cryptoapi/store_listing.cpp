// What the user's stores hold, for people to read: list_stores of
// provider/store_administration.h over the personal store (My) and the smart-card store.
#include "provider/crypt_error.h"
#include "provider/cryptoapi/certificate.h"
#include "provider/cryptoapi/certificate_summary.h"
#include "provider/cryptoapi/chain_verification.h"
#include "provider/cryptoapi/store.h"
#include "provider/cryptoapi/store_crls.h"
#include "provider/store_administration.h"
#include "runtime/failure.h"
#include "runtime/text.h"

namespace orvane::provider {

StoreListing list_stores(const std::filesystem::path&) {
  using namespace cryptoapi;
  StoreListing listing;
  const std::pair<StoreLocation, const char*> stores[] = {
      {StoreLocation::current_user, "My"}, {StoreLocation::smart_card_user, "smart card"}};
  for (const auto& [location, name] : stores) {
    try {
      CryptoapiStore store;
      store.Open(location, u"My");
      const auto certificates = store.Certificates();
      for (std::int32_t i = 1; i <= certificates->Count(); ++i) {
        const auto certificate =
            std::static_pointer_cast<const CryptoapiCertificate>(certificates->Item(i));
        ListedCertificate listed;
        listed.store = name;
        listed.summary = summarize(certificate->context());
        listed.has_key = certificate->has_key();
        if (const auto error = chain_error(certificate->context())) {
          listed.why_not_trusted = text_to_utf8(crypt_error_text(*error));
          listed.chain_fault = *error;
        } else {
          listed.trusted = true;
        }
        listing.certificates.push_back(std::move(listed));
      }
    } catch (const Failure& failure) {
      listing.problems.push_back(std::string("the ") + name +
                                 " store cannot be read: " + text_to_utf8(failure.description()));
    }
  }
  listing.crl_count = user_crl_count();
  return listing;
}

}  // namespace orvane::provider
