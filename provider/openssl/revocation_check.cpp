#include "provider/openssl/revocation_check.h"

#include "provider/openssl/certificate_summary.h"
#include "provider/openssl/revocation_fetch.h"

namespace orvane::provider::openssl {
namespace {

using State = CertificateStatus::State;

// The CRLs at hand: the message's first, then the store's.
std::vector<SourcedCrl> crls_at_hand(const TrustMaterial& trust, const RevocationContext& context) {
  std::vector<SourcedCrl> crls;
  for (const auto& crl : context.message_crls()) crls.push_back({share(crl.get()), "the message"});
  for (const auto& crl : trust.crls) crls.push_back({share(crl.get()), "the store's CRL/"});
  return crls;
}

// The certificates that may have signed a CRL: the chain's, the message's and the store's
// authorities (an indirect CRL's issuer need not be in the chain).
std::vector<X509*> crl_issuers(const std::vector<X509*>& chain, const std::vector<X509Ptr>& carried,
                               const TrustMaterial& trust) {
  std::vector<X509*> issuers = chain;
  for (const auto* list : {&carried, &trust.intermediates}) {
    for (const auto& certificate : *list) issuers.push_back(certificate.get());
  }
  return issuers;
}

std::string joined(const std::string& before, const std::string& more) {
  return before.empty() ? more : before + "; " + more;
}

// Asks the cache and, online, the network about every certificate whose status the CRLs at
// hand do not give.
void ask_network(const std::vector<X509*>& chain, const std::vector<X509*>& issuers,
                 const TrustMaterial& trust, RevocationContext& context,
                 const RevocationCache& cache, std::vector<SourcedCrl>& crls,
                 std::vector<CertificateStatus>& statuses) {
  std::vector<std::string> problems(statuses.size());
  bool fetched = false;
  for (std::size_t depth = 0; depth < statuses.size(); ++depth) {
    if (statuses[depth].state != State::unknown) continue;
    for (const auto& url : crl_distribution_urls(chain[depth])) {
      std::string problem;
      if (auto crl = fetch_crl(url, context, cache, problem)) {
        crls.push_back(std::move(*crl));
        fetched = true;
      } else {
        problems[depth] = joined(problems[depth], problem);
      }
    }
  }
  if (fetched) {
    crls = signed_by_known_issuers(std::move(crls), issuers);
    statuses = crl_statuses(chain, trust.trusted_roots.get(), crls);
  }
  const X509StackPtr untrusted(sk_X509_new_null());
  for (X509* certificate : chain) {
    X509Ptr reference = share(certificate);
    if (untrusted && sk_X509_push(untrusted.get(), reference.get()) > 0) reference.release();
  }
  for (std::size_t depth = 0; depth < statuses.size(); ++depth) {
    if (statuses[depth].state != State::unknown) continue;
    for (const auto& url : ocsp_urls(chain[depth])) {
      CertificateStatus status = ocsp_status(chain[depth], chain[depth + 1], url, untrusted.get(),
                                             trust.trusted_roots.get(), context, cache);
      if (status.state != State::unknown) {
        statuses[depth] = std::move(status);
        break;
      }
      problems[depth] = joined(problems[depth], status.source);
    }
    if (statuses[depth].state == State::unknown && !problems[depth].empty()) {
      statuses[depth].source = joined(statuses[depth].source, problems[depth]);
    }
  }
}

// Whether a revocation is dated after the signer's timestamp for a reason that leaves the
// signatures made before it standing. Both times are written alike ("2026-12-06T19:35:44Z"), so
// their texts compare as the times do.
bool after_timestamp(const CertificateStatus& status, const RevocationContext& context) {
  constexpr int key_compromise = 1;
  return !context.timestamp().empty() && !status.revoked_at.empty() &&
         status.revoked_at > context.timestamp() && status.reason != key_compromise;
}

void note(RevocationContext& context, X509* certificate, const CertificateStatus& status) {
  if (context.notes() == nullptr) return;
  const CertificateSummary summary = summarize(certificate);
  RevocationFinding finding;
  finding.status = status.state == State::revoked ? RevocationFinding::Status::revoked
                                                  : RevocationFinding::Status::unknown;
  finding.subject = summary.subject;
  finding.serial = summary.serial;
  finding.revoked_at = status.revoked_at;
  finding.reason = revocation_reason_name(status.reason);
  finding.source = status.source;
  context.notes()->add(std::move(finding));
}

}  // namespace

std::optional<CryptError> revocation_error(const std::vector<X509*>& chain,
                                           const std::vector<X509Ptr>& carried,
                                           const TrustMaterial& trust, RevocationContext& context) {
  if (context.mode() == RevocationCheck::none || chain.size() < 2) return std::nullopt;
  std::vector<SourcedCrl> crls = crls_at_hand(trust, context);
  const RevocationCache cache(context.store_root());
  // Nothing can be learned: a verification that needs no network costs nothing more.
  if (crls.empty() && !context.online() && !cache.present()) return std::nullopt;
  const std::vector<X509*> issuers = crl_issuers(chain, carried, trust);
  crls = signed_by_known_issuers(std::move(crls), issuers);
  std::vector<CertificateStatus> statuses = crl_statuses(chain, trust.trusted_roots.get(), crls);
  ask_network(chain, issuers, trust, context, cache, crls, statuses);

  std::optional<CryptError> error;
  for (std::size_t depth = 0; depth < statuses.size(); ++depth) {
    const CertificateStatus& status = statuses[depth];
    if (status.state == State::revoked && after_timestamp(status, context)) continue;
    if (status.state == State::revoked) {
      note(context, chain[depth], status);
      error = CryptError::revoked;
    } else if (status.state == State::unknown && context.online()) {
      note(context, chain[depth], status);
      if (context.mode() == RevocationCheck::require && !error) {
        error = CryptError::revocation_offline;
      }
    }
  }
  return error;
}

}  // namespace orvane::provider::openssl
