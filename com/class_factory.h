#pragma once

// The class factories of the creatable classes, Sign and XML.

#include <windows.h>

namespace orvane::com {

// Hands out the factory of `clsid` as interface `iid`; CLASS_E_CLASSNOTAVAILABLE for a class
// that clients cannot create (vbObjSafety) or that the library does not have.
HRESULT get_class_factory(REFCLSID clsid, REFIID iid, void** factory);

}  // namespace orvane::com
