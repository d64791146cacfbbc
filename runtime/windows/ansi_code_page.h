#pragma once

#include <memory>

#include "runtime/code_page.h"

namespace orvane::windows {

// The system's ANSI code page (GetACP), the default for text on Windows. Windows-1252 is the
// built-in one; another single-byte code page is read from the system once; a multi-byte one
// (the East Asian double-byte pages, UTF-8) cannot be a byte-per-character code page, and
// Windows-1252 stands in for it, so that every byte still round-trips.
const CodePage& ansi_code_page();

// The single-byte code page `identifier` as the system converts it, or nothing when the system
// has no such code page or it is not single-byte.
std::unique_ptr<CodePage> system_code_page(unsigned identifier);

}  // namespace orvane::windows
