#pragma once

#include <windows.h>

#include <optional>
#include <vector>

#include "runtime/bytes.h"
#include "runtime/clock.h"

namespace orvane::provider::cryptoapi {

// What one signature is made with.
struct SigningRequest {
  PCCERT_CONTEXT certificate = nullptr;  // with the key-provider property
  // Certificates carried for the verifier besides the signer's own: its chain without the root.
  std::vector<PCCERT_CONTEXT> carried;
  // The signing-time attribute; the current time when none is given.
  std::optional<LocalDateTime> signing_time;
};

// The DER ContentInfo of a signed-data message over `content`: SHA-256, the signer named by
// issuer and serial number, and the content-type, message-digest and signing-time attributes.
// Fails with the platform's code.
Bytes sign_content(const SigningRequest& request, ByteView content, bool detached);

}  // namespace orvane::provider::cryptoapi
