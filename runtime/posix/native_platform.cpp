#include <malloc.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

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
  // Grow the heap now, without touching it, and ask for large pages over it: faults on small
  // pages cost more than the hashing of a megabyte on virtual machines.
  constexpr std::size_t heap = std::size_t{64} << 20;
  if (void* block = std::malloc(heap)) {
    advise_large_buffer(block, heap);
    std::free(block);
  }
#endif
}

void advise_large_buffer(void* data, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
  constexpr std::uintptr_t huge_page = 2 << 20;
  const auto start = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t first = (start + huge_page - 1) & ~(huge_page - 1);
  const std::uintptr_t last = (start + bytes) & ~(huge_page - 1);
  if (last > first) {
    ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
  }
#else
  (void)data;
  (void)bytes;
#endif
}

Platform native_platform() {
  return Platform{native_file_system(), native_clock(), &windows_1252(),
                  configured_system_directory(), u'/'};
}

}  // namespace orvane
