// ServiceProviderDS and GetServiceProviderDS: detached signatures with the configured
// certificate.
#include "runtime/failure.h"
#include "runtime/text_stream.h"
#include "signing/sign.h"

namespace orvane::signing {

Text Sign::ServiceProviderDS(const Variant& FilePath) {
  try {
    const Text path = to_text(FilePath);
    if (!platform_.files->file_exists(path)) return u"-1";
    const Text content = read_text_file(*platform_.files, *platform_.code_page, path);
    // Only spaces make a file empty here: a line break alone is signed.
    if (trim_spaces(content).empty()) return u"-1";
    return GetServiceProviderDS(content);
  } catch (...) {
    LogError(u"Orvane.Dll : ServiceProviderDS = -1" + current_failure().description());
    return u"-1";
  }
}

Text Sign::GetServiceProviderDS(const Text& sData) {
  try {
    // Signfile hands the signature back through its first argument; the caller's text is
    // never touched.
    Variant content = sData;
    const Text serial = GetSerialNO();
    if (serial == u"-1") return u"-1";
    Text extension;
    if (Signfile(content, serial, vb_true, extension, vb_true) != u"success") return u"-1";
    return to_text(content);
  } catch (...) {
    LogError(u"Orvane.Dll : GetServiceProviderDS" + current_failure().description());
    return u"-1";
  }
}

}  // namespace orvane::signing
