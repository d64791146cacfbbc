// The user's Windows certificate stores, as `orvane store` and `orvane demo` manage them:
// the personal store (My) with its keys, the intermediate authorities (CA) and the trusted
// roots (Root). There are no store folders: a store root means nothing here.
#include "provider/store_administration.h"

#include "provider/cryptoapi/certificate.h"
#include "provider/cryptoapi/certificate_summary.h"
#include "provider/cryptoapi/chain_verification.h"
#include "provider/cryptoapi/crl_store.h"
#include "provider/cryptoapi/demo_pki.h"
#include "provider/cryptoapi/store.h"
#include "provider/cryptoapi/store_files.h"
#include "provider/cryptoapi/store_import.h"
#include "runtime/failure.h"
#include "runtime/program.h"

namespace orvane::provider {
namespace {

namespace fs = std::filesystem;
using cryptoapi::CryptoapiCertificate;

}  // namespace

bool has_store_folders() {
  return false;
}

fs::path default_store_root() {
  return {};
}

std::vector<std::string> refused_store_parts(const fs::path&) {
  return {};
}

StoreListing list_stores(const fs::path&) {
  StoreListing listing;
  const std::pair<StoreLocation, const char*> stores[] = {
      {StoreLocation::current_user, "My"}, {StoreLocation::smart_card_user, "smart card"}};
  for (const auto& [location, name] : stores) {
    try {
      cryptoapi::CryptoapiStore store;
      store.Open(location, u"My");
      const auto certificates = store.Certificates();
      for (std::int32_t i = 1; i <= certificates->Count(); ++i) {
        const auto certificate =
            std::static_pointer_cast<const CryptoapiCertificate>(certificates->Item(i));
        ListedCertificate listed;
        listed.store = name;
        listed.summary = cryptoapi::summarize(certificate->context());
        listed.has_key = certificate->has_key();
        if (const auto error = cryptoapi::chain_error(certificate->context())) {
          listed.why_not_trusted = text_to_utf8(crypt_error_text(*error));
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
  listing.crl_count = cryptoapi::user_crl_count();
  return listing;
}

std::vector<StoredCrl> add_crl(const fs::path&, const fs::path& file) {
  const auto crls = cryptoapi::crls_in(cryptoapi::read_whole_file(file, "the CRL"));
  if (crls.empty()) {
    throw StoreError(path_to_utf8(file) + " holds no CRL: give a CRL in PEM or DER form");
  }
  for (const auto& crl : crls) {
    if (!cryptoapi::signed_by_user_authority(crl.get())) {
      throw StoreError("a CRL of " + path_to_utf8(file) + " is not signed by a certificate of " +
                       cryptoapi::root_store + " or " + cryptoapi::authorities_store +
                       ": trust its issuer's root with `orvane store trust` first");
    }
  }
  std::vector<StoredCrl> stored;
  for (const auto& crl : crls) stored.push_back(cryptoapi::add_user_crl(crl.get()));
  return stored;
}

ImportResult import_into_store(const fs::path& store_root, const fs::path& file,
                               const std::optional<std::string>& password) {
  return cryptoapi::import_into_store(store_root, file, password);
}

std::vector<StoredCertificate> trust_roots(const fs::path& store_root, const fs::path& file) {
  return cryptoapi::trust_roots(store_root, file);
}

DemoPki install_demo_pki(const fs::path& store_root, const fs::path& source_folder) {
  return cryptoapi::install_demo_pki(store_root, source_folder);
}

}  // namespace orvane::provider
