#pragma once

#include <memory>

#include "provider/provider.h"
#include "runtime/clock.h"
#include "runtime/text.h"
#include "signing/answer.h"

namespace orvane::signing {

// How certificate selection ended.
struct CertificateSelection {
  // The signer that carries the found certificate, for signing to go on with; null when none
  // was bound.
  std::shared_ptr<provider::Signer> signer;
  // Otherwise what Signfile answers with, at once.
  Answer answer;

  bool bound() const { return signer != nullptr; }
};

// Finds the certificate whose serial number is exactly `sSerialNo` among the current user's
// personal certificates and then, only when none matched, the smart-card user's, keeping only
// those with a private key that are valid at `now`, and binds the first match to a new signer.
// One store object, made from `provider` on first use, serves both searches. A Failure never
// escapes: it becomes the answer, chosen by the sign of its number and by how far the search
// had got. Nothing is logged.
CertificateSelection SelectSignerCertificate(provider::Factory& provider, const Text& sSerialNo,
                                             const LocalDateTime& now);

}  // namespace orvane::signing
