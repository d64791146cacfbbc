#pragma once

// Automation values as a C++ client makes them, owned through runtime/windows/owned.h.

#include <windows.h>

#include <string>
#include <vector>

#include "runtime/windows/owned.h"

namespace orvane::com::testing {

using windows::Bstr;
using windows::ComPtr;
using windows::OwnedVariant;

inline Bstr bstr(const wchar_t* text) {
  return Bstr(SysAllocString(text));
}

inline OwnedVariant text(const wchar_t* value) {
  OwnedVariant made;
  made->vt = VT_BSTR;
  made->bstrVal = SysAllocString(value);
  return made;
}

inline OwnedVariant boolean(VARIANT_BOOL value) {
  OwnedVariant made;
  made->vt = VT_BOOL;
  made->boolVal = value;
  return made;
}

// A script's variable passed by reference.
inline OwnedVariant reference_to(OwnedVariant& variable) {
  OwnedVariant reference;
  reference->vt = VT_BYREF | VT_VARIANT;
  reference->pvarVal = variable.get();
  return reference;
}

// An object whose default value is the object itself, as a buggy or hostile host may pass one.
class SelfDefault final : public IDispatch {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDispatch)) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  // It lives on the test's stack: counting is enough.
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override { return --references_; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result,
                                   EXCEPINFO*, UINT*) override {
    if (id != DISPID_VALUE || result == nullptr) return DISP_E_MEMBERNOTFOUND;
    ++asked_;
    result->vt = VT_DISPATCH;
    result->pdispVal = this;
    AddRef();
    return S_OK;
  }

  // As a VARIANT that holds a reference of its own.
  OwnedVariant variant() {
    OwnedVariant made;
    made->vt = VT_DISPATCH;
    made->pdispVal = this;
    AddRef();
    return made;
  }
  int asked() const { return asked_; }
  ULONG references() const { return references_; }

 private:
  ULONG references_ = 1;
  int asked_ = 0;
};

// VARIANTs that no script makes and that the platform's copies and conversions misread or follow
// without end: a reference to itself, a chain of references, a vector, an array of Empty, a
// number that names no type, and a VARIANT of type VARIANT.
struct HostileVariants {
  HostileVariants() {
    cycle->vt = VT_BYREF | VT_VARIANT;
    cycle->pvarVal = cycle.get();
    chain->vt = VT_BYREF | VT_VARIANT;
    chain->pvarVal = middle.get();
    vector->vt = VT_VECTOR | VT_BSTR;
    array_of_empty->vt = VT_ARRAY | VT_EMPTY;
    undefined->vt = 0x7F;
    bare_variant->vt = VT_VARIANT;
  }
  std::vector<VARIANT*> all() {
    return {cycle.get(),          chain.get(),     vector.get(),
            array_of_empty.get(), undefined.get(), bare_variant.get()};
  }

  OwnedVariant cycle;
  OwnedVariant end = text(L"x");
  OwnedVariant middle = reference_to(end);
  OwnedVariant chain;
  OwnedVariant vector;
  OwnedVariant array_of_empty;
  OwnedVariant undefined;
  OwnedVariant bare_variant;
};

inline std::wstring text_of(BSTR value) {
  return value ? std::wstring(value, SysStringLen(value)) : L"";
}
inline std::wstring text_of(const OwnedVariant& value) {
  if (value.get()->vt == VT_EMPTY) return L"(empty)";
  if (value.get()->vt != VT_BSTR) return L"(vt " + std::to_wstring(value.get()->vt) + L")";
  return text_of(value.get()->bstrVal);
}

}  // namespace orvane::com::testing
