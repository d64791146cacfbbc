#include "signing/answer.h"

#include "runtime/failure.h"

namespace orvane::signing {

Text Answer::text() const {
  switch (outcome) {
    case Outcome::success:
      return u"success";
    case Outcome::no_certificate:
      return u"Error: Certificate is either damaged, uninstalled or not present.";
    case Outcome::store_unreadable:
      return u"Error: Certificate is either damaged, uninstalled or not present." +
             decimal_text(failure_number) + detail;
    case Outcome::selection_failed:
      return u"Certificate selection dialog was cancelled.";
    case Outcome::selection_error:
      return detail + decimal_text(failure_number);
    case Outcome::signing_failed:
      return u"Err Description: " + detail;
    case Outcome::not_the_login_certificate:
      return u"The file has not been signed with the certificate used for login.";
    case Outcome::original_unreadable:
      return u"Original File Not Found Or Can't BE Accessed";
    case Outcome::signature_unreadable:
      // The misspelling is what callers compare against.
      return u"Digital Siganture File Not Found Or Can't Be Accessed for Original file :" + detail;
    case Outcome::verification_error:
      return u"Error found:" + detail;
    case Outcome::not_valid:
      return u"Signature or Certificate is not valid ";
    case Outcome::message_not_valid:
      return u"Signing Error: " + detail;
    case Outcome::no_result:
      return u"-1";
  }
  return {};
}

Answer verification_answer(const Failure& failure, VerificationStage stage,
                           const Text& original_file_name) {
  const std::int32_t number = failure.number();
  if (number > 0) {
    switch (stage) {
      case VerificationStage::reading_original:
        return {Outcome::original_unreadable, number, failure.description()};
      case VerificationStage::reading_signature:
        return {Outcome::signature_unreadable, number, original_file_name};
      case VerificationStage::verifying:
        return {Outcome::verification_error, number, failure.description()};
    }
  }
  if (stage == VerificationStage::verifying) {
    return {Outcome::not_valid, number, failure.description()};
  }
  return {Outcome::message_not_valid, number, failure.description()};
}

}  // namespace orvane::signing
