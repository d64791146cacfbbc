#include "com/xml_object.h"

#include <memory>

#include "com/automation_values.h"
#include "com/boundary.h"
#include "com/dispatch_object.h"
#include "com/interfaces.h"
#include "com/library_description.h"
#include "config/xml.h"

namespace orvane::com {
namespace {

class XmlObject final : public DispatchObject<XmlInterface> {
 public:
  XmlObject() : DispatchObject(description::xml_interface) {}

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

  HRESULT STDMETHODCALLTYPE get_sXmlData(BSTR* result) override {
    if (result == nullptr) return E_POINTER;
    return guarded([&] {
      set_result(result, core().sXmlData);
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE put_sXmlData(BSTR sXmlData) override {
    return guarded([&] {
      core().sXmlData = text_from(&sXmlData);
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE LoadXml(BSTR* Path, VARIANT_BOOL* INI, VARIANT_BOOL* result) override {
    if (result == nullptr) return E_POINTER;
    return guarded([&] {
      *result = core().LoadXml(text_from(Path), bool_from(INI)) ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE ReadNodeData(BSTR* XmlData, BSTR* StartNode, BSTR* EndNode,
                                         BSTR* result) override {
    if (result == nullptr) return E_POINTER;
    return guarded([&] {
      set_result(result,
                 core().ReadNodeData(text_from(XmlData), text_from(StartNode), text_from(EndNode)));
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE CloseXml() override {
    return guarded([&] {
      core().CloseXml();
      return S_OK;
    });
  }

 private:
  // Members in the order of description::xml_members.
  HRESULT call(size_t index, DispatchArguments& a, VARIANT* result) override {
    switch (index) {
      case 0:
        return answer_into<BSTR>(result, [&](BSTR* answer) { return get_sXmlData(answer); });
      case 1:
        return put_sXmlData(*a.bstr(0));
      case 2:
        return answer_into<VARIANT_BOOL>(
            result, [&](VARIANT_BOOL* answer) { return LoadXml(a.bstr(0), a.boolean(1), answer); });
      case 3:
        return answer_into<BSTR>(result, [&](BSTR* answer) {
          return ReadNodeData(a.bstr(0), a.bstr(1), a.bstr(2), answer);
        });
      case 4:
        return CloseXml();
    }
    return DISP_E_MEMBERNOTFOUND;
  }

  // The tag reader over the machine's files and code page, made on first use.
  config::XML& core() {
    if (!core_) {
      platform_ = native_platform();
      core_ = std::make_unique<config::XML>(platform_.files, *platform_.code_page);
    }
    return *core_;
  }

  Platform platform_;
  std::unique_ptr<config::XML> core_;
};

}  // namespace

HRESULT create_xml_object(REFIID iid, void** object) {
  return create_object<XmlObject>(iid, object);
}

}  // namespace orvane::com
