#pragma once

#include <optional>

#include "provider/crypt_error.h"
#include "provider/provider.h"

namespace orvane::provider {

// Takes `attribute` as a signer's signing time: only that attribute exists (E_INVALIDARG for
// others), and a message carries one signing time only (CRYPT_E_EXISTS for a second).
inline void add_signing_time(std::optional<LocalDateTime>& signing_time,
                             const Attribute& attribute) {
  if (attribute.Name != AttributeName::signing_time) {
    throw crypt_failure(CryptError::invalid_parameter);
  }
  if (signing_time) throw crypt_failure(CryptError::exists);
  signing_time = attribute.Value;
}

}  // namespace orvane::provider
