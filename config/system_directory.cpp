#include "config/system_directory.h"

namespace orvane::config {

Text GetSystemDir(const Platform& platform) {
  if (platform.system_directory.empty()) return {};
  return TrimAtNull(platform.system_directory);
}

Text TrimAtNull(const Text& text) {
  return text.substr(0, text.find(u'\0'));
}

}  // namespace orvane::config
