#include "provider/openssl/chain_verification.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/objects.h>

#include <algorithm>
#include <climits>
#include <ctime>
#include <map>
#include <mutex>

#include "provider/chain_fault.h"
#include "provider/openssl/revocation_check.h"
#include "provider/openssl/signer_policy_check.h"
#include "provider/openssl/store_folder.h"
#include "provider/openssl/system_roots.h"

namespace orvane::provider::openssl {

LazyCertificates::LazyCertificates(std::function<std::vector<X509Ptr>()> read)
    : read_(std::move(read)) {}

const std::vector<X509Ptr>& LazyCertificates::get() const {
  std::call_once(read_once_, [this] { certificates_ = read_(); });
  return certificates_;
}

class VerifiedChains {
 public:
  // The chain of `key` when it verified and still holds at `now`; empty otherwise.
  std::vector<X509Ptr> holding(const std::string& key, std::int64_t now) {
    const std::lock_guard lock(mutex_);
    const auto found = chains_.find(key);
    if (found == chains_.end() || now < found->second.from || found->second.until < now) return {};
    std::vector<X509Ptr> chain;
    for (const auto& certificate : found->second.chain) chain.push_back(share(certificate.get()));
    return chain;
  }
  void add(std::string key, std::int64_t from, std::int64_t until, std::vector<X509Ptr> chain) {
    const std::lock_guard lock(mutex_);
    // Hostile messages could bring any number of chains: start afresh rather than grow.
    if (chains_.size() >= 256) chains_.clear();
    chains_[std::move(key)] = {from, until, std::move(chain)};
  }

 private:
  struct Verified {
    std::int64_t from = 0;
    std::int64_t until = 0;
    // Kept for the revocation check, which every verification makes again.
    std::vector<X509Ptr> chain;
  };
  std::mutex mutex_;
  std::map<std::string, Verified> chains_;
};

namespace {

ChainFault chain_fault_of(int verify_error) {
  switch (verify_error) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID:
    case X509_V_ERR_ERROR_IN_CERT_NOT_BEFORE_FIELD:
    case X509_V_ERR_ERROR_IN_CERT_NOT_AFTER_FIELD:
      return ChainFault::expired;
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_CERT_UNTRUSTED:
      return ChainFault::untrusted_root;
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
      return ChainFault::partial_chain;
    case X509_V_ERR_CERT_SIGNATURE_FAILURE:
    case X509_V_ERR_UNABLE_TO_DECRYPT_CERT_SIGNATURE:
    case X509_V_ERR_UNABLE_TO_DECODE_ISSUER_PUBLIC_KEY:
      return ChainFault::certificate_signature;
    case X509_V_ERR_INVALID_CA:
      return ChainFault::role;
    case X509_V_ERR_PATH_LENGTH_EXCEEDED:
      return ChainFault::path_length;
    case X509_V_ERR_INVALID_PURPOSE:
    case X509_V_ERR_KEYUSAGE_NO_CERTSIGN:
      return ChainFault::wrong_usage;
    case X509_V_ERR_UNHANDLED_CRITICAL_EXTENSION:
      return ChainFault::critical_extension;
    case X509_V_ERR_CERT_REVOKED:
      return ChainFault::revoked;
    case X509_V_ERR_INVALID_POLICY_EXTENSION:
    case X509_V_ERR_NO_EXPLICIT_POLICY:
      return ChainFault::invalid_policy;
    case X509_V_ERR_PERMITTED_VIOLATION:
    case X509_V_ERR_EXCLUDED_VIOLATION:
    case X509_V_ERR_SUBTREE_MINMAX:
    case X509_V_ERR_UNSUPPORTED_CONSTRAINT_TYPE:
    case X509_V_ERR_UNSUPPORTED_CONSTRAINT_SYNTAX:
    case X509_V_ERR_UNSUPPORTED_NAME_SYNTAX:
      return ChainFault::invalid_name;
    default:
      return ChainFault::other;
  }
}

// The certificates that may serve as intermediates, as the verifier takes them.
X509StackPtr untrusted_stack(const TrustMaterial& trust, const std::vector<X509Ptr>& carried,
                             bool with_personal) {
  X509StackPtr stack(sk_X509_new_null());
  if (!stack) throw crypt_failure(CryptError::message_error);
  const std::vector<X509Ptr> none;
  const auto& personal = with_personal && trust.personal ? trust.personal->get() : none;
  for (const auto* list : {&carried, &trust.intermediates, &personal}) {
    for (const auto& certificate : *list) {
      X509Ptr reference = share(certificate.get());
      if (sk_X509_push(stack.get(), reference.get()) <= 0) {
        throw crypt_failure(CryptError::message_error);
      }
      reference.release();  // the stack owns it now
    }
  }
  return stack;
}

struct VerifierRun {
  X509StackPtr untrusted;  // the context refers to it
  X509StoreCtxPtr context;
  // Every fault met on the way; on the heap, because the context refers to it.
  std::unique_ptr<ChainFaults> faults;
  bool verified = false;
};

// Runs the verifier over `leaf` at `at`, or the current time. It builds the whole chain past every
// error and records each, so that the fault reported is chosen as on every back end rather
// than by the order in which OpenSSL happens to meet them.
VerifierRun run_verifier(X509* leaf, const TrustMaterial& trust,
                         const std::vector<X509Ptr>& carried, bool with_personal,
                         std::optional<std::int64_t> at = std::nullopt) {
  VerifierRun run{untrusted_stack(trust, carried, with_personal),
                  X509StoreCtxPtr(X509_STORE_CTX_new()), std::make_unique<ChainFaults>()};
  if (!run.context || X509_STORE_CTX_init(run.context.get(), trust.trusted_roots.get(), leaf,
                                          run.untrusted.get()) != 1) {
    throw crypt_failure(CryptError::message_error);
  }
  // Policy processing as RFC 5280 sets it by default: any policy is acceptable (without
  // anyPolicy named here OpenSSL requires policies of the caller's that it has none of), and
  // the chain's own constraints decide from where a policy is required. The object is
  // OpenSSL's static one, which the parameters may own and never free.
  if (X509_VERIFY_PARAM_add0_policy(X509_STORE_CTX_get0_param(run.context.get()),
                                    OBJ_nid2obj(NID_any_policy)) != 1 ||
      X509_VERIFY_PARAM_set_flags(X509_STORE_CTX_get0_param(run.context.get()),
                                  X509_V_FLAG_POLICY_CHECK) != 1 ||
      X509_STORE_CTX_set_app_data(run.context.get(), run.faults.get()) != 1) {
    throw crypt_failure(CryptError::message_error);
  }
  if (at) X509_VERIFY_PARAM_set_time(X509_STORE_CTX_get0_param(run.context.get()), *at);
  X509_STORE_CTX_set_verify_cb(run.context.get(), [](int ok, X509_STORE_CTX* context) {
    if (ok == 0) {
      static_cast<ChainFaults*>(X509_STORE_CTX_get_app_data(context))
          ->add(chain_fault_of(X509_STORE_CTX_get_error(context)));
    }
    return 1;
  });
  const bool completed = X509_verify_cert(run.context.get()) == 1;
  if (!completed && run.faults->empty()) run.faults->add(ChainFault::other);
  run.verified = run.faults->empty();
  ERR_clear_error();
  return run;
}

// What a chain is built from besides the trust material: the leaf and the certificates that
// came with it, each by its SHA-1 fingerprint. Empty when one cannot be taken.
std::string chain_key(X509* leaf, const std::vector<X509Ptr>& carried) {
  std::string key;
  const auto add = [&key](X509* certificate) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (X509_digest(certificate, EVP_sha1(), digest, &length) != 1) return false;
    key.append(reinterpret_cast<const char*>(digest), length);
    return true;
  };
  if (!add(leaf)) return {};
  for (const auto& certificate : carried) {
    if (!add(certificate.get())) return {};
  }
  return key;
}

}  // namespace

namespace {

TrustMaterial read_trust(const StoreRoot& root) {
  // The material lives in `root`, which therefore outlives the reading of My/.
  TrustMaterial trust{X509StorePtr(X509_STORE_new()),
                      {},
                      std::make_shared<const LazyCertificates>([&root] {
                        return root.load_folder("My", FolderParts::certificates).certificates;
                      }),
                      std::make_shared<VerifiedChains>(),
                      {}};
  X509_STORE* roots = trust.trusted_roots.get();
  if (roots == nullptr || !add_system_roots(roots, root)) {
    throw crypt_failure(CryptError::message_error);
  }
  for (const auto& certificate : root.load_folder("Root", FolderParts::certificates).certificates) {
    X509_STORE_add_cert(roots, certificate.get());
  }
  trust.intermediates = root.load_folder("CA", FolderParts::certificates).certificates;
  trust.crls = root.load_folder("CRL", FolderParts::certificates).crls;
  ERR_clear_error();
  return trust;
}

}  // namespace

std::shared_ptr<const TrustMaterial> load_trust(const StoreRoot& root) {
  return root.trust([&root] { return read_trust(root); });
}

bool is_root(X509* certificate) {
  const bool root = X509_self_signed(certificate, 1) == 1;
  ERR_clear_error();
  return root;
}

std::vector<X509Ptr> build_chain(X509* leaf, const TrustMaterial& trust,
                                 const std::vector<X509Ptr>& carried) {
  VerifierRun run = run_verifier(leaf, trust, carried, false);
  STACK_OF(X509)* built = X509_STORE_CTX_get0_chain(run.context.get());
  const int length = sk_X509_num(built);
  const bool ends_in_root = length > 0 && is_root(sk_X509_value(built, length - 1));
  if (!ends_in_root) {
    run = run_verifier(leaf, trust, carried, true);
    built = X509_STORE_CTX_get0_chain(run.context.get());
  }
  std::vector<X509Ptr> chain;
  for (int i = 0; i < sk_X509_num(built); ++i) chain.push_back(share(sk_X509_value(built, i)));
  if (chain.empty()) chain.push_back(share(leaf));
  return chain;
}

namespace {

// Keeps a chain that verified for as long as every certificate of it is within its validity
// period.
void remember(const TrustMaterial& trust, std::string key, const std::vector<X509Ptr>& chain) {
  if (!trust.verified_chains || key.empty()) return;
  std::int64_t from = INT64_MIN;
  std::int64_t until = INT64_MAX;
  for (const auto& certificate : chain) {
    const auto not_before = seconds_of(X509_get0_notBefore(certificate.get()));
    const auto not_after = seconds_of(X509_get0_notAfter(certificate.get()));
    if (!not_before || !not_after) return;
    from = std::max(from, *not_before);
    until = std::min(until, *not_after);
  }
  std::vector<X509Ptr> kept;
  for (const auto& certificate : chain) kept.push_back(share(certificate.get()));
  trust.verified_chains->add(std::move(key), from, until, std::move(kept));
}

}  // namespace

std::optional<CryptError> chain_error(X509* leaf, const TrustMaterial& trust,
                                      const std::vector<X509Ptr>& carried,
                                      RevocationContext* revocation,
                                      std::optional<std::int64_t> at) {
  const std::string key = chain_key(leaf, carried);
  const auto now = at ? *at : static_cast<std::int64_t>(std::time(nullptr));
  std::vector<X509Ptr> chain;
  if (trust.verified_chains && !key.empty()) chain = trust.verified_chains->holding(key, now);
  if (chain.empty()) {
    VerifierRun run = run_verifier(leaf, trust, carried, false, now);
    if (!run.verified) run = run_verifier(leaf, trust, carried, true, now);
    if (!run.verified) return run.faults->crypt_error();
    STACK_OF(X509)* built = X509_STORE_CTX_get0_chain(run.context.get());
    if (const auto weak = weak_chain_error(built)) return weak;
    for (int i = 0; i < sk_X509_num(built); ++i) chain.push_back(share(sk_X509_value(built, i)));
    remember(trust, key, chain);
  }
  if (revocation == nullptr) return std::nullopt;
  std::vector<X509*> certificates;
  for (const auto& certificate : chain) certificates.push_back(certificate.get());
  return revocation_error(certificates, carried, trust, *revocation);
}

}  // namespace orvane::provider::openssl
