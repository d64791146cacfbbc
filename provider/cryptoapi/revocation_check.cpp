#include "provider/cryptoapi/revocation_check.h"

#include "provider/crypt_error.h"
#include "provider/cryptoapi/certificate_summary.h"

namespace orvane::provider::cryptoapi {
namespace {

constexpr DWORD unknown_status =
    CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;

// The reason code of a CRL entry, or -1 when it names none.
int reason_of(const CRL_ENTRY& entry) {
  const CERT_EXTENSION* extension =
      ::CertFindExtension(szOID_CRL_REASON_CODE, entry.cExtension, entry.rgExtension);
  int reason = -1;
  DWORD size = sizeof reason;
  if (extension == nullptr ||
      !::CryptDecodeObject(X509_ASN_ENCODING, X509_CRL_REASON_CODE, extension->Value.pbData,
                           extension->Value.cbData, 0, &reason, &size)) {
    return -1;
  }
  return reason;
}

std::int64_t seconds_of(const FILETIME& time) {
  constexpr std::int64_t seconds_1601_to_1970 = 11644473600;
  const std::uint64_t ticks =
      (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return static_cast<std::int64_t>(ticks / 10000000u) - seconds_1601_to_1970;
}

// Whether the element is revoked after `timestamp` for a reason that leaves earlier signatures
// standing, by the CRL entry that the engine names.
bool revoked_later(const CERT_CHAIN_ELEMENT& element, std::int64_t timestamp) {
  constexpr int key_compromise = 1;
  const CERT_REVOCATION_INFO* info = element.pRevocationInfo;
  if (info == nullptr || info->pCrlInfo == nullptr || info->pCrlInfo->pCrlEntry == nullptr) {
    return false;
  }
  const CRL_ENTRY& entry = *info->pCrlInfo->pCrlEntry;
  return seconds_of(entry.RevocationDate) > timestamp && reason_of(entry) != key_compromise;
}

// The platform's words for a revocation result, in English as every back end gives them.
std::string result_text(DWORD result) {
  for (const CryptError error :
       {CryptError::revoked, CryptError::no_revocation_check, CryptError::revocation_offline}) {
    if (static_cast<DWORD>(error) == result) return text_to_utf8(crypt_error_text(error));
  }
  char text[32];
  std::snprintf(text, sizeof text, "status 0x%08lX", static_cast<unsigned long>(result));
  return text;
}

}  // namespace

DWORD revocation_flags(RevocationCheck mode, CERT_CHAIN_PARA& parameters) {
  switch (mode) {
    case RevocationCheck::none:
      return 0;
    case RevocationCheck::offline:
      return CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT |
             CERT_CHAIN_REVOCATION_CHECK_CACHE_ONLY;
    case RevocationCheck::online:
    case RevocationCheck::require:
      break;
  }
  // The engine times each retrieval against what is left of this one limit.
  parameters.dwUrlRetrievalTimeout = 10000;
  return CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT |
         CERT_CHAIN_REVOCATION_ACCUMULATIVE_TIMEOUT;
}

DWORD accepted_revocation_status(RevocationCheck mode) {
  return mode == RevocationCheck::require ? 0 : unknown_status;
}

void note_revocation(const CERT_CHAIN_CONTEXT& chain, RevocationCheck mode, RevocationNotes& notes,
                     std::optional<std::int64_t> timestamp) {
  if (chain.cChain == 0 || mode == RevocationCheck::none) return;
  const CERT_SIMPLE_CHAIN& simple = *chain.rgpChain[0];
  const bool online = mode == RevocationCheck::online || mode == RevocationCheck::require;
  for (DWORD i = 0; i + 1 < simple.cElement; ++i) {
    const CERT_CHAIN_ELEMENT& element = *simple.rgpElement[i];
    const DWORD status = element.TrustStatus.dwErrorStatus;
    const bool revoked =
        (status & CERT_TRUST_IS_REVOKED) != 0 && !(timestamp && revoked_later(element, *timestamp));
    if (!revoked && !(online && (status & unknown_status))) continue;
    const CertificateSummary summary = summarize(element.pCertContext);
    RevocationFinding finding;
    finding.status =
        revoked ? RevocationFinding::Status::revoked : RevocationFinding::Status::unknown;
    finding.subject = summary.subject;
    finding.serial = summary.serial;
    const CERT_REVOCATION_INFO* info = element.pRevocationInfo;
    if (info != nullptr) {
      finding.source =
          revoked ? "the platform's revocation check" : result_text(info->dwRevocationResult);
      if (revoked && info->pCrlInfo != nullptr && info->pCrlInfo->pCrlEntry != nullptr) {
        finding.revoked_at = time_text(info->pCrlInfo->pCrlEntry->RevocationDate);
        finding.reason = revocation_reason_name(reason_of(*info->pCrlInfo->pCrlEntry));
      }
    }
    notes.add(std::move(finding));
  }
}

DWORD revocation_status(const CERT_CHAIN_CONTEXT& chain, std::int64_t timestamp) {
  DWORD status = 0;
  for (DWORD i = 0; i < chain.cChain; ++i) {
    const CERT_SIMPLE_CHAIN& simple = *chain.rgpChain[i];
    for (DWORD j = 0; j < simple.cElement; ++j) {
      const CERT_CHAIN_ELEMENT& element = *simple.rgpElement[j];
      DWORD bits = element.TrustStatus.dwErrorStatus & (CERT_TRUST_IS_REVOKED | unknown_status);
      if ((bits & CERT_TRUST_IS_REVOKED) != 0 && revoked_later(element, timestamp)) {
        bits &= ~static_cast<DWORD>(CERT_TRUST_IS_REVOKED);
      }
      status |= bits;
    }
  }
  return status;
}

}  // namespace orvane::provider::cryptoapi
