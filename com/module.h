#pragma once

// The server module: its file, and the objects and locks that keep it loaded.

#include <windows.h>

#include <string>

namespace orvane::com::module {

void set_handle(HMODULE handle);
// The full path of Orvane.dll as it was loaded; throws std::bad_alloc, or
// std::system_error when the system cannot say.
std::wstring path();

// Every live object and every class-factory lock counts; the module may go when none is left.
void add_reference();
void release_reference();
bool can_unload();

}  // namespace orvane::com::module
