#include "com/object_safety.h"

#include <ocidl.h>

namespace orvane::com {
namespace {

constexpr DWORD supported_options = untrusted_caller_option | untrusted_data_option;

// The option bit an interface carries, or 0 for an interface the table does not know.
DWORD option_of(REFIID riid) {
  if (IsEqualIID(riid, IID_IDispatch)) return untrusted_caller_option;
  if (IsEqualIID(riid, IID_IPersistStorage) || IsEqualIID(riid, IID_IPersistStream) ||
      IsEqualIID(riid, IID_IPersistPropertyBag)) {
    return untrusted_data_option;
  }
  return 0;
}

bool switch_of(DWORD option) {
  return option == untrusted_caller_option ? basSafeCtl::bSafeForUntrustedCaller != VARIANT_FALSE
                                           : basSafeCtl::bSafeForUntrustedData != VARIANT_FALSE;
}

}  // namespace

HRESULT ObjectSafety::GetInterfaceSafetyOptions(const IID* riid, DWORD* pdwSupportedOptions,
                                                DWORD* pdwEnabledOptions) {
  if (pdwSupportedOptions == nullptr) return E_POINTER;
  *pdwSupportedOptions = supported_options;
  if (riid == nullptr) return S_OK;
  const DWORD option = option_of(*riid);
  if (option == 0) return E_NOINTERFACE;
  if (pdwEnabledOptions == nullptr) return E_POINTER;
  *pdwEnabledOptions = switch_of(option) ? option : 0;
  return S_OK;
}

HRESULT ObjectSafety::SetInterfaceSafetyOptions(const IID* riid, DWORD dwOptionsSetMask,
                                                DWORD dwEnabledOptions) {
  if (riid == nullptr) return S_OK;
  const DWORD option = option_of(*riid);
  if (option == 0) return E_NOINTERFACE;
  // Only a request for exactly the interface's own bit, which its switch already grants.
  return (dwOptionsSetMask & dwEnabledOptions) == option && switch_of(option) ? S_OK : E_FAIL;
}

}  // namespace orvane::com
