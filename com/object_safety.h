#pragma once

// IObjectSafety as Sign and vbObjSafety answer it: both options supported, none enabled, and
// every request to enable one refused, since the component writes files and signs with the
// user's keys wherever a script tells it to.

#include <windows.h>

namespace orvane::com {

// The two process-wide switches (module basSafeCtl). Nothing in the library turns them on.
namespace basSafeCtl {
inline constexpr VARIANT_BOOL bSafeForUntrustedCaller = VARIANT_FALSE;
inline constexpr VARIANT_BOOL bSafeForUntrustedData = VARIANT_FALSE;
}  // namespace basSafeCtl

inline constexpr DWORD untrusted_caller_option = 1;  // INTERFACESAFE_FOR_UNTRUSTED_CALLER
inline constexpr DWORD untrusted_data_option = 2;    // INTERFACESAFE_FOR_UNTRUSTED_DATA

// IObjectSafety's vtable. The platform header passes riid as a C++ reference, but on the wire
// it is a pointer that callers may leave null, so it is declared as one here.
struct ObjectSafetyInterface : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetInterfaceSafetyOptions(const IID* riid,
                                                              DWORD* pdwSupportedOptions,
                                                              DWORD* pdwEnabledOptions) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetInterfaceSafetyOptions(const IID* riid,
                                                              DWORD dwOptionsSetMask,
                                                              DWORD dwEnabledOptions) = 0;

 protected:
  ~ObjectSafetyInterface() = default;
};

// The IObjectSafety methods, for a class that adds the IUnknown ones.
class ObjectSafety : public ObjectSafetyInterface {
 public:
  HRESULT STDMETHODCALLTYPE GetInterfaceSafetyOptions(const IID* riid, DWORD* pdwSupportedOptions,
                                                      DWORD* pdwEnabledOptions) override;
  HRESULT STDMETHODCALLTYPE SetInterfaceSafetyOptions(const IID* riid, DWORD dwOptionsSetMask,
                                                      DWORD dwEnabledOptions) override;

 protected:
  ~ObjectSafety() = default;
};

}  // namespace orvane::com
