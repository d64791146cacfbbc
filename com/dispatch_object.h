#pragma once

// The reference counting and IDispatch shared by the library's objects. Each object counts
// towards keeping the module loaded while it lives.

#include <windows.h>

#include <new>

#include "com/com_ptr.h"
#include "com/module.h"
#include "com/type_information.h"

namespace orvane::com {

template <typename Interface>
class DispatchObject : public Interface {
 public:
  DispatchObject(const DispatchObject&) = delete;
  DispatchObject& operator=(const DispatchObject&) = delete;

  ULONG STDMETHODCALLTYPE AddRef() override { return add_reference(); }
  ULONG STDMETHODCALLTYPE Release() override { return release_reference(); }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    const HRESULT loaded = load();
    if (FAILED(loaded)) return loaded;
    type_info_->AddRef();
    *info = type_info_.get();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    const HRESULT loaded = load();
    if (FAILED(loaded)) return loaded;
    return type_info_->GetIDsOfNames(names, count, ids);
  }
  // Not built yet: the object's own dispatch (defaults of omitted arguments, script variables
  // by reference, named arguments) comes with the wiring of the methods to the core.
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }

 protected:
  explicit DispatchObject(const GUID& iid) : iid_(iid) { module::add_reference(); }
  virtual ~DispatchObject() { module::release_reference(); }

  ULONG add_reference() { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
  ULONG release_reference() {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

 private:
  HRESULT load() {
    if (type_info_) return S_OK;
    return load_type_info(iid_, type_info_.put());
  }

  const GUID& iid_;
  LONG references_ = 1;
  ComPtr<ITypeInfo> type_info_;
};

// Makes an Object and hands out its interface `iid`, as a class factory does.
template <typename Object>
HRESULT create_object(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  auto* created = new (std::nothrow) Object;
  if (created == nullptr) return E_OUTOFMEMORY;
  const HRESULT result = created->QueryInterface(iid, object);
  created->Release();
  return result;
}

}  // namespace orvane::com
