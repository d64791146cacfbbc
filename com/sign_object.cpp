#include "com/sign_object.h"

#include <memory>

#include "com/automation_values.h"
#include "com/boundary.h"
#include "com/dispatch_object.h"
#include "com/interfaces.h"
#include "com/library_description.h"
#include "com/object_safety.h"
#include "signing/sign.h"

namespace orvane::com {
namespace {

class SignObject final : public DispatchObject<SignInterface>, public ObjectSafety {
 public:
  SignObject() : DispatchObject(description::sign_interface) {}

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

  // The vtable methods: the answer goes through the final out-parameter and the call itself
  // succeeds; only a missing out-parameter fails the call.
  HRESULT STDMETHODCALLTYPE Signfile(VARIANT* inputfilename, BSTR* sSerialNo,
                                     VARIANT_BOOL* bDetached, BSTR* sExtension,
                                     VARIANT_BOOL* IsContent, VARIANT* result) override {
    return answer(result, [&](signing::Sign& sign) -> Text {
      Variant input = variant_from(inputfilename);
      const PassedVariant given(inputfilename, input);
      Text extension = text_from(sExtension);
      Text answered = sign.Signfile(input, text_from(sSerialNo), bool_from(bDetached), extension,
                                    bool_from(IsContent));
      // Only what the core replaced goes back: a variable it did not write keeps its kind.
      if (given.replaced_by(input)) write_back(inputfilename, input);
      if (!holds(sExtension, extension)) write_back(sExtension, extension);
      return answered;
    });
  }
  HRESULT STDMETHODCALLTYPE Verify(VARIANT* OriginalFileName, VARIANT* DigitalSignedFileName,
                                   VARIANT_BOOL* bDetached, BSTR* sSerialNo,
                                   BSTR* result) override {
    return answer(result, [&](signing::Sign& sign) -> Text {
      const Variant original = variant_from(OriginalFileName);
      Variant signed_name = variant_from(DigitalSignedFileName);
      const PassedVariant given(DigitalSignedFileName, signed_name);
      Text answered =
          sign.Verify(original, signed_name, bool_from(bDetached), text_from(sSerialNo));
      if (given.replaced_by(signed_name)) write_back(DigitalSignedFileName, signed_name);
      return answered;
    });
  }
  HRESULT STDMETHODCALLTYPE VerifyCodeWithFile(BSTR* OriginalFileName, VARIANT* sSignedContents,
                                               VARIANT_BOOL* bDetached, BSTR* result) override {
    return answer(result, [&](signing::Sign& sign) -> Text {
      return sign.VerifyCodeWithFile(text_from(OriginalFileName), variant_from(sSignedContents),
                                     bool_from(bDetached));
    });
  }
  HRESULT STDMETHODCALLTYPE ServiceProviderDS(VARIANT FilePath, VARIANT* result) override {
    return answer(result, [&](signing::Sign& sign) -> Text {
      return sign.ServiceProviderDS(variant_from(&FilePath));
    });
  }
  HRESULT STDMETHODCALLTYPE GetServiceProviderDS(BSTR* sData, BSTR* result) override {
    return answer(result, [&](signing::Sign& sign) -> Text {
      return sign.GetServiceProviderDS(text_from(sData));
    });
  }
  HRESULT STDMETHODCALLTYPE LogError(BSTR* sErr) override {
    return guarded([&] {
      core().LogError(text_from(sErr));
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE GetSerialNO(BSTR* result) override {
    return answer(result, [&](signing::Sign& sign) -> Text { return sign.GetSerialNO(); });
  }

 private:
  // Members in the order of description::sign_members.
  HRESULT call(size_t index, DispatchArguments& a, VARIANT* result) override {
    switch (index) {
      case 0:
        return Signfile(a.variant(0), a.bstr(1), a.boolean(2), a.bstr(3), a.boolean(4), result);
      case 1:
        return answer_into<BSTR>(result, [&](BSTR* answer) {
          return Verify(a.variant(0), a.variant(1), a.boolean(2), a.bstr(3), answer);
        });
      case 2:
        return answer_into<BSTR>(result, [&](BSTR* answer) {
          return VerifyCodeWithFile(a.bstr(0), a.variant(1), a.boolean(2), answer);
        });
      case 3:
        return ServiceProviderDS(*a.variant(0), result);
      case 4:
        return answer_into<BSTR>(
            result, [&](BSTR* answer) { return GetServiceProviderDS(a.bstr(0), answer); });
      case 5:
        return LogError(a.bstr(0));
      case 6:
        return answer_into<BSTR>(result, [&](BSTR* answer) { return GetSerialNO(answer); });
    }
    return DISP_E_MEMBERNOTFOUND;
  }

  // The core object, made on the first call that needs it.
  signing::Sign& core() {
    if (!core_) core_ = std::make_unique<signing::Sign>();
    return *core_;
  }

  // Runs a method of the core and hands its answer out through `result`. A value without text
  // goes to the core like any other: the method converts it at its own stage, and a failed
  // conversion is that stage's answer.
  template <typename Result, typename Call>
  HRESULT answer(Result* result, Call&& call) {
    if (result == nullptr) return E_POINTER;
    return guarded([&] {
      set_result(result, call(core()));
      return S_OK;
    });
  }

  std::unique_ptr<signing::Sign> core_;
};

}  // namespace

HRESULT create_sign_object(REFIID iid, void** object) {
  return create_object<SignObject>(iid, object);
}

}  // namespace orvane::com
