#pragma once

#include "provider/crypt_error.h"
#include "provider/provider.h"

namespace orvane::provider {

// The certificate that a back end's `signer` signs with: E_INVALIDARG for a signer of another
// back end, CRYPT_E_NOT_FOUND when none is bound, NTE_NO_KEY when its store holds no key.
template <typename BackEndSigner>
const auto& signing_certificate(const Signer& signer) {
  const auto* ours = dynamic_cast<const BackEndSigner*>(&signer);
  if (ours == nullptr) throw crypt_failure(CryptError::invalid_parameter);
  const auto* certificate = ours->certificate();
  if (certificate == nullptr) throw crypt_failure(CryptError::not_found);
  if (!certificate->has_key()) throw crypt_failure(CryptError::no_key);
  return *certificate;
}

}  // namespace orvane::provider
