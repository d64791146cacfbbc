#pragma once

#include <memory>

#include "provider/openssl/chain_verification.h"
#include "provider/timestamping.h"

namespace orvane::provider::openssl {

// Timestamps as OpenSSL proves them: a token's signature through its CMS functions, and the
// authority's chain against the same trust material as every signer's.
class OpensslTimestampCrypto final : public TimestampCrypto {
 public:
  explicit OpensslTimestampCrypto(std::shared_ptr<const TrustMaterial> trust);

  Bytes digest(std::string_view algorithm, ByteView data) const override;
  Bytes random(std::size_t count) const override;
  std::string verify_token_signature(ByteView token, std::int64_t time,
                                     std::int64_t now) const override;

 private:
  std::shared_ptr<const TrustMaterial> trust_;
};

}  // namespace orvane::provider::openssl
