#pragma once

#include <windows.h>

#include <vector>

#include "runtime/text.h"

namespace orvane::windows {

// A security descriptor that lets only the calling user (the thread's identity when it
// impersonates) at the file, inheriting nothing from the folder. Empty when the system cannot
// say who the caller is.
std::vector<std::uint8_t> owner_only_security();

// Gives the file of `handle` (opened with WRITE_DAC) the access list of `earlier`, when that is
// a regular file of the caller's (not a link, not a file another user planted for us to copy);
// otherwise leaves the file as it is. A volume without access lists has nothing to copy.
void copy_access_of_own_file(const Text& earlier, HANDLE handle);

}  // namespace orvane::windows
