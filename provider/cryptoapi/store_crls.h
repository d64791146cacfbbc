#pragma once

// The revocation lists of the user's certificate stores, as `orvane store add-crl` and
// `orvane store list` see them: add_crl of provider/store_administration.h is implemented in
// store_crls.cpp. The chain engine reads them from the same stores.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "provider/store_administration.h"
#include "runtime/bytes.h"
#include "runtime/windows/owned.h"

namespace orvane::provider::cryptoapi {

// The DER of each PEM block `label` ("CERTIFICATE", "X509 CRL") of a file's bytes, in order.
std::vector<Bytes> pem_blocks(const std::vector<BYTE>& bytes, std::string_view label);

// The CRLs of a PEM or DER file's bytes; none when it holds none.
std::vector<windows::CrlContextHandle> crls_in(const std::vector<BYTE>& bytes);

// Whether a certificate of the user's Root or CA store with the CRL's issuer name signed it.
bool signed_by_user_authority(PCCRL_CONTEXT crl);

// Adds `crl` to the user's intermediate authorities store (CA), where the chain engine looks
// for CRLs, unless a newer one of the same issuer is there. Throws StoreError.
StoredCrl add_user_crl(PCCRL_CONTEXT crl);

// The CRLs of the user's CA and Root stores.
std::size_t user_crl_count();

}  // namespace orvane::provider::cryptoapi
