#include "com/class_factory.h"

#include <new>

#include "com/library_description.h"
#include "com/module.h"
#include "com/sign_object.h"
#include "com/xml_object.h"
#include "runtime/windows/owned.h"

namespace orvane::com {
namespace {

using Create = HRESULT (*)(REFIID, void**);

class ClassFactory final : public IClassFactory {
 public:
  explicit ClassFactory(Create create) : create_(create) { module::add_reference(); }
  ClassFactory(const ClassFactory&) = delete;
  ClassFactory& operator=(const ClassFactory&) = delete;
  virtual ~ClassFactory() { module::release_reference(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    return static_cast<ULONG>(InterlockedIncrement(&references_));
  }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return create_(iid, object);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      module::add_reference();
    } else {
      module::release_reference();
    }
    return S_OK;
  }

 private:
  Create create_;
  LONG references_ = 1;
};

}  // namespace

HRESULT get_class_factory(REFCLSID clsid, REFIID iid, void** factory) {
  if (factory == nullptr) return E_POINTER;
  *factory = nullptr;
  Create create = nullptr;
  if (IsEqualCLSID(clsid, description::sign_class.clsid)) create = create_sign_object;
  if (IsEqualCLSID(clsid, description::xml_class.clsid)) create = create_xml_object;
  if (create == nullptr) return CLASS_E_CLASSNOTAVAILABLE;
  const windows::ComPtr<IClassFactory> made(new (std::nothrow) ClassFactory(create));
  if (!made) return E_OUTOFMEMORY;
  return made->QueryInterface(iid, factory);
}

}  // namespace orvane::com
