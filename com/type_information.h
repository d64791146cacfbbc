#pragma once

// Type information of the library's own interfaces, read from the type library that the
// module embeds (resource TYPELIB 1), so that dispatch names and identifiers are the ones
// registered and never a second copy.

#include <windows.h>

namespace orvane::com {

// Hands out a new reference to the type information of `iid`; fails with the loader's HRESULT.
HRESULT load_type_info(REFGUID iid, ITypeInfo** info);

}  // namespace orvane::com
