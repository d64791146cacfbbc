// The platform services on Windows.
#include <windows.h>

#include <vector>

#include "runtime/platform.h"
#include "runtime/windows/ansi_code_page.h"
#include "runtime/windows/wide_text.h"

namespace orvane {
namespace {

// The system directory as Windows reports it: System32 for either bitness. A 32-bit process on
// 64-bit Windows that reads a file there is redirected to SysWOW64, so each bitness has its
// own configuration file.
Text system_directory() {
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (;;) {
    const UINT length = ::GetSystemDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
    if (length == 0) return {};
    // Too small: the answer is the size needed, the terminating NUL included.
    if (length < buffer.size()) return windows::text_from_wide(buffer.data(), length);
    buffer.resize(length + 1);
  }
}

}  // namespace

// The heap of Windows neither needs nor takes such advice.
void reuse_freed_memory() {}

void advise_large_buffer(void* data, std::size_t bytes) {
  (void)data;
  (void)bytes;
}

Platform native_platform() {
  return Platform{native_file_system(), native_clock(), &windows::ansi_code_page(),
                  system_directory(),   u'\\',          FileNameRules::windows};
}

}  // namespace orvane
