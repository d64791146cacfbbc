#pragma once

// The COM object of the class Sign: _Sign (under both of its identifiers) and IObjectSafety.

#include <windows.h>

namespace orvane::com {

// Creates a Sign object and hands out its interface `iid`, as a class factory does.
HRESULT create_sign_object(REFIID iid, void** object);

}  // namespace orvane::com
