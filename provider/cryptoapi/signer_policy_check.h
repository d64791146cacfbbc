#pragma once

#include <windows.h>

#include <optional>

#include "provider/crypt_error.h"

namespace orvane::provider::cryptoapi {

// What this back end finds in certificates and signer infos, judged by the signer policy
// (provider/signer_policy.h): each gives the policy's code for what it refuses.

// A chain, leaf first and its trust anchor last: a certificate signed with a weak digest (the
// anchor's own signature is nobody's word but its own) or with a short RSA key.
std::optional<CryptError> weak_chain_error(const CERT_SIMPLE_CHAIN& chain);

// The signer's certificate: whether its usage extensions allow signing.
std::optional<CryptError> signer_usage_error(PCCERT_CONTEXT certificate);

// The signer's digest algorithm, by its dotted OID.
std::optional<CryptError> message_digest_error(const char* digest_algorithm);

}  // namespace orvane::provider::cryptoapi
