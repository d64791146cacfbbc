#pragma once

#include <memory>

#include "runtime/clock.h"
#include "runtime/code_page.h"
#include "runtime/file_names.h"
#include "runtime/file_system.h"
#include "runtime/text.h"

namespace orvane {

// The services that a `Sign` object takes from its platform, chosen once at construction.
// Tests and hosts replace any of them: a temporary system directory, a fixed clock, a file
// system that fails on demand.
struct Platform {
  std::shared_ptr<FileSystem> files;
  std::shared_ptr<const Clock> clock;
  const CodePage* code_page = nullptr;  // the system's default single-byte code page
  // The system directory as the platform reports it; empty when it reports none.
  Text system_directory;
  // The separator that the component puts between a folder and a name it appends.
  char16_t path_separator = u'/';
  // The names the platform's files can have: a restored file's name is checked against them.
  FileNameRules file_names = FileNameRules::posix;
};

// The services of the machine the component runs on.
Platform native_platform();

// Asks the allocator to keep memory that large buffers free for the next ones instead of
// handing it back to the system at once. A command that reads a file, decodes it and signs it
// allocates several buffers of the file's size in turn; each new one would otherwise be faulted
// in page by page afresh. The heap is also grown ahead, untouched, under large-page advice,
// since small-page faults cost more than the work on a file of a few megabytes. For
// short-lived hosts; a no-op where the allocator has no such knob.
void reuse_freed_memory();

// Tells the system that `bytes` at `data`, a buffer about to be filled, are better backed by
// large pages: a whole file's text is faulted in by the hundred thousand small pages
// otherwise. Only advice; a no-op where there is no such thing.
void advise_large_buffer(void* data, std::size_t bytes);

// The native file system and clock, for hosts that replace only some services.
std::shared_ptr<FileSystem> native_file_system();
std::shared_ptr<const Clock> native_clock();

}  // namespace orvane
