#include "provider/revocation.h"

#include <array>

namespace orvane::provider {

std::string revocation_reason_name(int code) {
  // Code 7 is not used.
  static constexpr std::array<const char*, 11> names = {
      "unspecified",   "keyCompromise",        "cACompromise",    "affiliationChanged",
      "superseded",    "cessationOfOperation", "certificateHold", "",
      "removeFromCRL", "privilegeWithdrawn",   "aACompromise"};
  if (code < 0 || code >= static_cast<int>(names.size())) return {};
  return names[static_cast<std::size_t>(code)];
}

}  // namespace orvane::provider
