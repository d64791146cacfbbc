#include "provider/openssl/store_listing.h"

#include <openssl/err.h>

#include <optional>

#include "provider/crypt_error.h"
#include "provider/openssl/certificate_summary.h"
#include "provider/openssl/chain_verification.h"
#include "provider/openssl/smart_card_store.h"
#include "provider/openssl/store.h"
#include "provider/openssl/store_safety.h"
#include "runtime/failure.h"

namespace orvane::provider::openssl {
namespace {

namespace fs = std::filesystem;

std::string unreadable_folder(const fs::path& folder) {
  return "cannot read the store folder " + folder.string() +
         ": make it a folder that you own and can read (chmod 700 " + folder.string() + ")";
}

void add_certificates(const std::string& store, const CertificateList& certificates,
                      const std::shared_ptr<const TrustMaterial>& trust, StoreListing& listing) {
  for (const auto& certificate : certificates) {
    ListedCertificate listed{
        store, summarize(certificate->x509()), certificate->has_key(), false, {}, {}};
    if (!trust) {
      listed.why_not_trusted = "the trusted roots cannot be read";
    } else if (const auto error = chain_error(certificate->x509(), *trust, {})) {
      listed.why_not_trusted = text_to_utf8(crypt_error_text(*error));
      listed.chain_fault = *error;
    } else {
      listed.trusted = true;
    }
    listing.certificates.push_back(std::move(listed));
  }
}

}  // namespace

}  // namespace orvane::provider::openssl

namespace orvane::provider {

StoreListing list_stores(const std::filesystem::path& store_root) {
  using namespace openssl;
  StoreListing listing;
  listing.not_used = openssl::refused_store_parts(store_root);
  const StoreRoot root(store_root);

  std::shared_ptr<const TrustMaterial> trust;
  try {
    trust = load_trust(root);
  } catch (const Failure&) {
    listing.problems.push_back("cannot read the trust folders Root/, CA/ and My/ of " +
                               store_root.string() +
                               ": make them folders that you own and can read (chmod 700)");
  }

  const fs::path personal = store_root / "My";
  try {
    const FolderContents contents =
        load_store_folder(store_root, "My", FolderParts::certificates_and_keys);
    add_certificates("My", with_matching_keys(contents), trust, listing);
    listing.skipped = contents.skipped;
  } catch (const Failure&) {
    listing.problems.push_back(unreadable_folder(personal));
  }

  const SmartCardContents smart_cards = load_smart_card_certificates(store_root);
  for (const auto& token : smart_cards.tokens) {
    add_certificates("smart card " + token.label, token.certificates, trust, listing);
    if (!token.reason.empty()) {
      listing.smart_card_notes.push_back("token " + token.label + " (" + token.module.string() +
                                         "): " + token.reason);
    }
  }
  for (const auto& module : smart_cards.skipped_modules) {
    // Passing over a module of roots is no news to someone looking for signing keys.
    if (module.reason == trust_policy_module) continue;
    listing.smart_card_notes.push_back("module " + module.module + ": " + module.reason);
  }
  try {
    listing.crl_count = load_store_folder(store_root, "CRL", FolderParts::certificates).crls.size();
  } catch (const Failure&) {
    listing.problems.push_back(unreadable_folder(store_root / "CRL"));
  }
  ERR_clear_error();
  return listing;
}

}  // namespace orvane::provider
