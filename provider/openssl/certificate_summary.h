#pragma once

#include "provider/openssl/handles.h"
#include "provider/store_administration.h"

namespace orvane::provider::openssl {

// The serial number, names and validity period of `certificate`, as people read them.
CertificateSummary summarize(X509* certificate);

// `name` in RFC 2253 form ("CN=Alice,O=Example"), UTF-8 left as it is; "?" when it cannot be
// written.
std::string name_text(const X509_NAME* name);

// `time` as "2026-12-06T19:35:44Z"; "?" when there is none or it cannot be read.
std::string time_text(const ASN1_TIME* time);

}  // namespace orvane::provider::openssl
