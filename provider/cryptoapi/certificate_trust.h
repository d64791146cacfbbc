#pragma once

#include <windows.h>

#include <optional>

#include "provider/crypt_error.h"

namespace orvane::provider::cryptoapi {

// Nothing when `certificate` chains to a root the user trusts and the chain holds now, as a
// verification with certificates judges it; otherwise the code of the first fault.
std::optional<CryptError> certificate_trust_error(PCCERT_CONTEXT certificate);

}  // namespace orvane::provider::cryptoapi
