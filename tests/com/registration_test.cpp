// Orvane.dll registered and removed by the prefix's own regsvr32, and created through COM
// as a client creates it.

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <filesystem>
#include <string>
#include <thread>

#include "com/interfaces.h"
#include "runtime/windows/owned.h"
#include "tests/com/server_registration.h"

namespace orvane::com {
namespace {

using namespace testing;
using windows::ComPtr;

const CLSID object_safety_class = {
    0xAFB9027A, 0x13EF, 0x4418, {0xA4, 0x84, 0x9F, 0xDE, 0x58, 0x31, 0x0C, 0x3A}};
const IID sign_alias_iid = {
    0x1949B5F6, 0xCB5D, 0x4075, {0x80, 0x7F, 0x5B, 0x87, 0x15, 0x3D, 0x2B, 0xB7}};
const GUID library_id = {
    0x578D55FD, 0x08E4, 0x4219, {0x9F, 0x1F, 0x35, 0x72, 0x15, 0x17, 0x73, 0xA9}};

std::wstring registry_text(const std::wstring& key, const wchar_t* name) {
  wchar_t value[MAX_PATH * 2] = {};
  DWORD size = sizeof value;
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size) !=
      ERROR_SUCCESS) {
    return L"(missing)";
  }
  return value;
}

std::wstring comparable_path(std::wstring path) {
  std::replace(path.begin(), path.end(), L'/', L'\\');
  std::transform(path.begin(), path.end(), path.begin(),
                 [](wchar_t c) { return std::towlower(c); });
  return path;
}

bool type_library_registered() {
  ComPtr<ITypeLib> library;
  return SUCCEEDED(LoadRegTypeLib(library_id, 19, 2, 0, library.put()));
}

const std::wstring sign_interface_key = L"Interface\\{DFDA18EB-0BF0-4B7D-8FCA-6D2FBF97C1B5}";
const std::wstring alias_key = L"Interface\\{1949B5F6-CB5D-4075-807F-5B87153D2BB7}";

class RegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
  void TearDown() override {
    regsvr32(L"/u /s");
    CoUninitialize();
  }
};

TEST_F(RegistrationTest, Regsvr32RegistersTheClassesAndRemovesThemAgain) {
  ASSERT_EQ(regsvr32(L"/s"), 0u);

  const std::wstring sign_key = L"CLSID\\{7A409161-6859-4BF4-B25D-CEF24141F0D5}";
  EXPECT_EQ(comparable_path(registry_text(sign_key + L"\\InprocServer32", nullptr)),
            comparable_path(ORVANE_COM_DLL));
  EXPECT_EQ(registry_text(sign_key + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
  EXPECT_EQ(registry_text(sign_key + L"\\ProgID", nullptr), L"Orvane.Sign");
  EXPECT_EQ(registry_text(sign_key + L"\\VersionIndependentProgID", nullptr), L"Orvane.Sign");
  EXPECT_EQ(registry_text(L"CLSID\\{CA540219-6B14-47A3-BC81-2B09160CC506}\\InprocServer32",
                          L"ThreadingModel"),
            L"Apartment");
  CLSID found{};
  EXPECT_EQ(CLSIDFromProgID(L"Orvane.Sign", &found), S_OK);
  EXPECT_TRUE(IsEqualCLSID(found, sign_class));
  EXPECT_EQ(CLSIDFromProgID(L"Orvane.XML", &found), S_OK);
  EXPECT_TRUE(IsEqualCLSID(found, xml_class));
  EXPECT_TRUE(type_library_registered());
  EXPECT_EQ(registry_text(L"Interface\\{DFDA18EB-0BF0-4B7D-8FCA-6D2FBF97C1B5}\\TypeLib", nullptr),
            L"{578D55FD-08E4-4219-9F1F-3572151773A9}");
  // The earlier identifier of _Sign, as the type library registered _Sign.
  for (const wchar_t* value : {L"ProxyStubClsid32", L"ProxyStubClsid", L"TypeLib"}) {
    EXPECT_EQ(registry_text(alias_key + L"\\" + value, nullptr),
              registry_text(sign_interface_key + L"\\" + value, nullptr));
  }
  EXPECT_EQ(registry_text(alias_key + L"\\ProxyStubClsid32", nullptr),
            L"{00020424-0000-0000-C000-000000000046}");
  EXPECT_EQ(registry_text(alias_key + L"\\TypeLib", L"Version"),
            registry_text(sign_interface_key + L"\\TypeLib", L"Version"));
  EXPECT_EQ(registry_text(sign_key + L"\\Version", nullptr), L"19.2");
  EXPECT_EQ(registry_text(L"CLSID\\{CA540219-6B14-47A3-BC81-2B09160CC506}\\Version", nullptr),
            L"19.2");

  ASSERT_EQ(regsvr32(L"/u /s"), 0u);
  EXPECT_EQ(registry_text(sign_key + L"\\InprocServer32", nullptr), L"(missing)");
  EXPECT_NE(CLSIDFromProgID(L"Orvane.Sign", &found), S_OK);
  EXPECT_NE(CLSIDFromProgID(L"Orvane.XML", &found), S_OK);
  EXPECT_FALSE(type_library_registered());
  EXPECT_EQ(registry_text(sign_interface_key, nullptr), L"(missing)");
  EXPECT_EQ(registry_text(alias_key + L"\\ProxyStubClsid32", nullptr), L"(missing)");
  ComPtr<IUnknown> object;
  EXPECT_EQ(
      CoCreateInstance(sign_class, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.put_void()),
      REGDB_E_CLASSNOTREG);
}

TEST_F(RegistrationTest, ClientsCreateSignAndXmlButNotVbObjSafety) {
  ASSERT_EQ(regsvr32(L"/s"), 0u);

  ComPtr<SignInterface> sign;
  ASSERT_EQ(CoCreateInstance(sign_class, nullptr, CLSCTX_INPROC_SERVER, sign_iid, sign.put_void()),
            S_OK);
  ComPtr<SignInterface> alias;
  ASSERT_EQ(sign->QueryInterface(sign_alias_iid, alias.put_void()), S_OK);
  EXPECT_EQ(alias.get(), sign.get());
  ComPtr<IDispatch> dispatch;
  ASSERT_EQ(sign->QueryInterface(IID_IDispatch, dispatch.put_void()), S_OK);
  LPOLESTR names[] = {const_cast<LPOLESTR>(L"GetSerialNO")};
  DISPID id = 0;
  EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
  EXPECT_EQ(id, 0x60030006);

  ComPtr<IUnknown> xml;
  EXPECT_EQ(
      CoCreateInstance(xml_class, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, xml.put_void()),
      S_OK);
  ComPtr<IUnknown> not_creatable;
  EXPECT_EQ(CoCreateInstance(object_safety_class, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             not_creatable.put_void()),
            REGDB_E_CLASSNOTREG);
  // Nor does the server hand out a factory for it when asked directly.
  HMODULE server = LoadLibraryW(ORVANE_COM_DLL);
  ASSERT_NE(server, nullptr);
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  auto get_class_object = reinterpret_cast<GetClassObject>(
      reinterpret_cast<void*>(GetProcAddress(server, "DllGetClassObject")));
  ASSERT_NE(get_class_object, nullptr);
  ComPtr<IClassFactory> factory;
  EXPECT_EQ(get_class_object(object_safety_class, IID_IClassFactory, factory.put_void()),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_FALSE(factory);
  FreeLibrary(server);
}

// A client in the multithreaded apartment gets the apartment-threaded object in an apartment of
// COM's own and calls it through a proxy, by either identifier of _Sign.
TEST_F(RegistrationTest, ClientsOfAnotherApartmentCallThroughAProxyByBothIdentifiers) {
  ASSERT_EQ(regsvr32(L"/s"), 0u);
  for (const IID& iid : {sign_iid, sign_alias_iid}) {
    HRESULT created = E_FAIL;
    HRESULT called = E_FAIL;
    std::wstring answer = L"(none)";
    std::thread client([&] {
      if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return;
      {
        ComPtr<SignInterface> sign;
        created = CoCreateInstance(sign_class, nullptr, CLSCTX_INPROC_SERVER, iid, sign.put_void());
        windows::Bstr serial;
        if (SUCCEEDED(created)) called = sign->GetSerialNO(serial.put());
        if (SUCCEEDED(called)) answer = serial ? serial.get() : L"";
      }
      CoUninitialize();
    });
    client.join();
    EXPECT_EQ(created, S_OK);
    EXPECT_EQ(called, S_OK);
    EXPECT_EQ(answer, L"");  // no configuration file names a serial number
  }
}

#ifdef ORVANE_X86_COM_DLL
// Both bitnesses in one prefix: the 32-bit regsvr32 of SysWOW64 registers the x86 build.
TEST_F(RegistrationTest, UnregisteringX86LeavesX64Working) {
  if (!std::filesystem::exists(ORVANE_X86_COM_DLL)) {
    GTEST_SKIP() << "no x86 build beside this one (build the windows-x86 preset first)";
  }
  const std::wstring x86_regsvr32 = L"C:\\windows\\syswow64\\regsvr32.exe ";
  ASSERT_EQ(regsvr32(L"/s"), 0u);
  ASSERT_EQ(run(x86_regsvr32 + L"/s" + quoted(ORVANE_X86_COM_DLL)), 0u);
  ASSERT_EQ(run(x86_regsvr32 + L"/u /s" + quoted(ORVANE_X86_COM_DLL)), 0u);

  CLSID found{};
  EXPECT_EQ(CLSIDFromProgID(L"Orvane.Sign", &found), S_OK);
  ComPtr<SignInterface> sign;
  EXPECT_EQ(CoCreateInstance(found, nullptr, CLSCTX_INPROC_SERVER, sign_iid, sign.put_void()),
            S_OK);
  EXPECT_TRUE(type_library_registered());
  EXPECT_EQ(registry_text(L"Interface\\{DFDA18EB-0BF0-4B7D-8FCA-6D2FBF97C1B5}\\TypeLib", nullptr),
            L"{578D55FD-08E4-4219-9F1F-3572151773A9}");
  EXPECT_EQ(registry_text(alias_key + L"\\ProxyStubClsid32", nullptr),
            L"{00020424-0000-0000-C000-000000000046}");
}
#endif

}  // namespace
}  // namespace orvane::com
