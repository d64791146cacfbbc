#include <malloc.h>

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

void reuse_freed_memory() {
#ifdef M_MMAP_THRESHOLD
  // Buffers up to 256 MiB come from the heap, which keeps up to 512 MiB of freed memory.
  mallopt(M_MMAP_THRESHOLD, 256 << 20);
  mallopt(M_TRIM_THRESHOLD, 512 << 20);
#endif
}

Platform native_platform() {
  return Platform{native_file_system(), native_clock(), &windows_1252(),
                  configured_system_directory(), u'/'};
}

}  // namespace orvane
