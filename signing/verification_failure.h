#pragma once

#include "runtime/failure.h"

namespace orvane::signing {

// How far a verification got when it failed.
enum class VerificationStage {
  reading_original = 1,   // reading the signed file or the message (attached: to the end)
  reading_signature = 2,  // detached: the signature, after the signed file was read
  verifying = 3,          // detached: after the content was handed to the provider
};

// The answer of a failed verification: chosen by the stage and by whether the failure is the
// runtime's own (positive) or the provider's.
Text verification_failure_text(const Failure& failure, VerificationStage stage,
                               const Text& original_file_name);

// The failure path of both verifications, for their catch blocks: closes binary channels 1 and
// 2, dropping what a restored file had not yet written, and gives the answer for the exception
// being handled.
Text verification_failed(VerificationStage stage, const Text& original_file_name);

}  // namespace orvane::signing
