#pragma once

#include <windows.h>
// After windows.h:
#include <wincrypt.h>

#include <string_view>

#include "runtime/bytes.h"

namespace orvane::provider::cryptoapi {

// Checks that `signature`, as a signer info carries it, is the signature of `certificate`'s key
// over `digest`, a digest by the algorithm of the dotted OID `digest_algorithm`: RSA PKCS #1
// v1.5, or ECDSA (the DER signature value). The platform's own message check compares the
// content with a digest it took itself, and here it never sees the content, so the signature
// is checked over the digest taken as the content passed. NTE_BAD_SIGNATURE when it is not the
// key's; CRYPT_E_UNKNOWN_ALGO for a digest the platform cannot name; NTE_BAD_ALGID for a key of
// another kind; the platform's code when the key cannot be read.
void check_signature(PCCERT_CONTEXT certificate, std::string_view digest_algorithm, ByteView digest,
                     ByteView signature);

}  // namespace orvane::provider::cryptoapi
