#pragma once

// Revocation information from the network: a certificate's HTTP CRL distribution points and
// its OCSP responder, each answer kept in the cache until its nextUpdate. Offline, only the
// cache is read, as the platform's chain engine reads its URL cache.

#include <optional>
#include <string>
#include <vector>

#include "provider/openssl/crl_status.h"
#include "provider/openssl/revocation_cache.h"
#include "provider/openssl/revocation_context.h"

namespace orvane::provider::openssl {

// The http:// URLs of `certificate`'s CRL distribution points; of its OCSP responders.
// Other schemes (LDAP, HTTPS, files) are left out.
std::vector<std::string> crl_distribution_urls(X509* certificate);
std::vector<std::string> ocsp_urls(X509* certificate);

// The CRL at `url`: from the cache while its nextUpdate is to come, else fetched (and cached
// when it names a nextUpdate). Nothing when none can be had; `problem` then says why. The CRL
// is not checked here: the CRL processing judges it like any other.
std::optional<SourcedCrl> fetch_crl(const std::string& url, RevocationContext& context,
                                    const RevocationCache& cache, std::string& problem);

// What the OCSP responder at `url` says of `certificate`, issued by `issuer`. Only a response
// that is signed by the issuer or by a responder it authorised (verified up to `trusted`,
// with `untrusted` as intermediates) and that is current counts; anything else is unknown,
// with the reason as its source.
CertificateStatus ocsp_status(X509* certificate, X509* issuer, const std::string& url,
                              STACK_OF(X509) * untrusted, X509_STORE* trusted,
                              RevocationContext& context, const RevocationCache& cache);

}  // namespace orvane::provider::openssl
