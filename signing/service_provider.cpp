// ServiceProviderDS and GetServiceProviderDS: detached signatures with the configured
// certificate.
#include "runtime/failure.h"
#include "runtime/text_stream.h"
#include "signing/sign.h"

namespace orvane::signing {

Text Sign::ServiceProviderDS(const Variant& FilePath) {
  try {
    const Text path = to_text(FilePath);
    if (!platform_.files->file_exists(path)) return answered({Outcome::no_result});
    const Text content = read_text_file(*platform_.files, *platform_.code_page, path);
    // Only spaces make a file empty here: a line break alone is signed.
    if (trim_spaces(content).empty()) return answered({Outcome::no_result});
    return GetServiceProviderDS(content);
  } catch (...) {
    const Failure failure = current_failure();
    LogError(u"Orvane.Dll : ServiceProviderDS = -1" + failure.description());
    return answered({Outcome::no_result, failure.number(), failure.description()});
  }
}

Text Sign::GetServiceProviderDS(const Text& sData) {
  try {
    // Signfile hands the signature back through its first argument; the caller's text is
    // never touched.
    Variant content = sData;
    const Text serial = GetSerialNO();
    if (!last_answer_.succeeded()) return answered({Outcome::no_result});
    Text extension;
    Signfile(content, serial, vb_true, extension, vb_true);
    // Why there is no signature stays with the answer.
    if (!last_answer_.succeeded()) {
      return answered({Outcome::no_result, last_answer_.failure_number, last_answer_.text()});
    }
    return to_text(content);
  } catch (...) {
    const Failure failure = current_failure();
    LogError(u"Orvane.Dll : GetServiceProviderDS" + failure.description());
    return answered({Outcome::no_result, failure.number(), failure.description()});
  }
}

}  // namespace orvane::signing
