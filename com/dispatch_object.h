#pragma once

// The reference counting and IDispatch shared by the library's objects. Each object counts
// towards keeping the module loaded while it lives.

#include <windows.h>

#include <new>
#include <type_traits>

#include "com/boundary.h"
#include "com/dispatch_arguments.h"
#include "com/library_description.h"
#include "com/module.h"
#include "com/type_information.h"
#include "runtime/windows/owned.h"

namespace orvane::com {

template <typename Vtable>
class DispatchObject : public Vtable {
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
    // The type information trusts its caller's pointers and counts; a caller may not.
    if (names == nullptr || ids == nullptr || count == 0) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i) {
      if (names[i] == nullptr) return E_INVALIDARG;
    }
    const HRESULT loaded = load();
    if (FAILED(loaded)) return loaded;
    return type_info_->GetIDsOfNames(names, count, ids);
  }
  // The object's own dispatch rather than the platform's from the type information, which
  // refuses script variables for BSTR* and, under Wine, crashes on an omitted optional
  // argument by reference.
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* parameters,
                                   VARIANT* result, EXCEPINFO*, UINT* argument_error) override {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (parameters == nullptr) return E_INVALIDARG;
    for (size_t index = 0; index < described_.members.size(); ++index) {
      const Member& member = described_.members[index];
      if (member.dispatch_id == id && accepts(member.kind, flags)) {
        return guarded([&] { return invoke(index, *parameters, result, argument_error); });
      }
    }
    return DISP_E_MEMBERNOTFOUND;
  }

 protected:
  explicit DispatchObject(const Interface& described) : described_(described) {
    module::add_reference();
  }
  virtual ~DispatchObject() { module::release_reference(); }

  // Calls member `index` of the interface's table through the vtable, its result (if any)
  // into `result`, which holds nothing yet.
  virtual HRESULT call(size_t index, DispatchArguments& arguments, VARIANT* result) = 0;

  // For the members that hand back their answer through a final BSTR* or VARIANT_BOOL*.
  template <typename Answer, typename Call>
  static HRESULT answer_into(VARIANT* result, Call&& call) {
    Answer answer{};
    const HRESULT called = call(&answer);
    if (FAILED(called)) return called;
    if constexpr (std::is_same_v<Answer, BSTR>) {
      result->vt = VT_BSTR;
      result->bstrVal = answer;
    } else {
      result->vt = VT_BOOL;
      result->boolVal = answer;
    }
    return S_OK;
  }

  ULONG add_reference() { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
  ULONG release_reference() {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

 private:
  HRESULT load() {
    if (type_info_) return S_OK;
    return load_type_info(described_.iid, type_info_.put());
  }

  static bool accepts(INVOKEKIND kind, WORD flags) {
    // Script hosts call a method whose value they use as a method and a property get at once.
    if (kind == INVOKE_PROPERTYPUT) return (flags & DISPATCH_PROPERTYPUT) != 0;
    if (kind == INVOKE_PROPERTYGET) return (flags & DISPATCH_PROPERTYGET) != 0;
    return (flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) != 0;
  }

  HRESULT invoke(size_t index, const DISPPARAMS& parameters, VARIANT* result,
                 UINT* argument_error) {
    try {
      DispatchArguments arguments(described_.members[index], parameters);
      windows::OwnedVariant answer;
      const HRESULT called = call(index, arguments, answer.get());
      if (FAILED(called)) return called;
      arguments.write_back();
      // A member without a result leaves it Empty.
      if (result != nullptr) *result = answer.release();
      return S_OK;
    } catch (const DispatchRefusal& refused) {
      if (argument_error != nullptr) *argument_error = refused.argument;
      return refused.result;
    }
  }

  const Interface& described_;
  LONG references_ = 1;
  windows::ComPtr<ITypeInfo> type_info_;
};

// Makes an Object and hands out its interface `iid`, as a class factory does.
template <typename Object>
HRESULT create_object(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  // The object's first reference goes with `created`; a refused interface leaves none.
  const windows::ComPtr<IDispatch> created(new (std::nothrow) Object);
  if (!created) return E_OUTOFMEMORY;
  return created->QueryInterface(iid, object);
}

}  // namespace orvane::com
