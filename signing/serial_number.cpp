// GetSerialNO: the serial number of the service provider's certificate.
#include "config/configuration_file.h"
#include "runtime/failure.h"
#include "signing/sign.h"

namespace orvane::signing {

Text Sign::GetSerialNO() {
  try {
    const Text path = config::configuration_path(platform_);
    last_answer_ = {};
    return config::read_configuration_value(xml(), *platform_.files, path,
                                            config::serial_number_start_tag,
                                            config::serial_number_end_tag);
  } catch (...) {
    const Failure failure = current_failure();
    LogError(u"Orvane.Dll : GetSerialNO : " + failure.description());
    return answered({Outcome::no_result, failure.number(), failure.description()});
  }
}

}  // namespace orvane::signing
