#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "provider/crypt_error.h"
#include "provider/openssl/handles.h"
#include "provider/openssl/revocation_context.h"
#include "provider/openssl/store_root.h"

namespace orvane::provider::openssl {

class VerifiedChains;

// Certificates read on first need. The personal store's certificates may stand between a leaf
// and a root (PKCS #12 files carry their authorities there) or sign a message that does not
// carry them, but most chains and signers are found without them, and each certificate takes
// OpenSSL 3.0 a third of a millisecond to parse.
class LazyCertificates {
 public:
  explicit LazyCertificates(std::function<std::vector<X509Ptr>()> read);
  const std::vector<X509Ptr>& get() const;

 private:
  std::function<std::vector<X509Ptr>()> read_;
  mutable std::once_flag read_once_;
  mutable std::vector<X509Ptr> certificates_;
};

// The certificates that chains are built from, read from a store root.
struct TrustMaterial {
  // The store's Root/ certificates and the system's trusted roots.
  X509StorePtr trusted_roots;
  // Certificates that may stand between a leaf and a root: the store's CA/ folder.
  std::vector<X509Ptr> intermediates;
  // The personal store's certificates: tried when a chain or a signer is not found otherwise.
  std::shared_ptr<const LazyCertificates> personal;
  // Chains that verified, and until when that holds, as the platform's chain engine keeps
  // them: a long-lived host checks the same signers' chains again and again. It goes with the
  // material, which is read again when a store folder changes.
  std::shared_ptr<VerifiedChains> verified_chains;
  // The store's CRL/ folder, whoever signed them: the CRL processing judges each.
  std::vector<X509CrlPtr> crls;
};

// The trust material of the stores under `root`; missing folders add nothing. Made again only
// when Root/, CA/, CRL/ or My/ changed since `root` last made it: a long-lived host verifies
// against the same material call after call.
std::shared_ptr<const TrustMaterial> load_trust(const StoreRoot& root);

// The chain of `leaf`, leaf first, as far as it can be built from the trust material and
// `carried` (a message's certificates), whether or not it verifies.
std::vector<X509Ptr> build_chain(X509* leaf, const TrustMaterial& trust,
                                 const std::vector<X509Ptr>& carried);

// Whether `certificate` is a root: self-issued (its subject is its issuer) and signed by its own
// key, the rule of every back end. OpenSSL's check also refuses one whose key identifiers say
// that another key signed it.
bool is_root(X509* certificate);

// Nothing when `leaf` chains to a trusted root, every certificate of the chain is valid now,
// the chain holds under RFC 5280's certificate policies (any policy acceptable, none required
// until a certificate requires one) and name constraints, and no certificate of it is weak by
// the signer policy, and, with a `revocation` context, no certificate of it below the anchor is
// revoked as revocation_check.h says; otherwise the code of the chain's fault, chosen and mapped
// as on every back end (provider/chain_fault.h).
// The chain is judged at `at` (seconds since 1970 UTC) when given, else at the system's time.
std::optional<CryptError> chain_error(X509* leaf, const TrustMaterial& trust,
                                      const std::vector<X509Ptr>& carried,
                                      RevocationContext* revocation = nullptr,
                                      std::optional<std::int64_t> at = std::nullopt);

}  // namespace orvane::provider::openssl
