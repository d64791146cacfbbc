#include "provider/cryptoapi/chain_verification.h"

#include <array>
#include <utility>

#include "provider/chain_fault.h"
#include "provider/cryptoapi/file_time.h"
#include "provider/cryptoapi/platform_error.h"
#include "provider/cryptoapi/revocation_check.h"
#include "provider/cryptoapi/signer_policy_check.h"

namespace orvane::provider::cryptoapi {
namespace {

windows::ChainHandle get_chain(PCCERT_CONTEXT certificate, HCERTSTORE additional,
                               RevocationCheck revocation = RevocationCheck::none,
                               std::optional<std::int64_t> at = std::nullopt) {
  CERT_CHAIN_PARA parameters{};
  parameters.cbSize = sizeof parameters;
  const DWORD flags = revocation_flags(revocation, parameters);
  FILETIME moment = at ? file_time_of(*at) : FILETIME{};
  PCCERT_CHAIN_CONTEXT built = nullptr;
  if (!::CertGetCertificateChain(nullptr, certificate, at ? &moment : nullptr,
                                 additional != nullptr ? additional : certificate->hCertStore,
                                 &parameters, flags, nullptr, &built)) {
    throw last_platform_failure();
  }
  return windows::ChainHandle(built);
}

// A time-nesting fault is one that the base policy ignores.
constexpr DWORD ignored_status = CERT_TRUST_IS_NOT_TIME_NESTED;

constexpr std::array<std::pair<DWORD, ChainFault>, 20> status_faults = {{
    {CERT_TRUST_IS_NOT_TIME_VALID, ChainFault::expired},
    {CERT_TRUST_IS_REVOKED, ChainFault::revoked},
    {CERT_TRUST_IS_NOT_SIGNATURE_VALID, ChainFault::certificate_signature},
    {CERT_TRUST_HAS_WEAK_SIGNATURE, ChainFault::certificate_signature},
    {CERT_TRUST_IS_NOT_VALID_FOR_USAGE, ChainFault::wrong_usage},
    {CERT_TRUST_IS_UNTRUSTED_ROOT, ChainFault::untrusted_root},
    {CERT_TRUST_IS_CYCLIC, ChainFault::partial_chain},
    {CERT_TRUST_IS_PARTIAL_CHAIN, ChainFault::partial_chain},
    {CERT_TRUST_INVALID_EXTENSION, ChainFault::critical_extension},
    {CERT_TRUST_HAS_NOT_SUPPORTED_CRITICAL_EXT, ChainFault::critical_extension},
    {CERT_TRUST_INVALID_POLICY_CONSTRAINTS, ChainFault::invalid_policy},
    {CERT_TRUST_NO_ISSUANCE_CHAIN_POLICY, ChainFault::invalid_policy},
    {CERT_TRUST_INVALID_BASIC_CONSTRAINTS, ChainFault::role},
    {CERT_TRUST_INVALID_NAME_CONSTRAINTS, ChainFault::invalid_name},
    {CERT_TRUST_HAS_NOT_SUPPORTED_NAME_CONSTRAINT, ChainFault::invalid_name},
    {CERT_TRUST_HAS_NOT_DEFINED_NAME_CONSTRAINT, ChainFault::invalid_name},
    {CERT_TRUST_HAS_NOT_PERMITTED_NAME_CONSTRAINT, ChainFault::invalid_name},
    {CERT_TRUST_HAS_EXCLUDED_NAME_CONSTRAINT, ChainFault::invalid_name},
    {CERT_TRUST_REVOCATION_STATUS_UNKNOWN, ChainFault::revocation_unknown},
    {CERT_TRUST_IS_OFFLINE_REVOCATION, ChainFault::revocation_unknown},
}};

ChainFaults faults_of(DWORD status, RevocationCheck revocation) {
  ChainFaults faults;
  DWORD rest = status & ~ignored_status & ~accepted_revocation_status(revocation);
  for (const auto& [bit, fault] : status_faults) {
    if (rest & bit) faults.add(fault);
    rest &= ~bit;
  }
  // Any status bit not named here (distrust, certificate trust lists) is still a fault.
  if (rest != 0) faults.add(ChainFault::other);
  return faults;
}

}  // namespace

CertificateList build_chain(PCCERT_CONTEXT certificate, HCERTSTORE additional) {
  const windows::ChainHandle chain = get_chain(certificate, additional);
  CertificateList certificates;
  if (chain.get()->cChain == 0) return certificates;
  const CERT_SIMPLE_CHAIN& simple = *chain.get()->rgpChain[0];
  for (DWORD i = 0; i < simple.cElement; ++i) {
    certificates.push_back(std::make_shared<CryptoapiCertificate>(windows::CertificateContextHandle(
        ::CertDuplicateCertificateContext(simple.rgpElement[i]->pCertContext))));
  }
  return certificates;
}

std::optional<CryptError> chain_error(PCCERT_CONTEXT certificate, HCERTSTORE additional,
                                      const Policy* revocation, const ChainMoment& moment) {
  const RevocationCheck mode = revocation ? revocation->revocation : RevocationCheck::none;
  RevocationNotes* notes = revocation ? revocation->revocation_notes.get() : nullptr;
  // After a timestamp, revocation is a question about now, and the chain at the timestamp's time
  // cannot answer it: a second chain, built now, does.
  const bool revocation_now = moment.timestamp && mode != RevocationCheck::none;
  const windows::ChainHandle chain =
      get_chain(certificate, additional, revocation_now ? RevocationCheck::none : mode,
                moment.timestamp ? moment.timestamp : moment.now);
  DWORD trust_status = chain.get()->TrustStatus.dwErrorStatus;
  if (revocation_now) {
    const windows::ChainHandle current = get_chain(certificate, additional, mode, moment.now);
    if (notes != nullptr) note_revocation(*current.get(), mode, *notes, moment.timestamp);
    trust_status |= revocation_status(*current.get(), *moment.timestamp);
  } else if (notes != nullptr) {
    note_revocation(*chain.get(), mode, *notes);
  }
  if (const auto error = faults_of(trust_status, mode).crypt_error()) return error;
  // Both must hold: Wine's base policy passes chains whose status has faults, and on Windows
  // the policy may refuse what the status does not show.
  CERT_CHAIN_POLICY_PARA policy{};
  policy.cbSize = sizeof policy;
  // An unknown revocation status that is acceptable was let pass above.
  if (accepted_revocation_status(mode) != 0) {
    policy.dwFlags = CERT_CHAIN_POLICY_IGNORE_ALL_REV_UNKNOWN_FLAGS;
  }
  CERT_CHAIN_POLICY_STATUS status{};
  status.cbSize = sizeof status;
  if (!::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_BASE, chain.get(), &policy, &status)) {
    throw last_platform_failure();
  }
  if (status.dwError != 0) return crypt_error_of(ChainFault::other);
  if (chain.get()->cChain == 0) return crypt_error_of(ChainFault::partial_chain);
  for (DWORD i = 0; i < chain.get()->cChain; ++i) {
    if (const auto weak = weak_chain_error(*chain.get()->rgpChain[i])) return weak;
  }
  return std::nullopt;
}

bool is_root(PCCERT_CONTEXT certificate) {
  return ::CertCompareCertificateName(X509_ASN_ENCODING, &certificate->pCertInfo->Subject,
                                      &certificate->pCertInfo->Issuer) &&
         ::CryptVerifyCertificateSignatureEx(
             0, X509_ASN_ENCODING, CRYPT_VERIFY_CERT_SIGN_SUBJECT_CERT,
             const_cast<CERT_CONTEXT*>(certificate), CRYPT_VERIFY_CERT_SIGN_ISSUER_CERT,
             const_cast<CERT_CONTEXT*>(certificate), 0, nullptr);
}

}  // namespace orvane::provider::cryptoapi
