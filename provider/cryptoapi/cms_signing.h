#pragma once

#include <windows.h>
// After windows.h:
#include <wincrypt.h>

#include <memory>
#include <optional>
#include <vector>

#include "provider/message_writing.h"
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

// A signature over content that passes in blocks, made by the platform's detached encoder: it
// hashes the content as it passes and never keeps it. finish() signs (a card's key asks for its
// PIN there) and gives a detached signed-data message: SHA-256, the signer named by issuer and
// serial number, the content-type, message-digest and signing-time attributes, and the
// certificates of the request. The request's certificates must outlive the session. Opening the
// key fails as acquire_signing_key says; the rest with the platform's code.
std::unique_ptr<SignatureSession> start_signature(const SigningRequest& request);

}  // namespace orvane::provider::cryptoapi
