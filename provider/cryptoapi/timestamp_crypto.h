#pragma once

#include "provider/timestamping.h"

namespace orvane::provider::cryptoapi {

// Timestamps as this back end proves them: digests and random bytes through CNG, a token's
// signature through the same signer checks as a message's, and the authority's chain through
// the platform's chain engine and the user's stores. The platform's own time-stamp functions
// (CryptVerifyTimeStampSignature) are not used: Wine has none.
class CryptoapiTimestampCrypto final : public TimestampCrypto {
 public:
  // SHA-1, SHA-256, SHA-384 and SHA-512; empty for any other.
  Bytes digest(std::string_view algorithm, ByteView data) const override;
  Bytes random(std::size_t count) const override;
  std::string verify_token_signature(ByteView token, std::int64_t time,
                                     std::int64_t now) const override;
};

}  // namespace orvane::provider::cryptoapi
