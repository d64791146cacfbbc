#pragma once

// What regsvr32 asks of the server: the type library, the creatable classes with their
// programmatic identifiers, and the interfaces, for this module's bitness.

#include <windows.h>

namespace orvane::com {

HRESULT register_server();
// Removes this bitness's registration. The programmatic identifiers, which both bitnesses
// share on 64-bit Windows, go only when the other bitness does not register the class.
HRESULT unregister_server();

}  // namespace orvane::com
