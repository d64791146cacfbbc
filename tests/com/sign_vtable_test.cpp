// A C++ client calling the Sign object through the vtable of _Sign: the answer comes back
// through the final out-parameter, failures of the component are answers and not failed calls,
// and the methods write back into the caller's variables.

#include <gtest/gtest.h>
#include <ocidl.h>
#include <wincrypt.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "com/interfaces.h"
#include "com/object_safety.h"
#include "tests/com/automation_test_values.h"
#include "tests/com/server_registration.h"
#include "tests/support/windows_pki/windows_pki_import.h"

namespace orvane::com {
namespace {

using namespace testing;

const std::filesystem::path pki_folder = ORVANE_WINDOWS_PKI;

class SignThroughVtable : public RegisteredServer {
 protected:
  void SetUp() override {
    RegisteredServer::SetUp();
    ASSERT_EQ(
        CoCreateInstance(sign_class, nullptr, CLSCTX_INPROC_SERVER, sign_iid, sign_.put_void()),
        S_OK);
  }
  void TearDown() override {
    sign_.reset();  // before COM goes
    RegisteredServer::TearDown();
  }

  ComPtr<SignInterface> sign_;
};

// The test PKI's signer in the user's store, and the arguments that sign with it as content.
struct ContentSigner {
  ContentSigner() { imported.import_pfx(pki_folder / "signer.pfx", pfx_password(pki_folder)); }
  orvane::testing::UserStoreImport imported;
  Bstr serial = bstr(L"00A1B2C3D4");
  Bstr none = bstr(L"");
  VARIANT_BOOL is_content = VARIANT_TRUE;
};

TEST_F(SignThroughVtable, SigningWritesTheMessageAndTheExtensionBackIntoTheCallersVariables) {
  orvane::testing::UserStoreImport imported;
  imported.import_pfx(pki_folder / "signer.pfx", pfx_password(pki_folder));
  Bstr serial = bstr(L"00A1B2C3D4");
  VARIANT_BOOL attached = VARIANT_FALSE;

  // Content mode: the message comes back through inputfilename.
  OwnedVariant content = text(L"Orvane signs this");
  Bstr no_extension = bstr(L"");
  VARIANT_BOOL is_content = VARIANT_TRUE;
  OwnedVariant answer;
  ASSERT_EQ(sign_->Signfile(content.get(), serial.addressof(), &attached, no_extension.addressof(),
                            &is_content, answer.get()),
            S_OK);
  EXPECT_EQ(text_of(answer), L"success");
  EXPECT_EQ(text_of(content).substr(0, 3), L"MII");  // Base64 of a DER SEQUENCE

  // File mode: the default suffix comes back through sExtension, the message beside the file.
  const std::filesystem::path file = folder_ / "contract.txt";
  std::ofstream(file) << "the terms";
  OwnedVariant path = text(file.wstring().c_str());
  Bstr extension = bstr(L"");
  VARIANT_BOOL file_mode = VARIANT_FALSE;
  OwnedVariant file_answer;
  ASSERT_EQ(sign_->Signfile(path.get(), serial.addressof(), &attached, extension.addressof(),
                            &file_mode, file_answer.get()),
            S_OK);
  EXPECT_EQ(text_of(file_answer), L"success");
  EXPECT_EQ(text_of(extension.get()), L"_Signature.txt");
  EXPECT_EQ(text_of(path), file.wstring());
  EXPECT_TRUE(std::filesystem::exists(folder_ / "contract_Signature.txt"));
}

TEST_F(SignThroughVtable, FailuresAreAnswersAndTheCallSucceeds) {
  Bstr serial = bstr(L"00A1B2C3D4");
  Bstr none = bstr(L"");
  VARIANT_BOOL attached = VARIANT_FALSE;
  VARIANT_BOOL is_content = VARIANT_TRUE;
  OwnedVariant content = text(L"x");
  OwnedVariant answer;
  Bstr unknown = bstr(L"0BADBAD0");
  EXPECT_EQ(sign_->Signfile(content.get(), unknown.addressof(), &attached, none.addressof(),
                            &is_content, answer.get()),
            S_OK);
  EXPECT_EQ(text_of(answer), L"Error: Certificate is either damaged, uninstalled or not present.");

  OwnedVariant original = text((folder_ / "missing.txt").wstring().c_str());
  OwnedVariant signature = text((folder_ / "missing_Signature.txt").wstring().c_str());
  VARIANT_BOOL detached = VARIANT_TRUE;
  Bstr verified;
  EXPECT_EQ(
      sign_->Verify(original.get(), signature.get(), &detached, serial.addressof(), verified.put()),
      S_OK);
  EXPECT_EQ(text_of(verified.get()), L"Original File Not Found Or Can't BE Accessed");

  Bstr entry = bstr(L"Orvane.Dll : a test entry");
  EXPECT_EQ(sign_->LogError(entry.addressof()), S_OK);

  // Null pointers are arguments left out; a missing out-parameter is the caller's fault.
  EXPECT_EQ(sign_->Signfile(nullptr, nullptr, nullptr, nullptr, nullptr, answer.put()), S_OK);
  EXPECT_EQ(text_of(answer), L"Error: Certificate is either damaged, uninstalled or not present.");
  EXPECT_EQ(sign_->Verify(nullptr, nullptr, nullptr, nullptr, verified.put()), S_OK);
  EXPECT_EQ(text_of(verified.get()), L"Original File Not Found Or Can't BE Accessed");
  EXPECT_EQ(sign_->VerifyCodeWithFile(nullptr, nullptr, nullptr, verified.put()), S_OK);
  EXPECT_EQ(text_of(verified.get()), L"Original File Not Found Or Can't BE Accessed");
  EXPECT_EQ(sign_->Signfile(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), E_POINTER);
  EXPECT_EQ(sign_->GetSerialNO(nullptr), E_POINTER);
}

// Values without text reach the method, which answers as its stage does; so do the values no
// script passes, which are neither followed without end nor read as another type.
TEST_F(SignThroughVtable, EveryKindOfValueConvertsAtTheMethodsOwnStage) {
  ContentSigner signer;
  VARIANT_BOOL detached = VARIANT_TRUE;

  OwnedVariant array;
  array->vt = VT_ARRAY | VT_VARIANT;
  array->parray = SafeArrayCreateVector(VT_VARIANT, 0, 2);
  ASSERT_NE(array->parray, nullptr);
  OwnedVariant omitted;
  omitted->vt = VT_ERROR;
  omitted->scode = DISP_E_PARAMNOTFOUND;
  HostileVariants hostile;
  SelfDefault object;
  OwnedVariant self = object.variant();
  std::vector<VARIANT*> values = hostile.all();
  for (VARIANT* value : {array.get(), omitted.get(), self.get()}) values.push_back(value);
  for (VARIANT* value : values) {
    const VARTYPE type = value->vt;
    OwnedVariant answer;
    EXPECT_EQ(sign_->Signfile(value, signer.serial.addressof(), &detached, signer.none.addressof(),
                              &signer.is_content, answer.get()),
              S_OK);
    EXPECT_EQ(text_of(answer), L"Err Description: Type mismatch") << type;
    EXPECT_EQ(value->vt, type);  // not written
    Bstr verified;
    OwnedVariant signature = text(L"x_Signature.txt");
    EXPECT_EQ(
        sign_->Verify(value, signature.get(), &detached, signer.serial.addressof(), verified.put()),
        S_OK);
    EXPECT_EQ(text_of(verified.get()), L"Original File Not Found Or Can't BE Accessed") << type;
  }
  EXPECT_GE(object.asked(), 1);
  EXPECT_LE(object.asked(), 2 * 8);  // eight defaults at most, for each of the two calls
  self.put();                        // its reference goes
  EXPECT_EQ(object.references(), 1u);
}

// A date is signed as the component's own text of it, whatever the host's locale.
TEST_F(SignThroughVtable, ADateIsSignedAsTheComponentsOwnText) {
  ContentSigner signer;
  // 6 December 2026 18:00, by reference as a script's variable holds it, signed attached so
  // that the message carries the text it was given.
  DATE date = 46362.75;
  OwnedVariant content;
  content->vt = VT_BYREF | VT_DATE;
  content->pdate = &date;
  VARIANT_BOOL attached = VARIANT_FALSE;
  OwnedVariant answer;
  ASSERT_EQ(sign_->Signfile(content.get(), signer.serial.addressof(), &attached,
                            signer.none.addressof(), &signer.is_content, answer.get()),
            S_OK);
  ASSERT_EQ(text_of(answer), L"success");
  ASSERT_EQ(content->vt, VT_BSTR);  // the message replaced the date
  DWORD size = 0;
  ASSERT_TRUE(CryptStringToBinaryW(content->bstrVal, 0, CRYPT_STRING_BASE64, nullptr, &size,
                                   nullptr, nullptr));
  std::string message(size, '\0');
  ASSERT_TRUE(CryptStringToBinaryW(content->bstrVal, 0, CRYPT_STRING_BASE64,
                                   reinterpret_cast<BYTE*>(message.data()), &size, nullptr,
                                   nullptr));
  const wchar_t signed_text[] = L"06/12/2026 18:00:00";
  EXPECT_NE(message.find(std::string(reinterpret_cast<const char*>(signed_text),
                                     sizeof signed_text - sizeof(wchar_t))),
            std::string::npos);
}

// Texts of hundreds of megabytes, which a 32-bit host cannot hold a few times more: running out
// of memory is an answer or E_OUTOFMEMORY, never a crash. A 64-bit host holds them, so there
// texts a sixteenth as long go to an unknown signer rather than through signing.
TEST_F(SignThroughVtable, HugeTextsAreAnswersAlsoWhenMemoryRunsOut) {
  constexpr bool small_host = sizeof(void*) == 4;
  constexpr UINT mebi = small_host ? 1u << 20 : 1u << 16;
  orvane::testing::UserStoreImport imported;
  imported.import_pfx(pki_folder / "signer.pfx", pfx_password(pki_folder));
  const auto huge = [](UINT characters) {
    OwnedVariant made;
    made->bstrVal = SysAllocStringLen(nullptr, characters);
    if (made->bstrVal != nullptr) {
      made->vt = VT_BSTR;
      std::fill(made->bstrVal, made->bstrVal + characters, L'a');
    }
    return made;
  };
  Bstr serial = bstr(small_host ? L"00A1B2C3D4" : L"0BADBAD0");
  Bstr none = bstr(L"");
  VARIANT_BOOL yes = VARIANT_TRUE;
  {
    OwnedVariant content = huge(240 * mebi);
    ASSERT_EQ(content->vt, VT_BSTR);
    OwnedVariant answer;
    const HRESULT called = sign_->Signfile(content.get(), serial.addressof(), &yes,
                                           none.addressof(), &yes, answer.get());
    ASSERT_TRUE(called == S_OK || called == E_OUTOFMEMORY) << called;
    if (called == S_OK && text_of(answer) != L"success") {
      EXPECT_EQ(SysStringLen(content->bstrVal), 240 * mebi);  // the content stays
    }
  }
  OwnedVariant original = huge(200 * mebi);
  OwnedVariant restored = huge(200 * mebi);
  ASSERT_EQ(original->vt, VT_BSTR);
  ASSERT_EQ(restored->vt, VT_BSTR);
  VARIANT_BOOL attached = VARIANT_FALSE;
  Bstr verified;
  const HRESULT called =
      sign_->Verify(original.get(), restored.get(), &attached, serial.addressof(), verified.put());
  ASSERT_TRUE(called == S_OK || called == E_OUTOFMEMORY) << called;
  if (called == S_OK) {
    EXPECT_EQ(text_of(verified.get()), L"Original File Not Found Or Can't BE Accessed");
  }
  EXPECT_EQ(SysStringLen(restored->bstrVal), 200 * mebi);
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
