#pragma once

#include <string>
#include <vector>

#include "provider/openssl/revocation_handles.h"

namespace orvane::provider::openssl {

// A CRL and where it came from, for people ("the message", "the store", its URL).
struct SourcedCrl {
  X509CrlPtr crl;
  std::string source;
};

// What is known of one certificate's revocation.
struct CertificateStatus {
  enum class State { unknown, good, revoked };
  State state = State::unknown;
  std::string revoked_at;  // "2026-12-06T19:35:44Z" when revoked
  int reason = -1;         // the CRL reason code, or -1 when none is given
  std::string source;      // where the answer came from; what was tried, when unknown
};

// Only the CRLs of `crls` whose signature one of `issuers` verifies (a certificate with the
// CRL's issuer name): one that nobody at hand signed says nothing, and must not stand in the
// way of a genuine CRL of the same issuer that it would otherwise outrank by its date.
std::vector<SourcedCrl> signed_by_known_issuers(std::vector<SourcedCrl> crls,
                                                const std::vector<X509*>& issuers);

// The status, by RFC 5280's CRL processing over `crls`, of every certificate of `chain` (leaf
// first, ending in its trust anchor) but the anchor; `trusted` holds the anchor. A certificate
// is revoked only by a CRL that is valid in every respect (issuer, signature, validity period,
// scope, critical extensions), and good only when such a CRL covers it.
std::vector<CertificateStatus> crl_statuses(const std::vector<X509*>& chain, X509_STORE* trusted,
                                            const std::vector<SourcedCrl>& crls);

}  // namespace orvane::provider::openssl
