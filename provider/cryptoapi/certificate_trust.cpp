#include "provider/cryptoapi/certificate_trust.h"

#include "provider/cryptoapi/handles.h"

namespace orvane::provider::cryptoapi {

std::optional<CryptError> certificate_trust_error(PCCERT_CONTEXT certificate) {
  CERT_CHAIN_PARA parameters{};
  parameters.cbSize = sizeof parameters;
  PCCERT_CHAIN_CONTEXT built = nullptr;
  if (!::CertGetCertificateChain(nullptr, certificate, nullptr, nullptr, &parameters, 0, nullptr,
                                 &built)) {
    return CryptError::trust_failure;
  }
  const ChainHandle chain(built);
  CERT_CHAIN_POLICY_PARA policy{};
  policy.cbSize = sizeof policy;
  CERT_CHAIN_POLICY_STATUS status{};
  status.cbSize = sizeof status;
  if (!::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_BASE, chain.get(), &policy, &status)) {
    return CryptError::trust_failure;
  }
  if (status.dwError != 0) return static_cast<CryptError>(status.dwError);
  // Wine's base policy passes a chain that ends short of a root.
  if (chain->TrustStatus.dwErrorStatus != CERT_TRUST_NO_ERROR) return CryptError::chaining;
  return std::nullopt;
}

}  // namespace orvane::provider::cryptoapi
