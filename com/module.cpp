#include "com/module.h"

#include <atomic>
#include <system_error>

namespace orvane::com::module {
namespace {

// Process-wide by nature: the loader keeps one copy of the module.
HMODULE module_handle = nullptr;
std::atomic<long> references{0};

}  // namespace

void set_handle(HMODULE handle) {
  module_handle = handle;
}

std::wstring path() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetModuleFileNameW(module_handle, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0)
      throw std::system_error(static_cast<int>(GetLastError()), std::system_category());
    // A full buffer may have cut the path short: try again with more room.
    if (length < buffer.size()) {
      buffer.resize(length);
      return buffer;
    }
    buffer.resize(buffer.size() * 2);
  }
}

void add_reference() {
  ++references;
}
void release_reference() {
  --references;
}
bool can_unload() {
  return references == 0;
}

}  // namespace orvane::com::module
