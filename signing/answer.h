#pragma once

#include <cstdint>
#include <utility>

#include "runtime/text.h"

namespace orvane {
class Failure;
}

namespace orvane::signing {

// What a method of Sign found out, as data: what a host program or the `orvane` command acts
// on. The text that the method answers with is made from it by one table (Answer::text).
enum class Outcome {
  success,
  // Signfile, while choosing the certificate.
  no_certificate,    // no certificate of the serial number, with its key, valid now
  store_unreadable,  // a store could not be opened or searched (the provider failed)
  selection_failed,  // the provider failed while the candidates were compared or bound
  selection_error,   // the runtime failed while choosing (its own description and number)
  // Signfile, once the certificate is bound.
  signing_failed,
  // Verify and VerifyCodeWithFile.
  not_the_login_certificate,  // a valid signature by another certificate than the one named
  original_unreadable,        // the signed file or the message could not be read
  signature_unreadable,       // detached: the signature file could not be read
  verification_error,         // detached: the runtime failed after the content was handed over
  not_valid,                  // detached: the signature, the chain or the signer was refused
  message_not_valid,          // attached: the message, its signature or its chain was refused
  // ServiceProviderDS, GetServiceProviderDS and GetSerialNO.
  no_result,
};

// How far a verification got when it failed.
enum class VerificationStage {
  reading_original = 1,   // reading the signed file or the message (attached: to the end)
  reading_signature = 2,  // detached: the signature, after the signed file was read
  verifying = 3,          // detached: after the content was handed to the provider
};

struct Answer {
  Answer() = default;
  Answer(Outcome found, std::int32_t number = 0, Text about = {})
      : outcome(found), failure_number(number), detail(std::move(about)) {}

  Outcome outcome = Outcome::success;
  // The failure's number (an HRESULT, or the runtime's own positive number), 0 for none.
  std::int32_t failure_number = 0;
  // The failure's description, or for signature_unreadable the signed file's name.
  Text detail;

  // The method's answer, word for word as callers compare it.
  Text text() const;
  bool succeeded() const { return outcome == Outcome::success; }
};

// The answer of a failed verification: chosen by the stage and by whether the failure is the
// runtime's own (positive) or the provider's.
Answer verification_answer(const Failure& failure, VerificationStage stage,
                           const Text& original_file_name);

}  // namespace orvane::signing
