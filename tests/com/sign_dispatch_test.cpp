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

#include "tests/com/automation_test_values.h"
#include "tests/com/server_registration.h"
#include "tests/support/windows_pki/windows_pki_import.h"

namespace orvane::com {
namespace {

using namespace testing;

const std::filesystem::path pki_folder = ORVANE_WINDOWS_PKI;

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

class SignThroughDispatch : public RegisteredServer {
 protected:
  void SetUp() override {
    RegisteredServer::SetUp();
    ASSERT_EQ(CoCreateInstance(sign_class, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
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
  OwnedVariant file = text((folder_ / "a.txt").wstring().c_str());
  OwnedVariant answer;
  EXPECT_EQ(call(sign_.get(), L"Signfile", {{L"", file.get()}}, answer.get()), S_OK);
  EXPECT_EQ(text_of(answer), L"Error: Certificate is either damaged, uninstalled or not present.");

  // Verify with three arguments: sSerialNo "".
  OwnedVariant signature = text((folder_ / "a_Signature.txt").wstring().c_str());
  OwnedVariant detached = boolean(VARIANT_TRUE);
  OwnedVariant verified;
  EXPECT_EQ(
      call(sign_.get(), L"Verify",
           {{L"", file.get()}, {L"", signature.get()}, {L"", detached.get()}}, verified.get()),
      S_OK);
  EXPECT_EQ(text_of(verified), L"Original File Not Found Or Can't BE Accessed");

  OwnedVariant entry = text(L"Orvane.Dll : a dispatch test entry");
  OwnedVariant nothing;
  EXPECT_EQ(call(sign_.get(), L"LogError", {{L"", entry.get()}}, nothing.get()), S_OK);
  EXPECT_EQ(nothing->vt, VT_EMPTY);

  // A required argument left out is the caller's error, not a crash.
  EXPECT_EQ(call(sign_.get(), L"Verify", {{L"", file.get()}}, verified.get()),
            DISP_E_PARAMNOTOPTIONAL);
}

TEST_F(SignThroughDispatch, MalformedCallsAreRefusedRatherThanFollowed) {
  LPOLESTR name = const_cast<LPOLESTR>(L"GetServiceProviderDS");
  DISPID id = 0;
  EXPECT_EQ(sign_->GetIDsOfNames(IID_NULL, nullptr, 1, 0, &id), E_INVALIDARG);
  EXPECT_EQ(sign_->GetIDsOfNames(IID_NULL, &name, 1, 0, nullptr), E_INVALIDARG);
  EXPECT_EQ(sign_->GetIDsOfNames(IID_NULL, &name, 0, 0, &id), E_INVALIDARG);
  LPOLESTR no_name = nullptr;
  EXPECT_EQ(sign_->GetIDsOfNames(IID_NULL, &no_name, 1, 0, &id), E_INVALIDARG);
  ASSERT_EQ(sign_->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
  OwnedVariant answer;
  // More named arguments than arguments.
  OwnedVariant data = text(L"x");
  DISPID named = 0;
  DISPPARAMS counts{data.get(), &named, 1, 2};
  EXPECT_EQ(
      sign_->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &counts, answer.get(), nullptr, nullptr),
      E_INVALIDARG);
  // A variable by reference that refers to nothing.
  OwnedVariant nowhere;
  DISPPARAMS dangling{nowhere.get(), nullptr, 1, 0};
  for (const VARTYPE reference : {VT_BYREF | VT_BSTR, VT_BYREF | VT_VARIANT}) {
    nowhere->vt = reference;
    EXPECT_EQ(
        sign_->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &dangling, answer.get(), nullptr, nullptr),
        DISP_E_TYPEMISMATCH);
  }
  nowhere->vt = VT_EMPTY;

  // Types that automation does not define, and references that never end, for a BSTR*
  // (GetServiceProviderDS) and a VARIANT* (Signfile); an object that is its own default value
  // is followed a bounded number of times and does not convert.
  LPOLESTR signfile = const_cast<LPOLESTR>(L"Signfile");
  DISPID signfile_id = 0;
  ASSERT_EQ(sign_->GetIDsOfNames(IID_NULL, &signfile, 1, 0, &signfile_id), S_OK);
  HostileVariants hostile;
  for (VARIANT* value : hostile.all()) {
    DISPPARAMS hostile_call{value, nullptr, 1, 0};
    for (const DISPID member : {id, signfile_id}) {
      EXPECT_EQ(sign_->Invoke(member, IID_NULL, 0, DISPATCH_METHOD, &hostile_call, answer.get(),
                              nullptr, nullptr),
                DISP_E_BADVARTYPE)
          << value->vt;
    }
  }
  SelfDefault object;
  OwnedVariant self = object.variant();
  DISPPARAMS self_call{self.get(), nullptr, 1, 0};
  EXPECT_EQ(
      sign_->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &self_call, answer.get(), nullptr, nullptr),
      DISP_E_TYPEMISMATCH);
  EXPECT_EQ(object.asked(), 8);
}

TEST_F(SignThroughDispatch, NamedArgumentsAndScriptVariablesByReference) {
  orvane::testing::UserStoreImport imported;
  imported.import_pfx(pki_folder / "signer.pfx", pfx_password(pki_folder));

  // Content mode by name, bDetached and sExtension left out: the message comes back through
  // the script's variable.
  OwnedVariant content = text(L"Orvane signs this");
  OwnedVariant content_reference = reference_to(content);
  OwnedVariant serial = text(L"00A1B2C3D4");
  OwnedVariant is_content = boolean(VARIANT_TRUE);
  OwnedVariant answer;
  ASSERT_EQ(call(sign_.get(), L"Signfile",
                 {{L"inputfilename", content_reference.get()},
                  {L"IsContent", is_content.get()},
                  {L"sSerialNo", serial.get()}},
                 answer.get()),
            S_OK);
  EXPECT_EQ(text_of(answer), L"success");
  EXPECT_EQ(text_of(content).substr(0, 3), L"MII");

  // An Empty script variable for sExtension (BSTR*) receives the default suffix.
  const std::filesystem::path file = folder_ / "contract.txt";
  std::ofstream(file) << "the terms";
  OwnedVariant path = text(file.wstring().c_str());
  OwnedVariant extension;
  OwnedVariant extension_reference = reference_to(extension);
  OwnedVariant file_answer;
  ASSERT_EQ(
      call(sign_.get(), L"Signfile",
           {{L"", path.get()}, {L"", serial.get()}, {L"sExtension", extension_reference.get()}},
           file_answer.get()),
      S_OK);
  EXPECT_EQ(text_of(file_answer), L"success");
  EXPECT_EQ(text_of(extension), L"_Signature.txt");
  EXPECT_TRUE(std::filesystem::exists(folder_ / "contract_Signature.txt"));
}

TEST_F(SignThroughDispatch, XmlReadsTagsThroughItsProperty) {
  ComPtr<IDispatch> xml;
  ASSERT_EQ(
      CoCreateInstance(xml_class, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, xml.put_void()),
      S_OK);
  OwnedVariant data = text(L"<SerialNumber> 4A6B </SerialNumber>");
  DISPID put = DISPID_PROPERTYPUT;
  LPOLESTR name = const_cast<LPOLESTR>(L"sXmlData");
  DISPID id = 0;
  ASSERT_EQ(xml->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
  DISPPARAMS assignment{data.get(), &put, 1, 1};
  ASSERT_EQ(
      xml->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &assignment, nullptr, nullptr, nullptr),
      S_OK);
  OwnedVariant held;
  EXPECT_EQ(call(xml.get(), L"sXmlData", {}, held.get(), DISPATCH_PROPERTYGET), S_OK);
  EXPECT_EQ(text_of(held), L"<SerialNumber> 4A6B </SerialNumber>");

  OwnedVariant start = text(L"<SerialNumber>");
  OwnedVariant end = text(L"</SerialNumber>");
  OwnedVariant value;
  EXPECT_EQ(call(xml.get(), L"ReadNodeData",
                 {{L"", held.get()}, {L"", start.get()}, {L"", end.get()}}, value.get()),
            S_OK);
  EXPECT_EQ(text_of(value), L" 4A6B ");

  // INI left out is False; a missing file loads nothing.
  OwnedVariant missing = text((std::filesystem::path(folder_) / "none.ini").wstring().c_str());
  OwnedVariant loaded;
  EXPECT_EQ(call(xml.get(), L"LoadXml", {{L"", missing.get()}}, loaded.get()), S_OK);
  EXPECT_EQ(loaded->vt, VT_BOOL);
  EXPECT_EQ(loaded->boolVal, VARIANT_FALSE);
}

}  // namespace
}  // namespace orvane::com
