#include "provider/openssl/chain_verification.h"

#include <openssl/err.h>

#include "provider/openssl/store_folder.h"
#include "provider/openssl/system_roots.h"

namespace orvane::provider::openssl {
namespace {

CryptError crypt_error_of(int verify_error) {
  switch (verify_error) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID:
    case X509_V_ERR_ERROR_IN_CERT_NOT_BEFORE_FIELD:
    case X509_V_ERR_ERROR_IN_CERT_NOT_AFTER_FIELD:
      return CryptError::expired;
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_CERT_UNTRUSTED:
      return CryptError::untrusted_root;
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
      return CryptError::chaining;
    case X509_V_ERR_CERT_SIGNATURE_FAILURE:
    case X509_V_ERR_UNABLE_TO_DECRYPT_CERT_SIGNATURE:
    case X509_V_ERR_UNABLE_TO_DECODE_ISSUER_PUBLIC_KEY:
      return CryptError::certificate_signature;
    case X509_V_ERR_INVALID_CA:
      return CryptError::role;
    case X509_V_ERR_PATH_LENGTH_EXCEEDED:
      return CryptError::path_length;
    case X509_V_ERR_INVALID_PURPOSE:
    case X509_V_ERR_KEYUSAGE_NO_CERTSIGN:
      return CryptError::wrong_usage;
    case X509_V_ERR_UNHANDLED_CRITICAL_EXTENSION:
      return CryptError::critical_extension;
    case X509_V_ERR_CERT_REVOKED:
      return CryptError::revoked;
    default:
      return CryptError::trust_failure;
  }
}

// Every certificate that may serve as an intermediate, as the verifier takes them.
X509StackPtr untrusted_stack(const TrustMaterial& trust, const std::vector<X509Ptr>& carried) {
  X509StackPtr stack(sk_X509_new_null());
  if (!stack) throw crypt_failure(CryptError::message_error);
  for (const auto* list : {&carried, &trust.intermediates}) {
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
  bool verified = false;
};

// Runs the verifier over `leaf` at the current time; `keep_going` builds the whole chain past
// every error instead of stopping at the first.
VerifierRun run_verifier(X509* leaf, const TrustMaterial& trust,
                         const std::vector<X509Ptr>& carried, bool keep_going) {
  VerifierRun run{untrusted_stack(trust, carried), X509StoreCtxPtr(X509_STORE_CTX_new())};
  if (!run.context || X509_STORE_CTX_init(run.context.get(), trust.trusted_roots.get(), leaf,
                                          run.untrusted.get()) != 1) {
    throw crypt_failure(CryptError::message_error);
  }
  if (keep_going) {
    X509_STORE_CTX_set_verify_cb(run.context.get(), [](int, X509_STORE_CTX*) { return 1; });
  }
  run.verified = X509_verify_cert(run.context.get()) == 1;
  ERR_clear_error();
  return run;
}

}  // namespace

TrustMaterial load_trust(const StoreRoot& root) {
  TrustMaterial trust{X509StorePtr(X509_STORE_new()), {}};
  X509_STORE* roots = trust.trusted_roots.get();
  if (roots == nullptr || !add_system_roots(roots, root)) {
    throw crypt_failure(CryptError::message_error);
  }
  for (const auto& certificate : root.load_folder("Root", FolderParts::certificates).certificates) {
    X509_STORE_add_cert(roots, certificate.get());
  }
  for (const char* folder : {"CA", "My"}) {
    auto certificates = root.load_folder(folder, FolderParts::certificates).certificates;
    std::move(certificates.begin(), certificates.end(), std::back_inserter(trust.intermediates));
  }
  ERR_clear_error();
  return trust;
}

std::vector<X509Ptr> build_chain(X509* leaf, const TrustMaterial& trust,
                                 const std::vector<X509Ptr>& carried) {
  const VerifierRun run = run_verifier(leaf, trust, carried, true);
  std::vector<X509Ptr> chain;
  STACK_OF(X509)* built = X509_STORE_CTX_get0_chain(run.context.get());
  for (int i = 0; i < sk_X509_num(built); ++i) chain.push_back(share(sk_X509_value(built, i)));
  if (chain.empty()) chain.push_back(share(leaf));
  return chain;
}

std::optional<CryptError> chain_error(X509* leaf, const TrustMaterial& trust,
                                      const std::vector<X509Ptr>& carried) {
  const VerifierRun run = run_verifier(leaf, trust, carried, false);
  if (run.verified) return std::nullopt;
  return crypt_error_of(X509_STORE_CTX_get_error(run.context.get()));
}

}  // namespace orvane::provider::openssl
