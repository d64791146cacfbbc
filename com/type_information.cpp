#include "com/type_information.h"

#include "com/boundary.h"
#include "com/module.h"
#include "runtime/windows/owned.h"

namespace orvane::com {

HRESULT load_type_info(REFGUID iid, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  return guarded([&] {
    windows::ComPtr<ITypeLib> library;
    const HRESULT loaded = LoadTypeLibEx(module::path().c_str(), REGKIND_NONE, library.put());
    if (FAILED(loaded)) return loaded;
    return library->GetTypeInfoOfGuid(iid, info);
  });
}

}  // namespace orvane::com
