#pragma once

#include <windows.h>

#include "provider/store_administration.h"

namespace orvane::provider::cryptoapi {

// The serial number, names and validity period of `certificate`, as people read them and as
// the OpenSSL back end shows them.
CertificateSummary summarize(PCCERT_CONTEXT certificate);

// `name` in RFC 2253 form ("CN=Alice,O=Example"), as the OpenSSL back end writes it.
std::string name_text(const CERT_NAME_BLOB& name);

// `time` as "2026-12-06T19:35:44Z"; empty when it is no time.
std::string time_text(const FILETIME& time);

// Whether `certificate` names itself as a certificate authority (basic constraints CA:TRUE).
bool is_certificate_authority(PCCERT_CONTEXT certificate);

}  // namespace orvane::provider::cryptoapi
