#pragma once

#include <optional>

#include "provider/crypt_error.h"
#include "provider/openssl/handles.h"

namespace orvane::provider::openssl {

// What this back end finds in certificates and signer infos, judged by the signer policy
// (provider/signer_policy.h): each gives the policy's code for what it refuses.

// A verified chain, leaf first and its trust anchor last: a certificate signed with a weak
// digest (the anchor's own signature is nobody's word but its own) or with a short RSA key.
std::optional<CryptError> weak_chain_error(STACK_OF(X509) * chain);

// The signer's certificate: whether its usage extensions allow signing.
std::optional<CryptError> signer_usage_error(X509* certificate);

// The signer's digest algorithm.
std::optional<CryptError> message_digest_error(CMS_SignerInfo* signer);

// The signer's content-type attribute against the type of content that `message` carries.
std::optional<CryptError> content_type_error(CMS_SignerInfo* signer, CMS_ContentInfo& message);

}  // namespace orvane::provider::openssl
