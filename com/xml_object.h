#pragma once

// The COM object of the class XML: _XML.

#include <windows.h>

namespace orvane::com {

// Creates an XML object and hands out its interface `iid`, as a class factory does.
HRESULT create_xml_object(REFIID iid, void** object);

}  // namespace orvane::com
