#pragma once

#include "runtime/text.h"

namespace orvane {

// Whose rules say which names a file can have.
enum class FileNameRules { posix, windows };

// True when `name`, one component of a path, can name a file of its own under `rules`. POSIX
// refuses only "", "." and "..", and names holding "/" or NUL; Windows also control characters,
// <>:"\|?*, a name that ends in a dot or space, and device names such as CON or com1.txt, which
// open a device, not a file.
bool can_name_a_file(FileNameRules rules, TextView name);

// True when Windows opens a device for `name`, one component of a path, wherever it is: its
// stem (before the first "." or ":", without trailing spaces) is CON, PRN, AUX, NUL, CONIN$,
// CONOUT$, COM0-9 or LPT0-9 (the superscript digits too), in any case.
bool is_windows_device_name(TextView name);

}  // namespace orvane
