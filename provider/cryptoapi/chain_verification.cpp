#include "provider/cryptoapi/chain_verification.h"

#include "provider/cryptoapi/platform_error.h"

namespace orvane::provider::cryptoapi {

CertificateList build_chain(PCCERT_CONTEXT certificate) {
  CERT_CHAIN_PARA parameters{};
  parameters.cbSize = sizeof parameters;
  PCCERT_CHAIN_CONTEXT built = nullptr;
  if (!::CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore,
                                 &parameters, 0, nullptr, &built)) {
    throw last_platform_failure();
  }
  const ChainHandle chain(built);
  CertificateList certificates;
  if (chain->cChain == 0) return certificates;
  const CERT_SIMPLE_CHAIN& simple = *chain->rgpChain[0];
  for (DWORD i = 0; i < simple.cElement; ++i) {
    certificates.push_back(std::make_shared<CryptoapiCertificate>(CertificateContextHandle(
        ::CertDuplicateCertificateContext(simple.rgpElement[i]->pCertContext))));
  }
  return certificates;
}

bool is_self_issued(PCCERT_CONTEXT certificate) {
  return ::CertCompareCertificateName(X509_ASN_ENCODING, &certificate->pCertInfo->Subject,
                                      &certificate->pCertInfo->Issuer) != FALSE;
}

}  // namespace orvane::provider::cryptoapi
