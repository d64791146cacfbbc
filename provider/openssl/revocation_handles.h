#pragma once

// Owning handles for the OpenSSL objects of revocation checking, as handles.h has them for the
// rest of this back end.

#include <openssl/ocsp.h>
#include <openssl/x509.h>

#include <memory>
#include <vector>

#include "provider/openssl/handles.h"

namespace orvane::provider::openssl {

// Frees a stack of CRLs together with its references to them.
struct FreeCrlStack {
  void operator()(STACK_OF(X509_CRL) * stack) const { sk_X509_CRL_pop_free(stack, X509_CRL_free); }
};

using X509CrlPtr = std::unique_ptr<X509_CRL, Free<X509_CRL_free>>;
using CrlStackPtr = std::unique_ptr<STACK_OF(X509_CRL), FreeCrlStack>;
using OcspRequestPtr = std::unique_ptr<OCSP_REQUEST, Free<OCSP_REQUEST_free>>;
using OcspResponsePtr = std::unique_ptr<OCSP_RESPONSE, Free<OCSP_RESPONSE_free>>;
using OcspBasicPtr = std::unique_ptr<OCSP_BASICRESP, Free<OCSP_BASICRESP_free>>;
using OcspCertIdPtr = std::unique_ptr<OCSP_CERTID, Free<OCSP_CERTID_free>>;
using DistPointsPtr = std::unique_ptr<CRL_DIST_POINTS, Free<CRL_DIST_POINTS_free>>;
using StringStackPtr = std::unique_ptr<STACK_OF(OPENSSL_STRING), Free<X509_email_free>>;

// Another reference to `crl`, which the caller keeps.
inline X509CrlPtr share(X509_CRL* crl) {
  X509_CRL_up_ref(crl);
  return X509CrlPtr(crl);
}

using CrlList = std::vector<X509CrlPtr>;

}  // namespace orvane::provider::openssl
