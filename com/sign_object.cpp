#include "com/sign_object.h"

#include "com/dispatch_object.h"
#include "com/interfaces.h"
#include "com/library_description.h"
#include "com/object_safety.h"

namespace orvane::com {
namespace {

class SignObject final : public DispatchObject<SignInterface>, public ObjectSafety {
 public:
  SignObject() : DispatchObject(description::sign_interface.iid) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        IsEqualIID(iid, description::sign_interface.iid) ||
        IsEqualIID(iid, description::sign_alias.guid)) {
      *object = static_cast<SignInterface*>(this);
    } else if (IsEqualIID(iid, description::object_safety.iid)) {
      *object = static_cast<ObjectSafetyInterface*>(this);
    } else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    add_reference();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return add_reference(); }
  ULONG STDMETHODCALLTYPE Release() override { return release_reference(); }

  // Not built yet: the methods are wired to the core Sign object in a later step; until then
  // they say so instead of answering.
  HRESULT STDMETHODCALLTYPE Signfile(VARIANT*, BSTR*, VARIANT_BOOL*, BSTR*, VARIANT_BOOL*,
                                     VARIANT*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Verify(VARIANT*, VARIANT*, VARIANT_BOOL*, BSTR*, BSTR*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE VerifyCodeWithFile(BSTR*, VARIANT*, VARIANT_BOOL*, BSTR*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE ServiceProviderDS(VARIANT, VARIANT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetServiceProviderDS(BSTR*, BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE LogError(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetSerialNO(BSTR*) override { return E_NOTIMPL; }
};

}  // namespace

HRESULT create_sign_object(REFIID iid, void** object) {
  return create_object<SignObject>(iid, object);
}

}  // namespace orvane::com
