#include "runtime/platform.h"

#ifndef ORVANE_SYSTEM_DIR
#define ORVANE_SYSTEM_DIR "/etc/orvane"
#endif

namespace orvane {
namespace {

// The build setting, without the trailing separators a packager might leave on it.
Text configured_system_directory() {
  std::string directory = ORVANE_SYSTEM_DIR;
  while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
  return text_from_utf8(directory);
}

}  // namespace

Platform native_platform() {
  return Platform{native_file_system(), native_clock(), &windows_1252(),
                  configured_system_directory(), u'/'};
}

}  // namespace orvane
