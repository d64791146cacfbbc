#include "provider/openssl/crl_status.h"

#include <openssl/err.h>
#include <openssl/x509v3.h>

#include "provider/crypt_error.h"
#include "provider/openssl/certificate_summary.h"

namespace orvane::provider::openssl {
namespace {

// What the verifier reported at one depth of the chain.
struct DepthReport {
  bool revoked = false;
  bool no_information = false;  // no CRL, or the chosen one is not valid in some respect
};

// The verifier's errors that make a CRL say nothing about the certificate it was chosen for.
bool is_crl_fault(int error) {
  switch (error) {
    case X509_V_ERR_UNABLE_TO_GET_CRL:
    case X509_V_ERR_UNABLE_TO_DECRYPT_CRL_SIGNATURE:
    case X509_V_ERR_CRL_SIGNATURE_FAILURE:
    case X509_V_ERR_CRL_NOT_YET_VALID:
    case X509_V_ERR_CRL_HAS_EXPIRED:
    case X509_V_ERR_ERROR_IN_CRL_LAST_UPDATE_FIELD:
    case X509_V_ERR_ERROR_IN_CRL_NEXT_UPDATE_FIELD:
    case X509_V_ERR_UNABLE_TO_GET_CRL_ISSUER:
    case X509_V_ERR_KEYUSAGE_NO_CRL_SIGN:
    case X509_V_ERR_UNHANDLED_CRITICAL_CRL_EXTENSION:
    case X509_V_ERR_DIFFERENT_CRL_SCOPE:
    case X509_V_ERR_CRL_PATH_VALIDATION_ERROR:
      return true;
    default:
      return false;
  }
}

// The revocation entry of `certificate` in the first CRL that lists it, with that CRL.
CertificateStatus revoked_status(X509* certificate, const std::vector<SourcedCrl>& crls) {
  CertificateStatus status;
  status.state = CertificateStatus::State::revoked;
  for (const auto& [crl, source] : crls) {
    X509_REVOKED* entry = nullptr;
    if (X509_CRL_get0_by_cert(crl.get(), &entry, certificate) != 1 || entry == nullptr) continue;
    status.revoked_at = time_text(X509_REVOKED_get0_revocationDate(entry));
    const std::unique_ptr<ASN1_ENUMERATED, Free<ASN1_ENUMERATED_free>> reason(
        static_cast<ASN1_ENUMERATED*>(
            X509_REVOKED_get_ext_d2i(entry, NID_crl_reason, nullptr, nullptr)));
    if (reason) status.reason = static_cast<int>(ASN1_ENUMERATED_get(reason.get()));
    status.source = source;
    break;
  }
  return status;
}

}  // namespace

std::vector<SourcedCrl> signed_by_known_issuers(std::vector<SourcedCrl> crls,
                                                const std::vector<X509*>& issuers) {
  std::vector<SourcedCrl> kept;
  for (auto& sourced : crls) {
    for (X509* issuer : issuers) {
      if (X509_NAME_cmp(X509_get_subject_name(issuer), X509_CRL_get_issuer(sourced.crl.get())) !=
          0) {
        continue;
      }
      EVP_PKEY* key = X509_get0_pubkey(issuer);
      if (key != nullptr && X509_CRL_verify(sourced.crl.get(), key) == 1) {
        kept.push_back(std::move(sourced));
        break;
      }
    }
  }
  ERR_clear_error();
  return kept;
}

namespace {

// The certificates above the leaf, as the untrusted ones that the context may chain through.
X509StackPtr issuers_stack(const std::vector<X509*>& chain) {
  X509StackPtr stack(sk_X509_new_null());
  if (!stack) throw crypt_failure(CryptError::message_error);
  for (std::size_t i = 1; i < chain.size(); ++i) {
    X509Ptr reference = share(chain[i]);
    if (sk_X509_push(stack.get(), reference.get()) <= 0) {
      throw crypt_failure(CryptError::message_error);
    }
    static_cast<void>(reference.release());  // the stack owns it now
  }
  return stack;
}

CrlStackPtr crl_stack_of(const std::vector<SourcedCrl>& crls) {
  CrlStackPtr stack(sk_X509_CRL_new_null());
  if (!stack) throw crypt_failure(CryptError::message_error);
  for (const auto& sourced : crls) {
    X509CrlPtr reference = share(sourced.crl.get());
    if (sk_X509_CRL_push(stack.get(), reference.get()) <= 0) {
      throw crypt_failure(CryptError::message_error);
    }
    static_cast<void>(reference.release());
  }
  return stack;
}

// Notes, for each depth, whether a CRL showed it revoked or could not speak for it.
int note_crl_finding(int ok, X509_STORE_CTX* context) {
  auto& depths = *static_cast<std::vector<DepthReport>*>(X509_STORE_CTX_get_app_data(context));
  const int depth = X509_STORE_CTX_get_error_depth(context);
  const int error = X509_STORE_CTX_get_error(context);
  if (ok == 0 && depth >= 0 && static_cast<std::size_t>(depth) < depths.size()) {
    if (error == X509_V_ERR_CERT_REVOKED) depths[static_cast<std::size_t>(depth)].revoked = true;
    if (is_crl_fault(error)) depths[static_cast<std::size_t>(depth)].no_information = true;
  }
  // The chain itself was judged before; only what the CRLs say is wanted here.
  return 1;
}

}  // namespace

std::vector<CertificateStatus> crl_statuses(const std::vector<X509*>& chain, X509_STORE* trusted,
                                            const std::vector<SourcedCrl>& crls) {
  std::vector<CertificateStatus> statuses(chain.size() > 0 ? chain.size() - 1 : 0);
  if (statuses.empty()) return statuses;
  if (crls.empty()) {
    for (auto& status : statuses) status.source = "no CRL at hand";
    return statuses;
  }
  // The context refers to both stacks, and the callback to the reports, until it is freed.
  const X509StackPtr untrusted = issuers_stack(chain);
  const CrlStackPtr crl_stack = crl_stack_of(crls);
  std::vector<DepthReport> reports(chain.size());
  const X509StoreCtxPtr context(X509_STORE_CTX_new());
  if (!context ||
      X509_STORE_CTX_init(context.get(), trusted, chain.front(), untrusted.get()) != 1 ||
      X509_STORE_CTX_set_app_data(context.get(), &reports) != 1) {
    throw crypt_failure(CryptError::message_error);
  }
  X509_STORE_CTX_set0_crls(context.get(), crl_stack.get());
  X509_VERIFY_PARAM_set_flags(X509_STORE_CTX_get0_param(context.get()),
                              X509_V_FLAG_CRL_CHECK | X509_V_FLAG_CRL_CHECK_ALL |
                                  X509_V_FLAG_EXTENDED_CRL_SUPPORT | X509_V_FLAG_USE_DELTAS);
  X509_STORE_CTX_set_verify_cb(context.get(), note_crl_finding);
  X509_verify_cert(context.get());
  ERR_clear_error();
  for (std::size_t depth = 0; depth < statuses.size(); ++depth) {
    const DepthReport& report = reports[depth];
    if (report.no_information) {
      statuses[depth].source = "no valid CRL at hand";
    } else if (report.revoked) {
      statuses[depth] = revoked_status(chain[depth], crls);
    } else {
      statuses[depth] = {CertificateStatus::State::good, {}, -1, "a CRL"};
    }
  }
  return statuses;
}

}  // namespace orvane::provider::openssl
