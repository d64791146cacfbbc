// Script hosts calling Sign and XML through IDispatch: omitted optional arguments take the
// type library's defaults, arguments go by name, and a script's variables passed by reference
// receive what the method writes.

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "com/com_ptr.h"
#include "tests/com/server_registration.h"
#include "tests/provider/windows_pki/windows_pki_import.h"

namespace orvane::com {
namespace {

const std::filesystem::path pki_folder = ORVANE_WINDOWS_PKI;

struct Var {
  Var() { VariantInit(&value); }
  explicit Var(const wchar_t* text) : Var() {
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(text);
  }
  explicit Var(VARIANT_BOOL flag) : Var() {
    value.vt = VT_BOOL;
    value.boolVal = flag;
  }
  // A script variable passed by reference.
  static Var reference_to(Var& variable) {
    Var reference;
    reference.value.vt = VT_BYREF | VT_VARIANT;
    reference.value.pvarVal = &variable.value;
    return reference;
  }
  Var(Var&& other) noexcept : value(other.value) { VariantInit(&other.value); }
  Var(const Var&) = delete;
  Var& operator=(const Var&) = delete;
  ~Var() { VariantClear(&value); }
  VARIANT value;
};

std::wstring text_of(const VARIANT& value) {
  if (value.vt == VT_EMPTY) return L"(empty)";
  if (value.vt != VT_BSTR) return L"(vt " + std::to_wstring(value.vt) + L")";
  return value.bstrVal ? std::wstring(value.bstrVal, SysStringLen(value.bstrVal)) : L"";
}

// Calls `member` with arguments by name (an empty name: by position, in order).
HRESULT call(IDispatch* object, const wchar_t* member,
             std::vector<std::pair<const wchar_t*, VARIANT*>> arguments, VARIANT* result,
             WORD flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET) {
  std::vector<LPOLESTR> names{const_cast<LPOLESTR>(member)};
  for (const auto& [name, value] : arguments) {
    if (*name != 0) names.push_back(const_cast<LPOLESTR>(name));
  }
  std::vector<DISPID> ids(names.size());
  const HRESULT found =
      object->GetIDsOfNames(IID_NULL, names.data(), static_cast<UINT>(names.size()), 0, ids.data());
  if (FAILED(found)) return found;
  // rgvarg runs backwards: named arguments first, then the positional ones, last first.
  std::vector<VARIANT> values;
  std::vector<DISPID> named;
  size_t next_name = 1;
  for (const auto& [name, value] : arguments) {
    if (*name != 0) {
      values.push_back(*value);
      named.push_back(ids[next_name++]);
    }
  }
  for (auto it = arguments.rbegin(); it != arguments.rend(); ++it) {
    if (*it->first == 0) values.push_back(*it->second);
  }
  DISPPARAMS parameters{values.data(), named.data(), static_cast<UINT>(values.size()),
                        static_cast<UINT>(named.size())};
  UINT argument_error = 0;
  return object->Invoke(ids[0], IID_NULL, 0, flags, &parameters, result, nullptr, &argument_error);
}

class SignThroughDispatch : public testing::RegisteredServer {
 protected:
  void SetUp() override {
    RegisteredServer::SetUp();
    ASSERT_EQ(CoCreateInstance(testing::sign_class, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                               sign_.put_void()),
              S_OK);
  }
  void TearDown() override {
    sign_.reset();  // before COM goes
    RegisteredServer::TearDown();
  }

  ComPtr<IDispatch> sign_;
};

TEST_F(SignThroughDispatch, OmittedOptionalsTakeTheirDefaultsAndLogErrorAnswersNothing) {
  // Only inputfilename: serial "", attached, file mode; no certificate has serial "".
  Var file((folder_ / "a.txt").wstring().c_str());
  Var answer;
  EXPECT_EQ(call(sign_.get(), L"Signfile", {{L"", &file.value}}, &answer.value), S_OK);
  EXPECT_EQ(text_of(answer.value),
            L"Error: Certificate is either damaged, uninstalled or not present.");

  // Verify with three arguments: sSerialNo "".
  Var signature((folder_ / "a_Signature.txt").wstring().c_str());
  Var detached(VARIANT_TRUE);
  Var verified;
  EXPECT_EQ(
      call(sign_.get(), L"Verify",
           {{L"", &file.value}, {L"", &signature.value}, {L"", &detached.value}}, &verified.value),
      S_OK);
  EXPECT_EQ(text_of(verified.value), L"Original File Not Found Or Can't BE Accessed");

  Var entry(L"Orvane.Dll : a dispatch test entry");
  Var nothing;
  EXPECT_EQ(call(sign_.get(), L"LogError", {{L"", &entry.value}}, &nothing.value), S_OK);
  EXPECT_EQ(nothing.value.vt, VT_EMPTY);

  // A required argument left out is the caller's error, not a crash.
  EXPECT_EQ(call(sign_.get(), L"Verify", {{L"", &file.value}}, &verified.value),
            DISP_E_PARAMNOTOPTIONAL);
}

TEST_F(SignThroughDispatch, MalformedCallsAreRefusedRatherThanFollowed) {
  LPOLESTR name = const_cast<LPOLESTR>(L"GetServiceProviderDS");
  DISPID id = 0;
  ASSERT_EQ(sign_->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
  Var answer;
  // More named arguments than arguments.
  Var data(L"x");
  DISPID named = 0;
  DISPPARAMS counts{&data.value, &named, 1, 2};
  EXPECT_EQ(
      sign_->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &counts, &answer.value, nullptr, nullptr),
      E_INVALIDARG);
  // A variable by reference that refers to nothing.
  Var nowhere;
  DISPPARAMS dangling{&nowhere.value, nullptr, 1, 0};
  for (const VARTYPE reference : {VT_BYREF | VT_BSTR, VT_BYREF | VT_VARIANT}) {
    nowhere.value.vt = reference;
    EXPECT_EQ(
        sign_->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &dangling, &answer.value, nullptr, nullptr),
        DISP_E_TYPEMISMATCH);
  }
  nowhere.value.vt = VT_EMPTY;
}

TEST_F(SignThroughDispatch, NamedArgumentsAndScriptVariablesByReference) {
  orvane::testing::UserStoreImport imported;
  imported.import_pfx(pki_folder / "signer.pfx", testing::pfx_password(pki_folder));

  // Content mode by name, bDetached and sExtension left out: the message comes back through
  // the script's variable.
  Var content(L"Orvane signs this");
  Var content_reference = Var::reference_to(content);
  Var serial(L"00A1B2C3D4");
  Var is_content(VARIANT_TRUE);
  Var answer;
  ASSERT_EQ(call(sign_.get(), L"Signfile",
                 {{L"inputfilename", &content_reference.value},
                  {L"IsContent", &is_content.value},
                  {L"sSerialNo", &serial.value}},
                 &answer.value),
            S_OK);
  EXPECT_EQ(text_of(answer.value), L"success");
  EXPECT_EQ(text_of(content.value).substr(0, 3), L"MII");

  // An Empty script variable for sExtension (BSTR*) receives the default suffix.
  const std::filesystem::path file = folder_ / "contract.txt";
  std::ofstream(file) << "the terms";
  Var path(file.wstring().c_str());
  Var extension;
  Var extension_reference = Var::reference_to(extension);
  Var file_answer;
  ASSERT_EQ(
      call(sign_.get(), L"Signfile",
           {{L"", &path.value}, {L"", &serial.value}, {L"sExtension", &extension_reference.value}},
           &file_answer.value),
      S_OK);
  EXPECT_EQ(text_of(file_answer.value), L"success");
  EXPECT_EQ(text_of(extension.value), L"_Signature.txt");
  EXPECT_TRUE(std::filesystem::exists(folder_ / "contract_Signature.txt"));
}

TEST_F(SignThroughDispatch, XmlReadsTagsThroughItsProperty) {
  ComPtr<IDispatch> xml;
  ASSERT_EQ(CoCreateInstance(testing::xml_class, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                             xml.put_void()),
            S_OK);
  Var data(L"<SerialNumber> 4A6B </SerialNumber>");
  DISPID put = DISPID_PROPERTYPUT;
  LPOLESTR name = const_cast<LPOLESTR>(L"sXmlData");
  DISPID id = 0;
  ASSERT_EQ(xml->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
  DISPPARAMS assignment{&data.value, &put, 1, 1};
  ASSERT_EQ(
      xml->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &assignment, nullptr, nullptr, nullptr),
      S_OK);
  Var held;
  EXPECT_EQ(call(xml.get(), L"sXmlData", {}, &held.value, DISPATCH_PROPERTYGET), S_OK);
  EXPECT_EQ(text_of(held.value), L"<SerialNumber> 4A6B </SerialNumber>");

  Var start(L"<SerialNumber>");
  Var end(L"</SerialNumber>");
  Var value;
  EXPECT_EQ(call(xml.get(), L"ReadNodeData",
                 {{L"", &held.value}, {L"", &start.value}, {L"", &end.value}}, &value.value),
            S_OK);
  EXPECT_EQ(text_of(value.value), L" 4A6B ");

  // INI left out is False; a missing file loads nothing.
  Var missing((std::filesystem::path(folder_) / "none.ini").wstring().c_str());
  Var loaded;
  EXPECT_EQ(call(xml.get(), L"LoadXml", {{L"", &missing.value}}, &loaded.value), S_OK);
  EXPECT_EQ(loaded.value.vt, VT_BOOL);
  EXPECT_EQ(loaded.value.boolVal, VARIANT_FALSE);
}

}  // namespace
}  // namespace orvane::com
