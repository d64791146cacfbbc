#include "signing/verification_failure.h"

#include "runtime/file_channels.h"

namespace orvane::signing {

Text verification_failure_text(const Failure& failure, VerificationStage stage,
                               const Text& original_file_name) {
  if (failure.number() > 0) {
    switch (stage) {
      case VerificationStage::reading_original:
        return u"Original File Not Found Or Can't BE Accessed";
      case VerificationStage::reading_signature:
        // The misspelling is what callers compare against.
        return u"Digital Siganture File Not Found Or Can't Be Accessed for Original file :" +
               original_file_name;
      case VerificationStage::verifying:
        return u"Error found:" + failure.description();
    }
  }
  if (stage == VerificationStage::verifying) return u"Signature or Certificate is not valid ";
  return u"Signing Error: " + failure.description();
}

Text verification_failed(VerificationStage stage, const Text& original_file_name) {
  const Failure failure = current_failure();
  file_channels::abandon(1);
  file_channels::abandon(2);
  return verification_failure_text(failure, stage, original_file_name);
}

}  // namespace orvane::signing
