#pragma once

#include "runtime/text.h"

namespace orvane::windows {

// True when `path` names no file on a disk but something Windows opens by name: a device
// (CON, NUL, COM1, LPT1 ..., also with an extension or trailing spaces, as "nul.txt" or
// "COM1 "), anything in the device namespaces (\\.\, \\?\ except a drive or UNC path, \??\),
// or a named pipe or mailslot share of another machine (\\server\pipe\...). Opening such a name
// can wait for ever, talk to hardware, or hand our identity to whoever serves the pipe, so it is
// refused before anything is opened. A path longer than any the system takes (32,767
// characters) names no file on a disk either; it is refused at once, where the system would
// take seconds over a huge one to say so.
bool is_device_path(TextView path);

}  // namespace orvane::windows
