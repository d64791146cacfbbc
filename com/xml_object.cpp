#include "com/xml_object.h"

#include "com/dispatch_object.h"
#include "com/interfaces.h"
#include "com/library_description.h"

namespace orvane::com {
namespace {

class XmlObject final : public DispatchObject<XmlInterface> {
 public:
  XmlObject() : DispatchObject(description::xml_interface.iid) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDispatch) &&
        !IsEqualIID(iid, description::xml_interface.iid)) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = static_cast<XmlInterface*>(this);
    add_reference();
    return S_OK;
  }

  // Not built yet: the members are wired to the core tag reader in a later step.
  HRESULT STDMETHODCALLTYPE get_sXmlData(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_sXmlData(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE LoadXml(BSTR*, VARIANT_BOOL*, VARIANT_BOOL*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE ReadNodeData(BSTR*, BSTR*, BSTR*, BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CloseXml() override { return E_NOTIMPL; }
};

}  // namespace

HRESULT create_xml_object(REFIID iid, void** object) {
  return create_object<XmlObject>(iid, object);
}

}  // namespace orvane::com
