// A C++ client calling the Sign object through the vtable of _Sign: the answer comes back
// through the final out-parameter, failures of the component are answers and not failed calls,
// and the methods write back into the caller's variables.

#include <gtest/gtest.h>
#include <ocidl.h>
#include <wincrypt.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "com/com_ptr.h"
#include "com/interfaces.h"
#include "com/object_safety.h"
#include "tests/com/server_registration.h"
#include "tests/provider/windows_pki/windows_pki_import.h"

namespace orvane::com {
namespace {

const std::filesystem::path pki_folder = ORVANE_WINDOWS_PKI;

struct Bstr {
  explicit Bstr(const wchar_t* text) : value(SysAllocString(text)) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { SysFreeString(value); }
  BSTR value;
};

struct Var {
  Var() { VariantInit(&value); }
  explicit Var(const wchar_t* text) : Var() {
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(text);
  }
  Var(const Var&) = delete;
  Var& operator=(const Var&) = delete;
  ~Var() { VariantClear(&value); }
  VARIANT value;
};

std::wstring text_of(BSTR value) {
  return value ? std::wstring(value, SysStringLen(value)) : L"";
}
std::wstring text_of(const VARIANT& value) {
  return value.vt == VT_BSTR ? text_of(value.bstrVal) : L"(not a string)";
}

class SignThroughVtable : public testing::RegisteredServer {
 protected:
  void SetUp() override {
    RegisteredServer::SetUp();
    ASSERT_EQ(CoCreateInstance(testing::sign_class, nullptr, CLSCTX_INPROC_SERVER,
                               testing::sign_iid, sign_.put_void()),
              S_OK);
  }
  void TearDown() override {
    sign_.reset();  // before COM goes
    RegisteredServer::TearDown();
  }

  ComPtr<SignInterface> sign_;
};

TEST_F(SignThroughVtable, SigningWritesTheMessageAndTheExtensionBackIntoTheCallersVariables) {
  orvane::testing::UserStoreImport imported;
  imported.import_pfx(pki_folder / "signer.pfx", testing::pfx_password(pki_folder));
  Bstr serial(L"00A1B2C3D4");
  VARIANT_BOOL attached = VARIANT_FALSE;

  // Content mode: the message comes back through inputfilename.
  Var content(L"Orvane signs this");
  Bstr no_extension(L"");
  VARIANT_BOOL is_content = VARIANT_TRUE;
  Var answer;
  ASSERT_EQ(sign_->Signfile(&content.value, &serial.value, &attached, &no_extension.value,
                            &is_content, &answer.value),
            S_OK);
  EXPECT_EQ(text_of(answer.value), L"success");
  EXPECT_EQ(text_of(content.value).substr(0, 3), L"MII");  // Base64 of a DER SEQUENCE

  // File mode: the default suffix comes back through sExtension, the message beside the file.
  const std::filesystem::path file = folder_ / "contract.txt";
  std::ofstream(file) << "the terms";
  Var path(file.wstring().c_str());
  Bstr extension(L"");
  VARIANT_BOOL file_mode = VARIANT_FALSE;
  Var file_answer;
  ASSERT_EQ(sign_->Signfile(&path.value, &serial.value, &attached, &extension.value, &file_mode,
                            &file_answer.value),
            S_OK);
  EXPECT_EQ(text_of(file_answer.value), L"success");
  EXPECT_EQ(text_of(extension.value), L"_Signature.txt");
  EXPECT_EQ(text_of(path.value), file.wstring());
  EXPECT_TRUE(std::filesystem::exists(folder_ / "contract_Signature.txt"));
}

TEST_F(SignThroughVtable, FailuresAreAnswersAndTheCallSucceeds) {
  Bstr serial(L"00A1B2C3D4");
  Bstr none(L"");
  VARIANT_BOOL attached = VARIANT_FALSE;
  VARIANT_BOOL is_content = VARIANT_TRUE;
  Var content(L"x");
  Var answer;
  Bstr unknown(L"0BADBAD0");
  EXPECT_EQ(sign_->Signfile(&content.value, &unknown.value, &attached, &none.value, &is_content,
                            &answer.value),
            S_OK);
  EXPECT_EQ(text_of(answer.value),
            L"Error: Certificate is either damaged, uninstalled or not present.");

  Var original((folder_ / "missing.txt").wstring().c_str());
  Var signature((folder_ / "missing_Signature.txt").wstring().c_str());
  VARIANT_BOOL detached = VARIANT_TRUE;
  BSTR verified = nullptr;
  EXPECT_EQ(sign_->Verify(&original.value, &signature.value, &detached, &serial.value, &verified),
            S_OK);
  EXPECT_EQ(text_of(verified), L"Original File Not Found Or Can't BE Accessed");
  SysFreeString(verified);

  Bstr entry(L"Orvane.Dll : a test entry");
  EXPECT_EQ(sign_->LogError(&entry.value), S_OK);
  // A missing out-parameter is the caller's fault, not an answer.
  EXPECT_EQ(sign_->GetSerialNO(nullptr), E_POINTER);
}

// Values without text reach the method, which answers as its stage does; a date is signed as
// the component's own text of it, whatever the host's locale.
TEST_F(SignThroughVtable, EveryKindOfValueConvertsAtTheMethodsOwnStage) {
  orvane::testing::UserStoreImport imported;
  imported.import_pfx(pki_folder / "signer.pfx", testing::pfx_password(pki_folder));
  Bstr serial(L"00A1B2C3D4");
  Bstr none(L"");
  VARIANT_BOOL detached = VARIANT_TRUE;
  VARIANT_BOOL is_content = VARIANT_TRUE;

  Var array;
  array.value.vt = VT_ARRAY | VT_VARIANT;
  array.value.parray = SafeArrayCreateVector(VT_VARIANT, 0, 2);
  ASSERT_NE(array.value.parray, nullptr);
  Var omitted;
  omitted.value.vt = VT_ERROR;
  omitted.value.scode = DISP_E_PARAMNOTFOUND;
  for (Var* value : {&array, &omitted}) {
    Var answer;
    EXPECT_EQ(sign_->Signfile(&value->value, &serial.value, &detached, &none.value, &is_content,
                              &answer.value),
              S_OK);
    EXPECT_EQ(text_of(answer.value), L"Err Description: Type mismatch");
    BSTR verified = nullptr;
    Var signature(L"x_Signature.txt");
    EXPECT_EQ(sign_->Verify(&value->value, &signature.value, &detached, &serial.value, &verified),
              S_OK);
    EXPECT_EQ(text_of(verified), L"Original File Not Found Or Can't BE Accessed");
    SysFreeString(verified);
  }

  // 6 December 2026 18:00, by reference as a script's variable holds it, signed attached so
  // that the message carries the text it was given.
  DATE date = 46362.75;
  Var content;
  content.value.vt = VT_BYREF | VT_DATE;
  content.value.pdate = &date;
  VARIANT_BOOL attached = VARIANT_FALSE;
  Var answer;
  ASSERT_EQ(sign_->Signfile(&content.value, &serial.value, &attached, &none.value, &is_content,
                            &answer.value),
            S_OK);
  ASSERT_EQ(text_of(answer.value), L"success");
  ASSERT_EQ(content.value.vt, VT_BSTR);  // the message replaced the date
  DWORD size = 0;
  ASSERT_TRUE(CryptStringToBinaryW(content.value.bstrVal, 0, CRYPT_STRING_BASE64, nullptr, &size,
                                   nullptr, nullptr));
  std::string message(size, '\0');
  ASSERT_TRUE(CryptStringToBinaryW(content.value.bstrVal, 0, CRYPT_STRING_BASE64,
                                   reinterpret_cast<BYTE*>(message.data()), &size, nullptr,
                                   nullptr));
  const wchar_t signed_text[] = L"06/12/2026 18:00:00";
  EXPECT_NE(message.find(std::string(reinterpret_cast<const char*>(signed_text),
                                     sizeof signed_text - sizeof(wchar_t))),
            std::string::npos);
}

TEST_F(SignThroughVtable, ScriptingSafetyIsReportedButNeverGranted) {
  const IID object_safety = {
      0xCB5BDC81, 0x93C1, 0x11CF, {0x8F, 0x20, 0x00, 0x80, 0x5F, 0x2C, 0xD0, 0x64}};
  ComPtr<ObjectSafetyInterface> safety;
  ASSERT_EQ(sign_->QueryInterface(object_safety, safety.put_void()), S_OK);
  DWORD supported = 0;
  DWORD enabled = 7;
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(&IID_IPersistPropertyBag, &supported, &enabled),
            S_OK);
  EXPECT_EQ(supported, 3u);
  EXPECT_EQ(enabled, 0u);
  // An interface outside the table: refused, and the supported options are written anyway.
  supported = 0;
  enabled = 7;
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(&IID_IUnknown, &supported, &enabled), E_NOINTERFACE);
  EXPECT_EQ(supported, 3u);
  EXPECT_EQ(enabled, 7u);
  // No interface named: only the supported options.
  supported = 0;
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(nullptr, &supported, &enabled), S_OK);
  EXPECT_EQ(supported, 3u);
  EXPECT_EQ(enabled, 7u);

  for (const DWORD options : {0u, 1u, 3u}) {
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(&IID_IDispatch, options, options), E_FAIL);
  }
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(&IID_IPersistStream, 2, 2), E_FAIL);
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(&IID_IPersistStream, 1, 1), E_FAIL);
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(&IID_IUnknown, 1, 1), E_NOINTERFACE);
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(nullptr, 1, 1), S_OK);
}

}  // namespace
}  // namespace orvane::com
