#pragma once

#include "runtime/bytes.h"

namespace orvane::provider::cryptoapi {

// The digest of `content` with the digest algorithm of the dotted OID `digest_algorithm`,
// taken piece by piece where the content lies. CRYPT_E_UNKNOWN_ALGO for an algorithm that is
// no digest the platform knows.
Bytes content_hash(const char* digest_algorithm, ByteView content);

}  // namespace orvane::provider::cryptoapi
